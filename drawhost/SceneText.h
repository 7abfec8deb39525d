#pragma once
// Texts of a drawing as the scene places them: the special codes of single
// line texts, the inline codes of multi-line texts, and the widths that
// alignment and word wrapping need. One font serves every text style.
#include <QFont>
#include <QRgb>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "DrawingScene.h"

namespace drawhost {

// Widths of characters in the text font, per unit of cap height; safe to use
// from two threads at once.
class TextMetrics {
public:
    static TextMetrics& instance();
    double advance(char16_t c, bool bold = false);
    double advance(QStringView text, bool bold = false);
    // The font to draw texts with, and its pixel size for a cap height.
    QFont font() const { return font_; }
    double pixelSizeFor(double capHeight) const { return capHeight / capRatio_; }
    double descent() const { return descent_; }  // below the baseline, per unit of cap height

private:
    TextMetrics();
    QFont font_;
    bool measured_ = false;  // a font to measure with (else widths are estimated)
    double capRatio_ = 0.7;  // cap height / pixel size
    double descent_ = 0.3;
    // By UTF-16 unit, regular and bold; negative: not measured yet.
    // Builders on two threads share them; measuring takes the lock.
    std::unique_ptr<std::atomic<float>[]> advances_, boldAdvances_;
    std::mutex measuring_;
};

// %%c %%d %%p %%% %%nnn, %%u/%%o/%%k (dropped) and ^-escaped control characters.
QString expandSpecialCodes(const QString& text);

// A single line text (TEXT, ATTRIB, ATTDEF) as its groups give it.
struct LineText {
    QString text;  // decoded, special codes not yet expanded
    QPointF first, second;  // groups 10 and 11 (OCS)
    bool hasSecond = false;
    double height = 1, widthFactor = 1, rotation = 0, oblique = 0;  // degrees
    int halign = 0, valign = 0;  // 72, and 73 (TEXT) or 74 (ATTRIB)
    int generation = 0;          // 71: 2 mirrored in X, 4 upside down
};
// The placed text; nothing (an empty text) when there is nothing to draw.
TextRun placeLineText(const LineText& t);

// A run of a multi-line text with the colour its inline codes gave it; or,
// when `isBar`, the bar or slash of a stacked fraction (`bar`, no text).
struct MTextRun {
    TextRun run;
    QLineF bar;
    bool isBar = false;
    int aci = -1;       // \C: an index, -1 when none
    QRgb rgb = 0;       // \c: a true colour, used when hasRgb
    bool hasRgb = false;
};

struct MultiText {
    QString text;        // groups 3 and 1, decoded
    QPointF insert;
    double height = 1;
    double width = 0;    // reference width; 0: no wrapping
    double angle = 0;    // radians
    double lineSpacing = 1;
    int attachment = 1;  // 1-9: top/middle/bottom × left/center/right
};
std::vector<MTextRun> layoutMultiText(const MultiText& t);

}  // namespace drawhost
