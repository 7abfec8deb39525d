#pragma once
// Driving Tagseek's window as a user does: dropping text on a control,
// waiting for what the drop sets off.
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QThread>
#include <functional>

namespace tagseek::testing {

// Keeps the program running (dialogs, timers, queued work) until the
// condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// Drags data over the target and drops it there.
inline bool drop(QWidget* target, const QMimeData& data) {
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return enter.isAccepted() && dropped.isAccepted();
}

inline bool dropText(QWidget* target, const QString& text) {
    QMimeData data;
    data.setText(text);
    return drop(target, data);
}

}  // namespace tagseek::testing
