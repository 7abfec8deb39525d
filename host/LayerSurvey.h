#pragma once
// The layer survey of one drawing (layer information to the spreadsheet):
// every layer's settings and, on request, its object, block reference and
// single-line text counts go to sheet "画層情報", rename and state rule
// templates to their sheets, and optionally the drawing's texts to
// "文字出力". Rows of later drawings are appended below those of earlier
// ones. The drawing is only read. The workbook is a sink: the spreadsheet
// application or a workbook file, filled from the same tables.
#include <QString>

#include "host/HostApi.h"
#include "host/SurveySink.h"
#include "support/StatusLabel.h"

namespace host {

// xlBook's text sheet is used only when bOutputText is on. The text filter
// arguments are taken by reference as the callers pass them; the survey does
// not change them. The column widths are left to the sink's finish().
bool fun_bOutputLayerInfo(const ApplicationPtr& acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                          SurveySink& xlBook, bool bOutputText, support::StatusLabel& lblStatus, bool bLayerInclude,
                          bool& bTextInclude, bool bLayerWhole, bool& bTextWhole, const QString& sLayerFilter,
                          QString& sTextFilter, bool bCount);

}  // namespace host
