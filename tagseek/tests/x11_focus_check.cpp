// Tagseek's result dialog under a real X server and window manager, against a
// real drawhost: while a result is shown, drawhost must hold the keyboard focus
// (the active window) and the dialog must stand above it. Reads the window
// manager's view of things with xprop, and takes a picture of the screen when
// asked.
//
//   tagseek_x11_check DRAWHOST DRAWING [PICTURE.png]
//
// Run under an X server with a window manager (x11_focus.sh sets one up).
// Exit status 0 when every result met both conditions.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeWidget>
#include <csignal>
#include <cstdio>

#include "host/client/RemoteHost.h"
#include "host/client/RemoteProvider.h"
#include "support/Ini.h"
#include "support/MessageBoxQt.h"
#include "support/ProgramFolder.h"
#include "tagseek/frmMain.h"
#include "tagseek/frmMsg.h"
#include "tagseek/tests/WindowDriving.h"

namespace {

QString xprop(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xprop"), args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Window ids in a root property (active window, stacking order bottom to top).
QList<quint32> rootWindows(const char* property) {
    QList<quint32> ids;
    static const QRegularExpression hex(QStringLiteral("0x[0-9a-fA-F]+"));
    auto it = hex.globalMatch(xprop({QStringLiteral("-root"), QString::fromLatin1(property)}));
    while (it.hasNext()) ids << it.next().captured().toUInt(nullptr, 16);
    return ids;
}

QString windowName(quint32 id) {
    const QString out = xprop({QStringLiteral("-id"), QString::number(id), QStringLiteral("_NET_WM_NAME")});
    const qsizetype q = out.indexOf(u'"');
    return q < 0 ? QString() : out.mid(q + 1).chopped(2);
}

bool hasState(quint32 id, const char* state) {
    return xprop({QStringLiteral("-id"), QString::number(id), QStringLiteral("_NET_WM_STATE")})
        .contains(QString::fromLatin1(state));
}

quint32 activeWindow() {
    const QList<quint32> ids = rootWindows("_NET_ACTIVE_WINDOW");
    return ids.isEmpty() ? 0 : ids.front();
}

// The managed window whose name starts with prefix (the frame's client).
quint32 findWindow(const QString& prefix) {
    for (quint32 id : rootWindows("_NET_CLIENT_LIST"))
        if (windowName(id).startsWith(prefix)) return id;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tagseek_x11_check DRAWHOST DRAWING [PICTURE.png]\n");
        return 2;
    }
    const QString drawhost = QString::fromLocal8Bit(argv[1]);
    const QString picture = argc > 3 ? QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath() : QString();
    QTemporaryDir folder;
    const QString drawing = folder.filePath(QStringLiteral("floor-plan.dxf"));
    QFile::copy(QString::fromLocal8Bit(argv[2]), drawing);
    support::setProgramFolder(folder.path());
    support::installQtMessageBoxService();

    const QString socket = folder.filePath(QStringLiteral("drawhost.sock"));
    qint64 pid = 0;
    QProcess::startDetached(drawhost, {QStringLiteral("--socket"), socket, drawing}, QString(), &pid);
    host::ApplicationPtr probe;
    const bool up = tagseek::testing::waitUntil([&] {
        try {
            probe = host::connectRemoteHost(socket, 200);
            return probe->documents()->count() == 1 && findWindow(QStringLiteral("drawhost")) != 0;
        } catch (const host::HostError&) {
            return false;
        }
    });
    QTextStream out(stdout);
    if (!up) {
        out << "drawhost did not come up (answering: " << (probe ? "yes" : "no") << ", windows:";
        for (quint32 id : rootWindows("_NET_CLIENT_LIST")) out << " \"" << windowName(id) << "\"";
        out << ")\n";
        if (pid > 0) ::kill(pid_t(pid), SIGKILL);
        return 1;
    }
    host::setHostProvider(std::make_shared<host::RemoteHostProvider>(QStringLiteral("/nonexistent/drawhost"), socket));

    // Where the user left the result dialog last time: over drawhost's view.
    support::WriteINI(QStringLiteral("Tagseek.ini"), QStringLiteral("MSGBOX"), QStringLiteral("left"), 230 * 15);
    support::WriteINI(QStringLiteral("Tagseek.ini"), QStringLiteral("MSGBOX"), QStringLiteral("top"), 560 * 15);
    tagseek::frmMain w;
    w.move(1250, 40);
    w.show();
    tagseek::testing::waitUntil([&] { return findWindow(QStringLiteral("PickwellFree")) != 0; });

    int shown = 0, failures = 0;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<tagseek::frmMsg*>(top);
            if (!dialog || !dialog->isVisible() || dialog->property("checked").toBool()) continue;
            dialog->setProperty("checked", true);
            poll.stop();
            ++shown;
            const quint32 host = findWindow(QStringLiteral("drawhost"));
            const quint32 self = quint32(dialog->winId());
            // The window manager acts on its own time, and the dialog may be
            // activated for a moment before it hands the focus back: wait for
            // drawhost to be active and to stay so for a second.
            QElapsedTimer settling;
            settling.start();
            bool hostActive = false;
            while (!hostActive && settling.elapsed() < 10000) {
                if (!tagseek::testing::waitUntil([&] { return activeWindow() == host; }, 10000)) break;
                hostActive = !tagseek::testing::waitUntil([&] { return activeWindow() != host; }, 1000);
            }
            const bool above = hasState(self, "_NET_WM_STATE_ABOVE");
            const QList<quint32> stacking = rootWindows("_NET_CLIENT_LIST_STACKING");
            const bool onTop = stacking.indexOf(self) > stacking.indexOf(host);
            out << "result " << shown << ": active window \"" << windowName(activeWindow()) << "\""
                << (hostActive ? " (drawhost: yes)" : " (drawhost: NO)") << ", dialog above: " << (above ? "yes" : "NO")
                << ", dialog stacked over drawhost: " << (onTop ? "yes" : "NO") << "\n";
            host::Point3 lo, hi, vlo, vhi;
            const QString handle = dialog->Label1->text().section(u'\n', 0, 0).section(QStringLiteral("】"), 1);
            probe->activeDocument()->handleToObject(handle)->getBoundingBox(lo, hi);
            probe->getViewExtents(vlo, vhi);
            out << "  " << handle << " extents (" << lo.x << ", " << lo.y << ") - (" << hi.x << ", " << hi.y
                << "), view (" << vlo.x << ", " << vlo.y << ") - (" << vhi.x << ", " << vhi.y << ")\n";
            out.flush();
            if (!hostActive || !above || !onTop) ++failures;
            if (shown == 1 && !picture.isEmpty()) {
                tagseek::testing::waitUntil([] { return false; }, 700);  // let both windows finish drawing
                QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), picture});
            }
            dialog->OKButton->click();
            poll.start();
        }
    });
    poll.start();
    // The user clicks into Tagseek's list, as before dragging text onto it:
    // Tagseek is then the window the user last worked in.
    const quint32 self = findWindow(QStringLiteral("PickwellFree"));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(self),
                                                  QStringLiteral("60"), QStringLiteral("100"), QStringLiteral("click"), QStringLiteral("1")});
    tagseek::testing::waitUntil([&] { return activeWindow() == self; }, 5000);
    out << "before the drop: active window \"" << windowName(activeWindow()) << "\"\n";
    tagseek::testing::dropText(w.LstvHandle->viewport(), QStringLiteral("24D\r\n23C\r\n"));
    tagseek::testing::waitUntil([&] { return shown == 2 && w.isVisible(); }, 60000);
    if (!picture.isEmpty()) {
        // Tagseek's own window, back with the dropped handles listed.
        w.LstvHandle->topLevelItem(0)->setSelected(true);
        tagseek::testing::waitUntil([] { return false; }, 700);
        QString window = picture;
        window.replace(QStringLiteral(".png"), QStringLiteral("-window.png"));
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QString::number(self), window});
    }

    // Activation through automation raises drawhost over a window the user
    // is working in (here a second drawhost, clicked into by the user).
    const quint32 first = findWindow(QStringLiteral("drawhost"));
    qint64 otherPid = 0;
    QProcess::startDetached(drawhost, {QStringLiteral("--socket"), folder.filePath(QStringLiteral("other.sock"))},
                            QString(), &otherPid);
    quint32 other = 0;
    tagseek::testing::waitUntil([&] {
        for (quint32 id : rootWindows("_NET_CLIENT_LIST"))
            if (id != first && windowName(id).startsWith(QStringLiteral("drawhost"))) other = id;
        return other != 0;
    });
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(other),
                                                  QStringLiteral("300"), QStringLiteral("300"), QStringLiteral("click"), QStringLiteral("1")});
    const bool otherActive = tagseek::testing::waitUntil([&] { return activeWindow() == other; }, 5000);
    probe->activateWindow();
    const bool raised = tagseek::testing::waitUntil([&] {
        const QList<quint32> stacking = rootWindows("_NET_CLIENT_LIST_STACKING");
        return activeWindow() == first && stacking.indexOf(first) > stacking.indexOf(other);
    }, 5000);
    out << "activate through automation over another window the user clicked"
        << (otherActive ? "" : " (which never became active)") << ": " << (raised ? "raised and active" : "NOT raised and active")
        << "\n";
    if (!raised) ++failures;

    probe.reset();
    if (otherPid > 0) ::kill(pid_t(otherPid), SIGKILL);
    if (pid > 0) ::kill(pid_t(pid), SIGKILL);
    out << (failures == 0 && shown == 2 ? "ok\n" : "FAILED\n");
    return failures == 0 && shown == 2 ? 0 : 1;
}
