#pragma once
// The batch run behind "実行": checks the inputs of the active mode, obtains
// the drawing host, hands every selected drawing in list order to the mode's
// per-drawing operation, shows the progress in the status line, and reports
// the outcome in one message. No window is needed: the main window collects
// the inputs and supplies the operations.
#include <QFileInfo>
#include <QString>
#include <functional>
#include <memory>

#include "host/HostApi.h"
#include "main/ScriptEnv.h"
#include "support/ListTable.h"
#include "support/StatusLabel.h"

namespace mainwin {

// A filter class index turned into its two flags: Include (names that match
// are processed) and Whole (only a match of the whole name counts).
struct FilterFlags {
    bool include = false;
    bool whole = false;
};
FilterFlags filterFlags(int classIndex);

// The options of a layer information export (mode 3).
struct SurveyOptions {
    bool outputText = false;  // texts to sheet "文字出力"
    bool countObjects = false;
    QString layerFilter;  // empty: no filtering
    FilterFlags layerFlags;
    QString textFilter;
    FilterFlags textFlags;
};

// The workbook of one export: made when the run starts, filled per drawing.
class SurveyWorkbook {
public:
    virtual ~SurveyWorkbook() = default;
    virtual bool fun_bOutputLayerInfo(host::ApplicationPtr acadApp, const QString& sDWGName,
                                      const QString& sDWGFullPath, const SurveyOptions& options,
                                      support::StatusLabel& lblStatus) = 0;
    // The end of the run: the spreadsheet comes to the front with sheet "画層情報" active.
    virtual void finish() = 0;
};

// What the script generation needs of one drawing besides the drawing itself (mode 4).
struct ScriptRequest {
    QString baseScriptPath;
    ScriptEnv env;
    QString drawingFolder;
    QString drawingTitle;  // file name less its last four characters
    QString layerFilter;   // empty: every layer
    FilterFlags layerFlags;
    QString layoutFilter;  // empty: every layout
    FilterFlags layoutFlags;
    bool saveDrawings = false;
    support::OptionalListTable keywordTable;  // (0..n-1, 0..1): keyword, replacement
};

using RuleOperation = std::function<bool(host::ApplicationPtr acadApp, const QString& sDWGName,
                                         const QString& sDWGFullPath, const support::ListTable& vRule,
                                         bool& bNoChange, support::StatusLabel& lblStatus)>;

// The per-drawing operations and their companions. A drawing whose operation
// is not supplied counts as failed; without a workbook maker mode 3 finds no
// spreadsheet.
struct DrawingOperations {
    RuleOperation applyLayerNameRules;
    RuleOperation applyLayerStateRules;
    // Obtains the spreadsheet and a new workbook; null when there is no spreadsheet.
    std::function<std::unique_ptr<SurveyWorkbook>(bool outputText)> openSurveyWorkbook;
    std::function<bool(host::ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                       const ScriptRequest& request, QString& sScript)>
        makeDWGScript;
    // Shows the script editor with the merged script; the run ends when it returns.
    std::function<void(const QString& sMergeScriptFullName)> showScriptEditor;
};

// Everything the run reads when it starts.
struct BatchInputs {
    int mode = 1;
    support::OptionalListTable ruleTable;     // modes 1 and 2
    support::OptionalListTable drawingTable;  // (0, k) file name, (1, k) full path
    SurveyOptions survey;                     // mode 3
    QString baseFile;                         // mode 4
    ScriptEnv env;
    bool saveDrawings = false;
    support::OptionalListTable keywordTable;
};

enum class DrawingOutcome { Done, Unchanged, Failed };

// How the run meets its caller: the status line, the yield before each
// drawing, whether the window was closed meanwhile (the run then stops
// before the next drawing, without a report), and optionally the outcome of
// each drawing as it is counted (entry k of the drawing table).
struct BatchContext {
    support::StatusLabel& lblStatus;
    std::function<void()> yield;
    std::function<bool()> stopRequested;
    std::function<void(int k, const QString& sDWGName, const QString& sDWGFullPath, DrawingOutcome outcome)>
        drawingDone;
};

// What a run came to: the counters, and whether it reached its end (the
// report, or the script editor) rather than stopping at a check, an error or
// a closed window.
struct BatchResult {
    bool completed = false;
    int done = 0;
    int unchanged = 0;
    int failed = 0;
    // Of the done: drawings open in the host before the run, whose changes
    // were left there unsaved.
    int unsaved = 0;
    // The host went away during the run: the run stopped there, the drawing
    // being worked on and those after it counted as failed.
    bool hostLost = false;
};

// A file the drawing list takes: an existing file whose name ends in "dwg",
// or "dxf" since our host opens those, in any letter case.
bool isDrawingFile(const QFileInfo& file);

// The file the serial-script mode merges its blocks into.
QString mergedScriptPath();

// The report of modes 1 to 3 and its icon.
struct BatchReport {
    QString text;
    int icon = 0;
};
// The system's report; a run that left changes unsaved in drawings open in
// the host adds a line with their count.
BatchReport reportFor(int done, int unchanged, int failed, const QString& noun, int unsaved = 0);
// The line added for unsaved drawings.
QString unsavedLine(int unsaved);
// The one message of a run that lost its host.
QString hostLostMessage();

BatchResult subExecute(const BatchInputs& inputs, const DrawingOperations& operations, const BatchContext& context);

}  // namespace mainwin
