#pragma once
// The toolbar's small pictures, drawn at start-up so that they stay sharp and
// need no image files.
#include <QIcon>

namespace mainwin {

enum class ToolbarIcon { OpenCsv, ImportSheet, SaveCsv, ExportSheet, ToolSelect, Version };

QIcon toolbarIcon(ToolbarIcon which);

}  // namespace mainwin
