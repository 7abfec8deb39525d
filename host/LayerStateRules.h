#pragma once
// Layer state change (mode 2) on one drawing: every layer whose whole name
// matches a state rule's pattern gets the rule's settings; a setting written
// "(変更なし)" is left alone.
#include <QString>

#include "host/HostApi.h"
#include "support/ListTable.h"
#include "support/StatusLabel.h"

namespace host {

// Columns of a state rule row.
enum StateRuleColumn : int {
    kStateNo = 0,
    kStatePattern = 1,
    kStateLayerOn = 2,
    kStateFreeze = 3,
    kStateLock = 4,
    kStateColor = 5,
    kStateLinetype = 6,
    kStateLineweight = 7,
    kStatePlotStyleName = 8,
    kStatePlottable = 9,
};

// Applies every matching rule of vRule to every layer, in row order, so that
// a later rule overrides an earlier one. bNoChange ends true when no setting
// was written. False when the drawing could not be found or opened, or the
// changed drawing could not be saved.
bool fun_bApplyLayerStateRules(ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                               const support::ListTable& vRule, bool& bNoChange, support::StatusLabel& lblStatus);

}  // namespace host
