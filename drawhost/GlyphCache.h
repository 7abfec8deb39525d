#pragma once
// Coverage masks of single characters in the text font, rendered once per
// character, pixel size, face and horizontal squeeze, and kept for every view
// of the process. Drawing small text from them skips the font engine, which
// renders a glyph anew for every size and every turn of a text.
//
// Thread-safe: a lookup takes a lock; a mask handed out stays valid while it
// is held, even after the cache dropped it. Masks need a QGuiApplication
// (the fonts); without one, nothing is covered.
#include <QtGlobal>
#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace drawhost {

// An 8-bit coverage mask of one upright character, as the painter covers a
// dark ground with light text; pixel (x, y) covers the square from
// (left + x, top + y), the pen standing at (0, 0) on the baseline, y growing
// downwards.
struct GlyphMask {
    int left = 0, top = 0;
    int width = 0, height = 0;  // 0: nothing to draw (a space)
    std::vector<uchar> alpha;   // width * height, row by row
};

class GlyphCache {
public:
    // Larger texts are drawn by the font engine: masks drew 800 texts twice as
    // fast at 28 px, but no faster at 56 px, and their memory grows with the square.
    static constexpr int kMaxPixelSize = 32;
    static constexpr int kScaleSteps = 64;      // horizontal squeeze in 1/64
    static constexpr int kMinScale = kScaleSteps / 8, kMaxScale = kScaleSteps * 4;

    static GlyphCache& instance();
    // Whether a mask draws c as a text run would show it: no surrogates,
    // combining marks, format or control characters, and only scripts whose
    // characters stand alone (Latin, Greek, Cyrillic, Japanese, Chinese, Korean syllables).
    static bool covers(char16_t c);

    // The mask of c at a font pixel size, squeezed horizontally by
    // scale / kScaleSteps; nullptr when the mask cannot be made.
    std::shared_ptr<const GlyphMask> mask(char16_t c, int pixelSize, bool bold, bool italic, int scale);

    // Dropped when the masks would take more than this many bytes.
    static constexpr std::size_t kDefaultBudget = std::size_t(32) << 20;
    void setBudget(std::size_t bytes);
    std::size_t size() const;

private:
    GlyphCache() = default;
    mutable std::mutex lock_;
    std::unordered_map<std::uint64_t, std::shared_ptr<const GlyphMask>> masks_;
    std::size_t bytes_ = 0, budget_ = kDefaultBudget;
};

}  // namespace drawhost
