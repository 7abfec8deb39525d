#pragma once
// The layer survey of one drawing (layer information to the spreadsheet):
// every layer's settings and, on request, its object, block reference and
// single-line text counts go to sheet "画層情報", rename and state rule
// templates to their sheets, and optionally the drawing's texts to
// "文字出力". Rows of later drawings are appended below those of earlier
// ones. The drawing is only read.
#include <QString>

#include "calc/CalcApp.h"
#include "host/HostApi.h"
#include "support/StatusLabel.h"

namespace host {

// wsText may be null when text output is off. The text filter arguments are
// taken by reference as the callers pass them; the survey does not change them.
// The column widths are left to the caller: fit them once when the last
// drawing is written (calc::Worksheet::autoFitColumns).
bool fun_bOutputLayerInfo(const ApplicationPtr& acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                          const calc::ApplicationPtr& xlApp, calc::Worksheet& wsLayer, calc::Worksheet& wsRename,
                          calc::Worksheet& wsState, calc::Worksheet& wsList, calc::Worksheet* wsText, bool bOutputText,
                          support::StatusLabel& lblStatus, bool bLayerInclude, bool& bTextInclude, bool bLayerWhole,
                          bool& bTextWhole, const QString& sLayerFilter, QString& sTextFilter, bool bCount);

}  // namespace host
