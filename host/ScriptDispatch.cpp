#include "host/ScriptDispatch.h"

#include <exception>

#include "host/HostConnection.h"
#include "host/SkipError.h"
#include "host/frmDialogModal.h"
#include "support/EventYield.h"
#include "support/MessageBox.h"

namespace host {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

void restoreIfMinimized(const ApplicationPtr& app) {
    if (app->windowState() == kWindowMinimized) app->setWindowState(kWindowNormal);
}

}  // namespace

QString scriptWaitMessage() {
    return QStringLiteral("AutoCADにスクリプトを投げました。") + kCrLf +
           QStringLiteral("AutoCADでの処理が完了するまでしばらくお待ち下さい。") + kCrLf +
           QStringLiteral("（完了するまで本メッセージを閉じないで下さい）") + kCrLf + kCrLf +
           QStringLiteral("処理が完了したようでしたら、OKボタンを押してください。") + kCrLf +
           QStringLiteral("filediaを1にして、") + support::kLaminorTitle + QStringLiteral(" に戻ります。");
}

void subSendScript(const QString& sScriptFullPath) {
    const QString quoted = u'"' + sScriptFullPath + u'"';
    ApplicationPtr app;
    if (!fun_bGetHost(app)) {
        support::MsgBox(QStringLiteral("AutoCADレギュラー版が見つかりません。"),
                        support::vbOKCancel | support::vbExclamation, support::kLaminorTitle);
        return;
    }
    try {
        if (app->windowState() == kWindowMinimized) {
            app->setWindowState(kWindowNormal);
            // The window must be back before keystrokes reach it.
            support::yieldEvents(2000);
        }
        app->activateWindow();
    } catch (const HostError& e) {
        support::MsgBox(QStringLiteral("予期せぬエラーが発生しました。") + kCrLf + QString::number(e.number()) + kCrLf +
                            e.description(),
                        support::vbCritical, support::kLaminorTitle);
        return;
    }

    // From here on a failing host call does not stop the dispatch.
    // A host without a drawing has no command line that takes a script.
    if (!skipError([&] { app->activeDocument(); })) skipError([&] { app->documents()->add(); });
    support::yieldEvents(100);
    skipError([&] { app->sendKeys(QStringLiteral("\x1b")); });
    skipError([&] { app->sendKeys(QStringLiteral("\x1b")); });
    // The spaces end "filedia", "0" and "script" as Enter would: FILEDIA 0
    // makes SCRIPT ask for its file on the command line, and the quoted path
    // answers it.
    skipError([&] { app->sendKeys(QStringLiteral("filedia 0 ") + QStringLiteral("script ") + quoted + u'\r'); });

    frmDialogModal::pu_subShow(scriptWaitMessage(), support::vbExclamation);

    support::yieldEvents(100);
    skipError([&] { restoreIfMinimized(app); });
    skipError([&] { app->activateWindow(); });
    skipError([&] { app->sendKeys(QStringLiteral("filedia\r1\r")); });
}

}  // namespace host
