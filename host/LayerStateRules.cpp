#include "host/LayerStateRules.h"

#include <cmath>

#include "host/DrawingAccess.h"
#include "host/SkipError.h"
#include "host/ValueLists.h"
#include "support/Foreground.h"
#include "support/MessageBox.h"
#include "support/RegExp.h"

namespace host {

namespace {

// Writes one rule's settings onto one layer. The lock is lifted first so that
// the other settings can be written, and set last: back to what it was when
// the rule leaves it unchanged.
void applyStateRule(const DocumentPtr& doc, const LayerPtr& layer, const QString& sName,
                    const support::ListTable& vRule, int row, bool& bNoChange) {
    // A column the table does not have leaves its setting alone.
    auto field = [&](int column) { return column <= vRule.upperColumn() ? vRule.at(row, column) : kNoChange; };
    auto changes = [&](int column) { return field(column) != kNoChange; };

    const auto wasLocked = skipErrorValue([&] { return layer->lock(); });
    skipError([&] { layer->setLock(false); });

    if (changes(kStateLayerOn)) {
        skipError([&] { layer->setLayerOn(field(kStateLayerOn) == kYes); });
        bNoChange = false;
    }
    if (changes(kStateFreeze)) {
        if (field(kStateFreeze) == kYes) {
            const auto activeName = skipErrorValue([&] { return doc->activeLayer()->name(); });
            if (activeName && *activeName == sName) {
                support::bringMainWindowToFront();
                support::MsgBox(QStringLiteral("アクティブな画層 ( ") + sName +
                                    QStringLiteral(" ) はﾌﾘｰｽﾞすることはできません。\r\n次の処理を続けます。"),
                                support::vbExclamation, support::kLaminorTitle);
            } else {
                skipError([&] { layer->setFreeze(true); });
            }
        } else {
            skipError([&] { layer->setFreeze(false); });
        }
        bNoChange = false;
    }
    if (changes(kStateColor)) {
        // The text is read by its leading number; the host refuses what is out of range.
        const double number = std::nearbyint(leadingNumber(field(kStateColor)));
        if (std::fabs(number) < 1e9) skipError([&] { layer->setColor(static_cast<int>(number)); });
        bNoChange = false;
    }
    if (changes(kStateLinetype)) {
        skipError([&] { layer->setLinetype(field(kStateLinetype)); });
        bNoChange = false;
    }
    if (changes(kStateLineweight)) {
        skipError([&] { layer->setLineweight(static_cast<int>(fun_lGetLineweightValue(field(kStateLineweight)))); });
        bNoChange = false;
    }
    if (changes(kStatePlotStyleName)) {
        skipError([&] { layer->setPlotStyleName(field(kStatePlotStyleName)); });
        bNoChange = false;
    }
    if (changes(kStatePlottable)) {
        skipError([&] { layer->setPlottable(field(kStatePlottable) == kYes); });
        bNoChange = false;
    }
    if (changes(kStateLock)) {
        skipError([&] { layer->setLock(field(kStateLock) == kYes); });
        bNoChange = false;
    } else if (wasLocked) {
        skipError([&] { layer->setLock(*wasLocked); });
    }
}

}  // namespace

bool fun_bApplyLayerStateRules(ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                               const support::ListTable& vRule, bool& bNoChange, support::StatusLabel& lblStatus) {
    const QString sCaption = lblStatus.caption();
    bNoChange = true;

    OperationDrawing drawing;
    if (!fun_bFindOrOpenDrawingToChange(acadApp, sDWGName, sDWGFullPath, drawing)) return false;
    const DocumentPtr doc = drawing.doc;

    for (const LayerPtr& layer : layersOf(doc)) {
        const auto sName = skipErrorValue([&] { return layer->name(); });
        if (!sName) continue;
        lblStatus.setCaption(sCaption + QStringLiteral("  Layer：") + *sName);
        for (int row = 0; row < vRule.rows(); ++row) {
            if (vRule.upperColumn() < kStatePattern) break;
            if (!support::fun_bRegExpMatch(*sName, vRule.at(row, kStatePattern), nullptr, true)) continue;
            applyStateRule(doc, layer, *sName, vRule, row, bNoChange);
        }
    }
    return finishDrawing(drawing, bNoChange);
}

}  // namespace host
