#pragma once
// Drives a modal dialog as a user would: once the dialog is on screen, the
// given steps run (typing, clicking); a dialog still open after a minute is
// closed so that a faulty test fails instead of hanging. (A minute, not a few
// seconds: a dialog may rightly stay open while a whole job runs behind it, as
// frmScript does while drawhost plots, and a busy machine must not fail that.)
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <functional>

namespace rulestest {

template <class Dialog>
void whenShown(std::function<void(Dialog*)> steps) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, steps] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(60000, dialog, [dialog] {
            ADD_FAILURE() << "the dialog was left open";
            dialog->reject();
        });
        // Focus moves only inside the active window.
        dialog->activateWindow();
        if (!QTest::qWaitForWindowActive(dialog)) ADD_FAILURE() << "the dialog did not become active";
        steps(dialog);
    });
    poll->start();
}

}  // namespace rulestest
