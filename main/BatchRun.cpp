#include "BatchRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>

#include "host/DrawingNotes.h"
#include "host/HostConnection.h"
#include "host/HostErrorText.h"
#include "host/SkipError.h"
#include "support/Foreground.h"
#include "support/MessageBox.h"
#include "support/ProgramFolder.h"
#include "support/TextFile.h"

namespace mainwin {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

void message(const QString& text, int icon) { support::MsgBox(text, icon, support::kLaminorTitle); }

QString modeNoun(int mode) {
    switch (mode) {
    case 1:
        return QStringLiteral("画層名変更");
    case 2:
        return QStringLiteral("画層状態変更");
    default:
        return QStringLiteral("画層情報出力");
    }
}

// Entries from 0 up to the first one without a file name.
int drawingCount(const support::ListTable& drawings) {
    int m = 0;
    while (m < drawings.columns() && !drawings.at(0, m).isEmpty()) ++m;
    return m;
}

// "全て" anywhere in a stored script filter means "every name".
QString scriptFilter(const QString& stored) {
    return stored.contains(QStringLiteral("全て")) ? QString() : stored;
}

class Run {
public:
    Run(const BatchInputs& in, const DrawingOperations& ops, const BatchContext& ctx) : in_(in), ops_(ops), ctx_(ctx) {}

    void execute();
    const BatchResult& result() const { return count_; }

private:
    void walk(const support::ListTable& drawings, int m);
    bool prepareMode4();
    DrawingOutcome processDrawing(const QString& name, const QString& path);
    void count(int k, const QString& name, const QString& path, DrawingOutcome outcome);
    void finishMode4();
    void report();

    const BatchInputs& in_;
    const DrawingOperations& ops_;
    const BatchContext& ctx_;
    host::ApplicationPtr app_;
    std::unique_ptr<SurveyWorkbook> workbook_;
    ScriptRequest script_;
    BatchResult count_;
};

void Run::execute() {
    const int mode = in_.mode;
    if ((mode == 1 || mode == 2) && !in_.ruleTable) {
        message(modeNoun(mode) + QStringLiteral("規則が定義されていません。"), support::vbExclamation);
        return;
    }
    // A list with rows but none selected gives nothing to work on either; it
    // is told the same way rather than with an empty report.
    if (!in_.drawingTable || drawingCount(*in_.drawingTable) == 0) {
        message(QStringLiteral("処理するDWGファイルが見つかりません。"), support::vbExclamation);
        return;
    }
    if (!host::fun_bFindOrStartHost(app_, ctx_.lblStatus)) {
        support::bringMainWindowToFront();
        message(QStringLiteral("AutoCAD（レギュラー版）が見つかりません。") + kCrLf +
                    QStringLiteral("処理を続行することが出来ません。"),
                support::vbCritical);
        return;
    }
    if (app_->windowState() == host::kWindowMinimized) app_->setWindowState(host::kWindowNormal);
    app_->activateWindow();

    if (mode == 3) {
        workbook_ = ops_.openSurveyWorkbook ? ops_.openSurveyWorkbook(in_.survey.outputText) : nullptr;
        if (!workbook_) {
            support::bringMainWindowToFront();
            message(QStringLiteral("Excelが見つかりません。"), support::vbCritical);
            return;
        }
        support::bringMainWindowToFront();
    }
    if (mode == 4 && !prepareMode4()) return;
    support::bringMainWindowToFront();

    const support::ListTable& drawings = *in_.drawingTable;
    const int m = drawingCount(drawings);
    walk(drawings, m);
    if (ctx_.stopRequested && ctx_.stopRequested()) return;
    ctx_.lblStatus.setCaption(QString());
    if (ctx_.yield) ctx_.yield();

    if (count_.hostLost) {
        support::bringMainWindowToFront();
        message(hostLostMessage(), support::vbCritical);
        // The merged script of a mode-4 run is incomplete and has no host to go to.
        if (mode == 4) return;
    }
    if (mode == 4)
        finishMode4();
    else
        report();
    count_.completed = true;
}

// The drawings in list order. A lost host ends the walk: the drawing being
// worked on and every one after it count as failed, and no other drawing
// is tried (each would only fail to open, blaming a good file).
void Run::walk(const support::ListTable& drawings, int m) {
    host::LostHostEndsWork lostHostEndsWork;
    for (int k = 0; k < drawings.columns(); ++k) {
        if (ctx_.yield) ctx_.yield();
        if (ctx_.stopRequested && ctx_.stopRequested()) return;
        ctx_.lblStatus.setCaption(QStringLiteral("ただいま処理中...  %1 / %2").arg(k + 1).arg(m));
        const QString name = drawings.at(0, k);
        if (name.isEmpty()) break;
        host::drawingNotes() = {};
        DrawingOutcome outcome = DrawingOutcome::Failed;
        try {
            outcome = processDrawing(name, drawings.at(1, k));
        } catch (const host::HostError& e) {
            if (e.number() != host::errc::kDisconnected) throw;
            count_.hostLost = true;
            for (int rest = k; rest < drawings.columns() && !drawings.at(0, rest).isEmpty(); ++rest)
                count(rest, drawings.at(0, rest), drawings.at(1, rest), DrawingOutcome::Failed);
            return;
        }
        if (outcome == DrawingOutcome::Done && host::drawingNotes().leftUnsaved) ++count_.unsaved;
        count(k, name, drawings.at(1, k), outcome);
    }
}

void Run::count(int k, const QString& name, const QString& path, DrawingOutcome outcome) {
    switch (outcome) {
    case DrawingOutcome::Done:
        ++count_.done;
        break;
    case DrawingOutcome::Unchanged:
        ++count_.unchanged;
        break;
    case DrawingOutcome::Failed:
        ++count_.failed;
        break;
    }
    if (ctx_.drawingDone) ctx_.drawingDone(k, name, path, outcome);
}

bool Run::prepareMode4() {
    if (in_.baseFile.isEmpty() || !QFileInfo(in_.baseFile).isFile()) {
        support::bringMainWindowToFront();
        message(QStringLiteral("スクリプトベースファイルが見つかりません。"), support::vbCritical);
        return false;
    }
    script_.baseScriptPath = in_.baseFile;
    script_.env = in_.env;
    script_.layerFilter = scriptFilter(in_.env.sFilterLayer);
    script_.layoutFilter = scriptFilter(in_.env.sFilterLayout);
    script_.layerFlags = filterFlags(in_.env.iFilterLayerClass);
    script_.layoutFlags = filterFlags(in_.env.iFilterLayoutClass);
    script_.saveDrawings = in_.saveDrawings;
    script_.keywordTable = in_.keywordTable;
    if (QFileInfo::exists(mergedScriptPath())) QFile::remove(mergedScriptPath());
    return true;
}

// One drawing through the mode's operation.
DrawingOutcome Run::processDrawing(const QString& name, const QString& path) {
    switch (in_.mode) {
    case 1:
    case 2: {
        const RuleOperation& op = in_.mode == 1 ? ops_.applyLayerNameRules : ops_.applyLayerStateRules;
        bool bNoChange = false;
        if (!op || !op(app_, name, path, *in_.ruleTable, bNoChange, ctx_.lblStatus)) return DrawingOutcome::Failed;
        return bNoChange ? DrawingOutcome::Unchanged : DrawingOutcome::Done;
    }
    case 3:
        return workbook_->fun_bOutputLayerInfo(app_, name, path, in_.survey, ctx_.lblStatus) ? DrawingOutcome::Done
                                                                                             : DrawingOutcome::Failed;
    default: {
        // The folder comes from the path as listed; a drawing that has gone
        // since is left to the operation, which fails it like any drawing it
        // cannot open, and the run goes on.
        ScriptRequest request = script_;
        request.drawingFolder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
        request.drawingTitle = name.left(name.size() - 4);
        QString block;
        if (!ops_.makeDWGScript || !ops_.makeDWGScript(app_, name, path, request, block)) return DrawingOutcome::Failed;
        QString error;
        if (!support::appendTextFile(mergedScriptPath(), block + kCrLf, &error)) {
            // A block that cannot be kept would silently drop the drawing from the script.
            message(error, support::vbCritical);
            return DrawingOutcome::Failed;
        }
        return DrawingOutcome::Done;
    }
    }
}

void Run::finishMode4() {
    if (count_.done == 0) {
        message(QStringLiteral("スクリプトファイル作成に失敗しました。") + kCrLf + kCrLf +
                    QStringLiteral("また、「画層名」や「レイアウト名」をキーワードに設定しているスクリプトでは、") +
                    kCrLf +
                    QStringLiteral("条件に合致する画層名やレイアウト名が図面内に一つも見つからなかった場合も失敗となります。") +
                    kCrLf + QStringLiteral("置換規則を見直してください。"),
                support::vbCritical);
        return;
    }
    if (ops_.showScriptEditor) ops_.showScriptEditor(mergedScriptPath());
}

void Run::report() {
    support::bringMainWindowToFront();
    const BatchReport r = reportFor(count_.done, count_.unchanged, count_.failed, modeNoun(in_.mode), count_.unsaved);
    message(r.text, r.icon);
    if (!count_.hostLost) app_->update();
    if (workbook_) workbook_->finish();
}

}  // namespace

FilterFlags filterFlags(int classIndex) {
    switch (classIndex) {
    case 0:
        return {true, true};
    case 1:
        return {true, false};
    case 2:
        return {false, true};
    default:
        return {false, false};
    }
}

bool isDrawingFile(const QFileInfo& file) {
    if (!file.isFile()) return false;
    const QString tail = file.fileName().right(3).toLower();
    return tail == u"dwg" || tail == u"dxf";
}

QString mergedScriptPath() { return QDir(support::programFolder()).filePath(QStringLiteral("Laminor_script.scr")); }

QString unsavedLine(int unsaved) {
    return QStringLiteral("（うち %1 件は AutoCAD で開いていた図面のため、変更を保存していません。）").arg(unsaved);
}

QString hostLostMessage() {
    return QStringLiteral("AutoCAD（図面ホスト）が停止したため、処理を中止しました。") + kCrLf +
           QStringLiteral("処理していない図面は、変換できなかったファイルとして数えます。");
}

BatchReport reportFor(int done, int unchanged, int failed, const QString& noun, int unsaved) {
    QString text;
    if (done > 0) text = QStringLiteral("%1 件のファイルについて%2が正常終了しました。").arg(done).arg(noun);
    if (unchanged > 0) {
        if (!text.isEmpty())
            text += kCrLf + QStringLiteral("%1 件のファイルは%2を行っていません。").arg(unchanged).arg(noun);
        else
            text = QStringLiteral("%1 件のファイルは%2対象外でした。").arg(unchanged).arg(noun);
    }
    if (failed > 0) {
        const QString line = QStringLiteral("%1 件変換できなかったファイルが存在します。").arg(failed);
        text = text.isEmpty() ? line : text + kCrLf + line;
    }
    // After the system's text, so that its sentences stay as they are.
    if (unsaved > 0) text += kCrLf + unsavedLine(unsaved);
    if (failed > 0) return {text, support::vbCritical};
    return {text, unchanged == 0 && unsaved == 0 ? support::vbInformation : support::vbExclamation};
}

BatchResult subExecute(const BatchInputs& inputs, const DrawingOperations& operations, const BatchContext& context) {
    Run run(inputs, operations, context);
    try {
        run.execute();
        return run.result();
    } catch (const host::HostError& e) {
        if (e.number() == host::errc::kDisconnected) {
            // Lost outside the walk of the drawings (preparing or reporting).
            support::bringMainWindowToFront();
            message(hostLostMessage(), support::vbCritical);
        } else {
            message(QStringLiteral("予期せぬエラーが発生しました。") + kCrLf + QString::number(e.number()) + kCrLf +
                        host::japaneseErrorText(e.number(), e.description()),
                    support::vbCritical);
        }
    } catch (const std::exception& e) {
        message(QStringLiteral("予期せぬエラーが発生しました。") + kCrLf + QStringLiteral("0") + kCrLf +
                    QString::fromLocal8Bit(e.what()),
                support::vbCritical);
    }
    BatchResult stopped = run.result();
    stopped.completed = false;
    return stopped;
}

}  // namespace mainwin
