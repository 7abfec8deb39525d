// drawhost: the drawing host. With a window by default; with --console it
// runs the command line on a script or standard input and exits.
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "CommandLine.h"
#include "MainWindow.h"
#include "drawhost/AutomationServer.h"
#include "host/client/RemoteProtocol.h"
#include "support/TextFile.h"

namespace {

int runConsole(const QStringList& args) {
    auto host = host::InProcessHost::create();
    drawhost::CommandLine cl(host);
    QTextStream out(stdout);
    // What the command line says may quote a hostile drawing: no control
    // character reaches the terminal as it is.
    QObject::connect(&cl, &drawhost::CommandLine::output,
                     [&out](const QString& line) { out << support::printableText(line) << Qt::endl; });
    QObject::connect(&cl, &drawhost::CommandLine::scriptFinished, [&cl](bool) {
        QCoreApplication::exit(cl.failed() ? 1 : 0);
    });
    // QUIT ends the run there; the lines after it are not run.
    QObject::connect(&cl, &drawhost::CommandLine::quitRequested, [&cl] {
        QCoreApplication::exit(cl.failed() ? 1 : 0);
    });
    if (!args.isEmpty()) {
        if (!cl.runScriptFile(args.front())) return 2;
    } else {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) return 2;
        cl.runScript(QString::fromLocal8Bit(in.readAll()));
    }
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    bool console = false;
    for (int i = 1; i < argc; ++i) console = console || QByteArray(argv[i]) == "--console";
    if (console) {
        // No window, but plotting draws text and pages: a GUI application on
        // the offscreen platform, which needs no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        QStringList args = app.arguments().mid(1);
        args.removeAll(QStringLiteral("--console"));
        return runConsole(args);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("drawhost"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The drawing host."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("console"), QStringLiteral("Run the command line without a window.")});
    parser.addOption({QStringLiteral("socket"), QStringLiteral("Automation socket path."), QStringLiteral("path")});
    parser.addOption({QStringLiteral("script"), QStringLiteral("Script to run once the window is up."), QStringLiteral("file")});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Drawings to open."));
    parser.process(app);

    auto shell = std::make_shared<drawhost::WindowShell>();
    auto host = host::InProcessHost::create(shell);
    drawhost::MainWindow window(host);
    shell->setWindow(&window);

    const QString path = parser.isSet(QStringLiteral("socket")) ? parser.value(QStringLiteral("socket")) : host::wire::socketPath();
    host::AutomationServer server(host->application());
    QObject::connect(&server, &host::AutomationServer::requestAnswered, &window, &drawhost::MainWindow::deferRedraw);
    QString reason;
    if (server.listen(path, &reason)) window.setServerStatus(QStringLiteral("Automation: %1").arg(path));
    else window.setServerStatus(QStringLiteral("Automation off: %1").arg(reason));

    for (const QString& file : parser.positionalArguments()) {
        try {
            host->open(file);
        } catch (const host::HostError& e) {
            window.commandLine().print(QStringLiteral("Cannot open drawing \"%1\": %2").arg(file, e.description()));
        }
    }
    window.show();
    if (parser.isSet(QStringLiteral("script"))) window.commandLine().runScriptFile(parser.value(QStringLiteral("script")));
    return app.exec();
}
