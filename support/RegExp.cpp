#include "RegExp.h"

#include <QCache>
#include <QRegularExpression>

// Users write patterns in the script engine's dialect (an ECMAScript-style
// engine: no ignore-case, no multi-line). QRegularExpression runs PCRE2,
// which reads almost all of it the same way: literals, classes, \d \w \s
// (ASCII, as both engines use them here), anchors, groups, alternation,
// greedy and lazy quantifiers, lookahead, back references. Where the two
// differ in ways a user can meet, the pattern is translated first:
//
//   $          end of the text only. PCRE2's "$" also matches before a final
//              line break; "\z" does not.
//   .          any character but a line break (CR or LF). PCRE2 excludes only
//              LF.
//   \uXXXX     a UTF-16 code unit; PCRE2 spells it \x{XXXX}. "\u" without four
//              hex digits is a plain "u", as in the script engine.
//   \xHH       needs exactly two hex digits; otherwise a plain "x".
//   \v         vertical tab (PCRE2: any vertical space).
//   \a \e \A \z \Z \h \R \K \Q \p ...   letters with no meaning in the script
//              dialect stand for themselves there; PCRE2 gives them meanings
//              or rejects them, so they become the plain letter.
//   [ inside a class   a literal "[" (PCRE2 might read "[:alpha:]").
//   - beside a class escape inside a class ("[\w-.]", "[A-Z\d-_]", "[.-\d]")
//              a literal hyphen; PCRE2 rejects it as a range.
//   []  [^]    the empty class (never matches) and "any character".
//   {,n}       literal text, not a quantifier (newer PCRE2 reads it as {0,n}).
//
// PCRE2-only constructs that the script dialect rejects (lookbehind, atomic
// groups, possessive quantifiers, inline options) are left to PCRE2: a pattern
// that uses them works instead of matching nothing.
//
// Global matching is done here, not with globalMatch(): after an empty match
// the script engine simply moves on by one character, whereas PCRE2's global
// iteration first retries a non-empty match at the same place ("|a" on "a"
// gives "", "" there but "", "a", "" in PCRE2).
//
// Each compiled pattern carries a match limit, so a pathological pattern such
// as "(a+)+$" on "aaaa...b" gives up quickly instead of backtracking for
// hours; giving up counts as no match.

namespace support {

namespace {

// Small enough to stop runaway backtracking within milliseconds (JIT) or a
// tenth of a second (interpreter), far above what any sane pattern needs on
// a layer or layout name.
constexpr int kMatchLimit = 1000000;
constexpr int kCacheSize = 128;

bool isHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool hexRun(const QString& p, qsizetype from, int count) {
    if (from + count > p.size()) return false;
    for (int k = 0; k < count; ++k)
        if (!isHex(p[from + k])) return false;
    return true;
}

bool isAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Appends the translation of the escape at p[i] ('\\'); returns the index of
// its last character.
qsizetype translateEscape(const QString& p, qsizetype i, bool inClass, QString& out) {
    if (i + 1 >= p.size()) {  // a trailing backslash: invalid in both dialects
        out += u'\\';
        return i;
    }
    const QChar d = p[i + 1];
    switch (d.unicode()) {
    case u'u':
        if (hexRun(p, i + 2, 4)) {
            out += QStringLiteral("\\x{") + p.mid(i + 2, 4) + u'}';
            return i + 5;
        }
        out += u'u';
        return i + 1;
    case u'x':
        if (hexRun(p, i + 2, 2)) {
            out += p.mid(i, 4);
            return i + 3;
        }
        out += u'x';
        return i + 1;
    case u'v':
        out += QStringLiteral("\\x{0B}");
        return i + 1;
    case u'B':
        // Inside a class the script dialect reads it as the letter; PCRE2 rejects it.
        out += inClass ? QStringLiteral("B") : QStringLiteral("\\B");
        return i + 1;
    case u'd': case u'D': case u'w': case u'W': case u's': case u'S':
        out += p.mid(i, 2);
        // "[\w-.]": a hyphen after a class escape cannot make a range; the
        // script dialect takes it as a hyphen, PCRE2 refuses the pattern.
        if (inClass && i + 3 < p.size() && p[i + 2] == u'-' && p[i + 3] != u']') {
            out += QStringLiteral("\\-");
            return i + 2;
        }
        return i + 1;
    case u'b': case u'f': case u'n': case u'r': case u't': case u'c':
        out += p.mid(i, 2);
        return i + 1;
    default:
        if (isAsciiLetter(d)) {
            out += d;  // an escaped letter without meaning is the letter
        } else {
            out += p.mid(i, 2);  // digits (back references), punctuation, anything else
        }
        return i + 1;
    }
}

}  // namespace

QString translateScriptPattern(const QString& p) {
    QString out;
    out.reserve(p.size() + 16);
    bool inClass = false;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p[i];
        if (c == u'\\') {
            i = translateEscape(p, i, inClass, out);
            continue;
        }
        if (inClass) {
            if (c == u']') inClass = false;
            // "[.-\d]": nor before one.
            const bool beforeClassEscape = c == u'-' && i + 2 < p.size() && p[i + 1] == u'\\' &&
                                           QStringView(u"dDwWsS").contains(p[i + 2]);
            out += (c == u'[') ? QStringLiteral("\\[") : beforeClassEscape ? QStringLiteral("\\-") : QString(c);
            continue;
        }
        switch (c.unicode()) {
        case u'[':
            if (p.mid(i, 3) == QStringLiteral("[^]")) {
                out += QStringLiteral("[\\s\\S]");
                i += 2;
            } else if (p.mid(i, 2) == QStringLiteral("[]")) {
                out += QStringLiteral("(?!)");
                i += 1;
            } else {
                inClass = true;
                out += u'[';
                if (i + 1 < p.size() && p[i + 1] == u'^') {
                    out += u'^';
                    ++i;
                }
            }
            break;
        case u'$':
            out += QStringLiteral("\\z");
            break;
        case u'.':
            out += QStringLiteral("[^\\n\\r]");
            break;
        case u'{':
            out += (i + 1 < p.size() && p[i + 1] == u',') ? QStringLiteral("\\{") : QStringLiteral("{");
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

namespace {

// Compiling is the cost of a call; callers match one pattern against every
// layer of every drawing, so compiled patterns are kept (least recently used
// ones dropped first). One cache per thread: QRegularExpression objects are
// cheap to share but the cache itself is not locked.
const QRegularExpression& compiled(const QString& pattern) {
    thread_local QCache<QString, QRegularExpression> cache(kCacheSize);
    if (QRegularExpression* hit = cache.object(pattern)) return *hit;
    auto* re = new QRegularExpression(QStringLiteral("(*LIMIT_MATCH=%1)").arg(kMatchLimit) +
                                      translateScriptPattern(pattern));
    if (re->isValid()) re->optimize();
    cache.insert(pattern, re);
    return *cache.object(pattern);
}

// Where the next search starts after a match ending at end, moving on by one
// character after an empty match (a whole surrogate pair, so the search never
// starts inside a character).
qsizetype nextStart(const QString& text, const QRegularExpressionMatch& m) {
    const qsizetype end = m.capturedEnd();
    if (m.capturedLength() > 0) return end;
    if (end < text.size() && text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate())
        return end + 2;
    return end + 1;
}

}  // namespace

bool fun_bRegExpMatch(const QString& sText, const QString& sPattern, QStringList* vMatch, bool bWholeMatch) {
    if (vMatch) vMatch->clear();
    if (sText.isEmpty()) return false;
    const QRegularExpression& re = compiled(sPattern);
    if (!re.isValid()) return false;

    QRegularExpressionMatch m = re.match(sText);
    if (!m.hasMatch()) return false;  // no match, or the match limit was reached
    if (bWholeMatch) return m.capturedStart() == 0 && m.capturedLength() == sText.size();

    QStringList matches;
    for (;;) {
        matches.append(m.captured());
        const qsizetype from = nextStart(sText, m);
        if (from > sText.size()) break;
        m = re.match(sText, from);
        if (!m.hasMatch()) break;
    }
    if (vMatch) *vMatch = matches;
    return true;
}

}  // namespace support
