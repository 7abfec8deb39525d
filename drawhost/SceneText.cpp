#include "SceneText.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace drawhost {

namespace {

// Characters that take a full em (CJK, full-width forms) when no font measures them.
bool isWide(char16_t c) {
    if (c >= 0xFF61 && c <= 0xFF9F) return false;  // half-width katakana
    return c >= 0x1100 && !(c >= 0x2000 && c <= 0x206F);
}

// Where a line may break: after a space, and around CJK characters.
bool breaksAround(char16_t c) { return c >= 0x2E80 && !(c >= 0xFF61 && c <= 0xFF9F); }

}  // namespace

TextMetrics& TextMetrics::instance() {
    static TextMetrics metrics;
    return metrics;
}

TextMetrics::TextMetrics() : advances_(new std::atomic<float>[0x10000]), boldAdvances_(new std::atomic<float>[0x10000]) {
    for (int c = 0; c < 0x10000; ++c) {
        advances_[c].store(-1.f, std::memory_order_relaxed);
        boldAdvances_[c].store(-1.f, std::memory_order_relaxed);
    }
    // Latin text in DejaVu Sans, Japanese in Noto Sans CJK.
    font_.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK JP")});
    font_.setPixelSize(100);
    font_.setKerning(false);  // widths add up character by character, as they are measured
    font_.setHintingPreference(QFont::PreferNoHinting);
    measured_ = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (measured_) {
        const QFontMetricsF fm(font_);
        if (fm.capHeight() > 1) capRatio_ = fm.capHeight() / 100.0;
        descent_ = fm.descent() / 100.0 / capRatio_;
    }
}

double TextMetrics::advance(char16_t c, bool bold) {
    std::atomic<float>& slot = (bold ? boldAdvances_ : advances_)[c];
    float a = slot.load(std::memory_order_relaxed);
    if (a < 0) {
        const std::lock_guard<std::mutex> lock(measuring_);
        if (measured_) {
            QFont f = font_;
            f.setBold(bold);
            a = float(QFontMetricsF(f).horizontalAdvance(QChar(c)) / 100.0 / capRatio_);
        } else {
            a = isWide(c) ? 1.4f : 0.85f;
        }
        slot.store(a, std::memory_order_relaxed);
    }
    return a;
}

double TextMetrics::advance(QStringView text, bool bold) {
    double sum = 0;
    for (QChar c : text) sum += advance(c.unicode(), bold);
    return sum;
}

QString expandSpecialCodes(const QString& text) {
    if (!text.contains(u'%') && !text.contains(u'^')) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%' && i + 2 < text.size() && text[i + 1] == u'%') {
            const QChar code = text[i + 2].toLower();
            if (code == u'c') out += QChar(0x2300);
            else if (code == u'd') out += QChar(0x00B0);
            else if (code == u'p') out += QChar(0x00B1);
            else if (code == u'%') out += u'%';
            else if (code == u'u' || code == u'o' || code == u'k') {
                // underline, overline, strike-through switches: not drawn
            } else if (code.isDigit()) {
                qsizetype end = i + 2;
                while (end < text.size() && end < i + 5 && text[end].isDigit()) ++end;
                out += QChar(char16_t(text.mid(i + 2, end - i - 2).toInt()));
                i = end - 1;
                continue;
            } else {
                out += c;
                continue;
            }
            i += 2;
        } else if (c == u'^' && i + 1 < text.size()) {
            // ^ before a character stands for a control character ("^J"); "^ " is a caret.
            const QChar next = text[i + 1];
            out += next == u' ' ? QChar(u'^') : QChar(u' ');
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

void TextRun::corners(QPointF out[4]) const {
    const double w = advance * height * widthFactor, h = height;
    const double shear = oblique == 0 ? 0 : std::tan(oblique);
    const double c = angle == 0 ? 1 : std::cos(angle), s = angle == 0 ? 0 : std::sin(angle);
    // Along the baseline and up from it, mirrored as the text is.
    const QPointF u = QPointF(c, s) * (mirrorX ? -1 : 1), v = QPointF(-s, c) * (mirrorY ? -1 : 1);
    out[0] = origin;
    out[1] = origin + u * w;
    out[2] = origin + u * (w + h * shear) + v * h;
    out[3] = origin + u * (h * shear) + v * h;
}

QPolygonF TextRun::box() const {
    QPointF c[4];
    corners(c);
    return QPolygonF({c[0], c[1], c[2], c[3]});
}

QRectF TextRun::bounds() const {
    QPointF c[4];
    corners(c);
    const auto [x0, x1] = std::minmax({c[0].x(), c[1].x(), c[2].x(), c[3].x()});
    const auto [y0, y1] = std::minmax({c[0].y(), c[1].y(), c[2].y(), c[3].y()});
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

TextRun placeLineText(const LineText& t) {
    TextRun run;
    run.text = expandSpecialCodes(t.text);
    if (run.text.trimmed().isEmpty() || !(t.height > 0)) {
        run.text.clear();
        return run;
    }
    TextMetrics& m = TextMetrics::instance();
    run.advance = m.advance(run.text);
    run.height = t.height;
    run.widthFactor = t.widthFactor > 0 ? t.widthFactor : 1;
    run.angle = t.rotation * M_PI / 180;
    run.oblique = t.oblique * M_PI / 180;
    run.mirrorX = t.generation & 2;
    run.mirrorY = t.generation & 4;
    double width = run.advance * run.height * run.widthFactor;

    const bool twoPoint = (t.halign == 3 || t.halign == 5) && t.hasSecond && t.valign == 0;
    if (twoPoint) {
        const QPointF d = t.second - t.first;
        const double length = std::hypot(d.x(), d.y());
        if (length > 0 && width > 0) {
            run.angle = std::atan2(d.y(), d.x());
            if (t.halign == 3) run.height *= length / width;  // aligned: the height follows
            else run.widthFactor *= length / width;           // fit: the width is squeezed
        }
        run.origin = t.first;
        return run;
    }
    const bool aligned = t.halign != 0 || t.valign != 0;
    const QPointF anchor = aligned && t.hasSecond ? t.second : t.first;
    double dx = 0, dy = 0;
    switch (t.halign) {
    case 1:
    case 3:
    case 4:
    case 5:
        dx = -width / 2;
        break;
    case 2:
        dx = -width;
        break;
    default:
        break;
    }
    if (t.halign == 4) dy = -run.height / 2;
    else if (t.valign == 1) dy = m.descent() * run.height;
    else if (t.valign == 2) dy = -run.height / 2;
    else if (t.valign == 3) dy = -run.height;
    if (run.mirrorX) dx = -dx;
    if (run.mirrorY) dy = -dy;
    const double c = std::cos(run.angle), s = std::sin(run.angle);
    run.origin = anchor + QPointF(dx * c - dy * s, dx * s + dy * c);
    return run;
}

namespace {

struct MStyle {
    double height = 1;  // relative to the text's height
    double widthFactor = 1;
    double oblique = 0;
    int aci = -1;
    QRgb rgb = 0;
    bool hasRgb = false;
    bool bold = false, italic = false;
};

// A stacked fraction (\\S): upper over lower, split by '/' (a bar), '#'
// (a slash) or '^' (none, as tolerances are written).
struct Stack {
    QString upper, lower;
    char16_t kind = 0;  // 0: no stack
};

struct Piece {
    QString text;
    MStyle style;
    Stack stack;
};

constexpr double kStackSize = 0.7;  // the parts' height, relative to the line's
constexpr double kStackGap = 0.14;  // between the parts, relative to the line's height
constexpr double kSlashRun = 0.3;   // how far a diagonal fraction's slash leans

// Splits the value of \\S at its first unescaped '/', '#' or '^'; "\\/",
// "\\#" and "\\^" stand for the characters themselves.
Stack parseStack(const QString& v) {
    Stack st;
    QString* part = &st.upper;
    for (qsizetype k = 0; k < v.size(); ++k) {
        const QChar ch = v[k];
        if (ch == u'\\' && k + 1 < v.size() && (v[k + 1] == u'/' || v[k + 1] == u'#' || v[k + 1] == u'^')) {
            *part += v[++k];
        } else if (!st.kind && (ch == u'/' || ch == u'#' || ch == u'^')) {
            st.kind = ch.unicode();
            part = &st.lower;
            // "^ " is how a file writes a caret: the space goes with it.
            if (ch == u'^' && k + 1 < v.size() && v[k + 1] == u' ') ++k;
        } else {
            *part += ch;
        }
    }
    if (!st.kind) st.kind = u'^';  // no separator: the whole value stands on top
    return st;
}

// The width of a stack at line height 1.
double stackWidth(TextMetrics& m, const Stack& st, const MStyle& style) {
    const double upper = m.advance(st.upper, style.bold) * kStackSize * style.widthFactor;
    const double lower = m.advance(st.lower, style.bold) * kStackSize * style.widthFactor;
    if (st.kind == u'#') return upper + kSlashRun + lower;
    return std::max(upper, lower);
}

// Reads the value of an inline code up to its ';'.
QString codeValue(const QString& s, qsizetype& i) {
    const qsizetype end = s.indexOf(u';', i);
    if (end < 0) {
        const QString v = s.mid(i);
        i = s.size();
        return v;
    }
    const QString v = s.mid(i, end - i);
    i = end + 1;
    return v;
}

// Splits the text into paragraphs of styled pieces.
std::vector<std::vector<Piece>> parseMultiText(const QString& s) {
    std::vector<std::vector<Piece>> paragraphs(1);
    std::vector<MStyle> stack;
    MStyle style;
    QString current;
    auto flush = [&] {
        if (!current.isEmpty()) paragraphs.back().push_back(Piece{expandSpecialCodes(current), style});
        current.clear();
    };
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s[i];
        if (c == u'{') {
            flush();
            stack.push_back(style);
            ++i;
            continue;
        }
        if (c == u'}') {
            flush();
            if (!stack.empty()) {
                style = stack.back();
                stack.pop_back();
            }
            ++i;
            continue;
        }
        if (c != u'\\' || i + 1 >= s.size()) {
            // Plain characters up to the next code or brace, at once.
            qsizetype end = i + 1;
            while (end < s.size() && s[end] != u'\\' && s[end] != u'{' && s[end] != u'}') ++end;
            current += QStringView(s).mid(i, end - i);
            i = end;
            continue;
        }
        const QChar code = s[i + 1];
        i += 2;
        switch (code.unicode()) {
        case u'P':
        case u'N':
            flush();
            paragraphs.emplace_back();
            break;
        case u'~':
            current += u' ';
            break;
        case u'\\':
        case u'{':
        case u'}':
            current += code;
            break;
        case u'H': {
            flush();
            QString v = codeValue(s, i).trimmed();
            const bool relative = v.endsWith(u'x', Qt::CaseInsensitive);
            if (relative) v.chop(1);
            bool ok = false;
            const double h = v.toDouble(&ok);
            if (ok && h > 0) style.height = relative ? style.height * h : h;
            break;
        }
        case u'W': {
            flush();
            QString v = codeValue(s, i).trimmed();
            if (v.endsWith(u'x', Qt::CaseInsensitive)) v.chop(1);
            bool ok = false;
            const double w = v.toDouble(&ok);
            if (ok && w > 0) style.widthFactor = w;
            break;
        }
        case u'Q': {
            flush();
            bool ok = false;
            const double q = codeValue(s, i).toDouble(&ok);
            if (ok) style.oblique = q * M_PI / 180;
            break;
        }
        case u'C': {
            flush();
            bool ok = false;
            const int aci = codeValue(s, i).toInt(&ok);
            if (ok) {
                style.aci = aci;
                style.hasRgb = false;
            }
            break;
        }
        case u'c': {
            flush();
            bool ok = false;
            const unsigned v = codeValue(s, i).toUInt(&ok);
            if (ok) {
                // \c holds the colour as stored in groups 420: 0x00BBGGRR.
                style.rgb = qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
                style.hasRgb = true;
            }
            break;
        }
        case u'S': {
            flush();
            Piece piece{QString(), style, parseStack(codeValue(s, i))};
            piece.stack.upper = expandSpecialCodes(piece.stack.upper);
            piece.stack.lower = expandSpecialCodes(piece.stack.lower);
            if (!piece.stack.upper.isEmpty() || !piece.stack.lower.isEmpty()) paragraphs.back().push_back(std::move(piece));
            break;
        }
        case u'f':
        case u'F': {
            // \fFamily|b1|i1|c0|p34; one family draws every text, but
            // its bold and italic faces follow the switch (\F: a shape font).
            flush();
            const QStringList parts = codeValue(s, i).split(u'|');
            style.bold = parts.contains(QStringLiteral("b1"));
            style.italic = parts.contains(QStringLiteral("i1"));
            break;
        }
        case u'T':
        case u'A':
        case u'p':
        case u'X':
            codeValue(s, i);  // tracking, alignment, paragraph: plain lines here
            break;
        case u'L':
        case u'l':
        case u'O':
        case u'o':
        case u'K':
        case u'k':
            break;  // underline, overline, strike-through switches
        default:
            current += code;
            break;
        }
    }
    flush();
    return paragraphs;
}

struct LineRun {
    QString text;
    MStyle style;
    double x = 0;
    Stack stack;
};

struct Line {
    std::vector<LineRun> runs;
    double width = 0;
    double height = 0;  // tallest run, relative
};

}  // namespace

std::vector<MTextRun> layoutMultiText(const MultiText& t) {
    std::vector<MTextRun> out;
    if (!(t.height > 0)) return out;
    TextMetrics& m = TextMetrics::instance();
    std::vector<Line> lines;
    // Special codes are expanded piece by piece: a stack's '^' is no control character.
    for (const auto& paragraph : parseMultiText(t.text)) {
        Line line;
        auto newLine = [&] {
            lines.push_back(std::move(line));
            line = Line();
        };
        auto place = [&](const QString& word, const MStyle& st) {
            const double w = m.advance(word, st.bold) * st.height * st.widthFactor * t.height;
            if (t.width > 0 && line.width > 0 && line.width + w > t.width * 1.0001 && !word.trimmed().isEmpty()) {
                // Trailing spaces do not count against the width.
                while (!line.runs.empty() && line.runs.back().text.endsWith(u' ')) {
                    line.runs.back().text.chop(1);
                    line.width -= m.advance(u' ', line.runs.back().style.bold) * line.runs.back().style.height * line.runs.back().style.widthFactor * t.height;
                    if (line.runs.back().text.isEmpty()) line.runs.pop_back();
                }
                newLine();
            }
            if (line.width == 0 && word.trimmed().isEmpty() && t.width > 0 && !lines.empty()) return;  // no spaces opening a wrapped line
            if (!line.runs.empty() && !line.runs.back().stack.kind && line.runs.back().style.height == st.height && line.runs.back().style.widthFactor == st.widthFactor &&
                line.runs.back().style.oblique == st.oblique && line.runs.back().style.aci == st.aci &&
                line.runs.back().style.hasRgb == st.hasRgb && line.runs.back().style.rgb == st.rgb &&
                line.runs.back().style.bold == st.bold && line.runs.back().style.italic == st.italic)
                line.runs.back().text += word;
            else
                line.runs.push_back(LineRun{word, st, line.width});
            line.width += w;
            line.height = std::max(line.height, st.height);
        };
        auto placeStack = [&](const Piece& piece) {
            const double w = stackWidth(m, piece.stack, piece.style) * piece.style.height * t.height;
            if (t.width > 0 && line.width > 0 && line.width + w > t.width * 1.0001) newLine();
            line.runs.push_back(LineRun{QString(), piece.style, line.width, piece.stack});
            line.width += w;
            line.height = std::max(line.height, piece.style.height);
        };
        // A paragraph that cannot wrap goes in piece by piece; one that may
        // is broken into words. (A line other than the first drops the
        // spaces that open it, which the word by word way sees to.)
        bool whole = true;
        if (t.width > 0) {
            double total = 0;
            for (const Piece& piece : paragraph)
                total += piece.stack.kind ? stackWidth(m, piece.stack, piece.style) * piece.style.height * t.height
                                          : m.advance(piece.text, piece.style.bold) * piece.style.height * piece.style.widthFactor * t.height;
            whole = total <= t.width * 1.0001 &&
                    (lines.empty() || paragraph.empty() || paragraph.front().stack.kind ||
                                              (!paragraph.front().text.isEmpty() && !paragraph.front().text.front().isSpace()));
        }
        for (const Piece& piece : paragraph) {
            if (piece.stack.kind) {
                placeStack(piece);
                continue;
            }
            if (whole) {
                place(piece.text, piece.style);
                continue;
            }
            // Words: a run of characters up to and with the spaces after it;
            // CJK characters are words of their own.
            QString word;
            for (QChar c : piece.text) {
                if (breaksAround(c.unicode())) {
                    if (!word.isEmpty()) place(word, piece.style);
                    word = c;
                    place(word, piece.style);
                    word.clear();
                    continue;
                }
                if (c != u' ' && !word.isEmpty() && word.back() == u' ') {
                    place(word, piece.style);
                    word.clear();
                }
                word += c;
            }
            if (!word.isEmpty()) place(word, piece.style);
        }
        if (line.height == 0) line.height = 1;
        newLine();
    }
    // Lines 5/3 of the text height apart; the first baseline one cap height below the top.
    const double step = t.height * 5.0 / 3.0 * (t.lineSpacing > 0 ? t.lineSpacing : 1);
    std::vector<double> baselines;
    double y = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        y -= i == 0 ? lines[i].height * t.height : std::max(step, lines[i].height * t.height * 5.0 / 3.0);
        baselines.push_back(y);
    }
    const double total = lines.empty() ? 0 : -baselines.back();
    const int attach = t.attachment >= 1 && t.attachment <= 9 ? t.attachment : 1;
    const int column = (attach - 1) % 3, row = (attach - 1) / 3;
    const double top = row == 0 ? 0 : row == 1 ? total / 2 : total;
    const double c = std::cos(t.angle), s = std::sin(t.angle);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        const double x0 = column == 0 ? 0 : column == 1 ? -line.width / 2 : -line.width;
        for (const LineRun& r : line.runs) {
            const double lx = x0 + r.x, ly = top + baselines[i];
            auto toWorld = [&](double x, double y) { return t.insert + QPointF(x * c - y * s, x * s + y * c); };
            auto styled = [&](MTextRun& mr) {
                mr.aci = r.style.aci;
                mr.rgb = r.style.rgb;
                mr.hasRgb = r.style.hasRgb;
            };
            if (r.stack.kind) {
                // The parts at 70 % of the line's height, one above the
                // other about the middle of its capitals.
                const double h = t.height * r.style.height, part = h * kStackSize, gap = h * kStackGap;
                const double wf = r.style.widthFactor;
                const double upperWidth = m.advance(r.stack.upper, r.style.bold) * part * wf;
                const double lowerWidth = m.advance(r.stack.lower, r.style.bold) * part * wf;
                const double width = stackWidth(m, r.stack, r.style) * h;
                const double middle = h / 2, upperY = middle + gap / 2, lowerY = middle - gap / 2 - part;
                const bool diagonal = r.stack.kind == u'#';
                auto partRun = [&](const QString& text, double x, double y) {
                    if (text.trimmed().isEmpty()) return;
                    MTextRun mr;
                    mr.run.text = text;
                    mr.run.height = part;
                    mr.run.widthFactor = wf;
                    mr.run.oblique = r.style.oblique;
                    mr.run.bold = r.style.bold;
                    mr.run.italic = r.style.italic;
                    mr.run.angle = t.angle;
                    mr.run.advance = m.advance(text, r.style.bold);
                    mr.run.origin = toWorld(lx + x, ly + y);
                    styled(mr);
                    out.push_back(std::move(mr));
                };
                partRun(r.stack.upper, diagonal ? 0 : (width - upperWidth) / 2, upperY);
                partRun(r.stack.lower, diagonal ? width - lowerWidth : (width - lowerWidth) / 2, lowerY);
                if (r.stack.kind != u'^') {
                    MTextRun bar;
                    bar.isBar = true;
                    if (diagonal)
                        bar.bar = QLineF(toWorld(lx + upperWidth, ly + lowerY), toWorld(lx + upperWidth + kSlashRun * h, ly + upperY + part));
                    else
                        bar.bar = QLineF(toWorld(lx, ly + middle), toWorld(lx + width, ly + middle));
                    styled(bar);
                    out.push_back(std::move(bar));
                }
                continue;
            }
            if (r.text.trimmed().isEmpty()) continue;
            MTextRun mr;
            mr.run.text = r.text;
            mr.run.height = t.height * r.style.height;
            mr.run.widthFactor = r.style.widthFactor;
            mr.run.oblique = r.style.oblique;
            mr.run.bold = r.style.bold;
            mr.run.italic = r.style.italic;
            mr.run.angle = t.angle;
            mr.run.advance = m.advance(r.text, r.style.bold);
            mr.run.origin = toWorld(lx, ly);
            styled(mr);
            out.push_back(std::move(mr));
        }
    }
    return out;
}

}  // namespace drawhost
