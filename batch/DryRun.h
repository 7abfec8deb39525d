#pragma once
// A dry run: the mode's operation works on a copy of the drawing in a
// temporary folder, through the engine in this process, and the layer tables
// of the original and the copy are compared to tell what the run would
// change. The original is only read; nothing is saved over it.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "main/BatchRun.h"

namespace batch {

// One layer's name and its eight settings as the host reports them; a
// setting the host refused to report stays empty.
struct LayerSnapshot {
    QString name;
    std::optional<bool> on, freeze, lock, plottable;
    std::optional<int> color, lineweight;
    std::optional<QString> linetype, plotStyle;
};

// The layers of a drawing file, read through a private in-process host.
// False with *error set when the drawing does not open.
bool snapshotLayers(const QString& path, std::vector<LayerSnapshot>& layers, QString& error);

// What changed between two snapshots of one drawing, one text per change:
// mode 1 "rename OLD -> NEW" or "merge OLD -> NEW" (the new name comes from
// the first rule that applies, as the rename gives it), mode 2
// "state LAYER: 色 7 -> 1, ﾛｯｸ しない -> する".
QStringList describeChanges(int mode, const std::vector<LayerSnapshot>& before,
                            const std::vector<LayerSnapshot>& after, const support::ListTable& rules);

// Runs op on a copy of sDWGFullPath (same file name, temporary folder) with a
// host of its own and fills *changes when the copy changed. The result and
// bNoChange are the operation's.
bool dryRunDrawing(const mainwin::RuleOperation& op, int mode, const QString& sDWGName, const QString& sDWGFullPath,
                   const support::ListTable& vRule, bool& bNoChange, support::StatusLabel& lblStatus,
                   QStringList& changes);

}  // namespace batch
