#include "GlyphCache.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "SceneText.h"

namespace drawhost {

namespace {

std::uint64_t keyOf(char16_t c, int pixelSize, bool bold, bool italic, int scale) {
    return std::uint64_t(c) | std::uint64_t(pixelSize) << 16 | std::uint64_t(bold) << 24 | std::uint64_t(italic) << 25 |
           std::uint64_t(scale) << 32;
}

// Draws c with the text font into a canvas roomy enough for any glyph of the
// font's fallbacks (ascent up to twice the size, overhangs of a size either
// side), then keeps only the lit part. White on an opaque black canvas, as a
// view draws light text on its dark ground: the painter then adjusts the
// coverage for gamma as it does on the view, which a transparent canvas would
// not (its strokes come out a seventh lighter).
GlyphMask render(char16_t c, int pixelSize, bool bold, bool italic, int scale) {
    QFont font = TextMetrics::instance().font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    const double xScale = double(scale) / GlyphCache::kScaleSteps;
    const int penX = int(std::ceil(pixelSize * xScale)) + 4, penY = 2 * pixelSize + 4;
    QImage canvas(int(std::ceil(4 * pixelSize * xScale)) + 8, 3 * pixelSize + 8, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter p(&canvas);
        p.setPen(Qt::white);
        p.setFont(font);
        p.setTransform(QTransform(xScale, 0, 0, 1, penX, penY));
        p.drawText(QPointF(0, 0), QString(QChar(c)));
    }
    int x0 = canvas.width(), y0 = canvas.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            if (qRed(row[x]) == 0) continue;
            x0 = std::min(x0, x), x1 = std::max(x1, x);
            y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    }
    GlyphMask m;
    if (x1 < 0) return m;
    m.left = x0 - penX, m.top = y0 - penY;
    m.width = x1 - x0 + 1, m.height = y1 - y0 + 1;
    m.alpha.resize(std::size_t(m.width) * m.height);
    for (int y = 0; y < m.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y0 + y));
        for (int x = 0; x < m.width; ++x) m.alpha[std::size_t(y) * m.width + x] = uchar(qRed(row[x0 + x]));
    }
    return m;
}

}  // namespace

GlyphCache& GlyphCache::instance() {
    static GlyphCache cache;
    return cache;
}

bool GlyphCache::covers(char16_t c) {
    const QChar ch(c);
    if (ch.isSurrogate()) return false;
    switch (ch.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Other_PrivateUse:
        return false;
    default:
        break;
    }
    switch (ch.script()) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Bopomofo:
        return true;
    case QChar::Script_Hangul:
        return c >= 0xAC00 && c <= 0xD7A3;  // whole syllables; jamo are composed by shaping
    default:
        return false;
    }
}

std::shared_ptr<const GlyphMask> GlyphCache::mask(char16_t c, int pixelSize, bool bold, bool italic, int scale) {
    if (pixelSize < 1 || pixelSize > kMaxPixelSize || scale < kMinScale || scale > kMaxScale) return nullptr;
    const std::uint64_t key = keyOf(c, pixelSize, bold, italic, scale);
    const std::lock_guard<std::mutex> guard(lock_);
    if (const auto it = masks_.find(key); it != masks_.end()) return it->second;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
    auto m = std::make_shared<const GlyphMask>(render(c, pixelSize, bold, italic, scale));
    const std::size_t bytes = m->alpha.size() + sizeof(GlyphMask) + 32;
    if (bytes_ + bytes > budget_) {
        // Simpler than tracking use, and a view seldom shows more than a few
        // thousand distinct glyphs: those it needs come back on its next paint.
        masks_.clear();
        bytes_ = 0;
    }
    masks_.emplace(key, m);
    bytes_ += bytes;
    return m;
}

void GlyphCache::setBudget(std::size_t bytes) {
    const std::lock_guard<std::mutex> guard(lock_);
    budget_ = bytes;
    if (bytes_ > budget_) masks_.clear(), bytes_ = 0;
}

std::size_t GlyphCache::size() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return masks_.size();
}

}  // namespace drawhost
