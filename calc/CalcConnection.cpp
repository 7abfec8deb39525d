#include "CalcConnection.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <csignal>
#include <unistd.h>

#include "CalcSession.h"

namespace calc {

using namespace css;

namespace {

OfficeOptions& optionsSlot() {
    static OfficeOptions options;
    return options;
}

QString pipeName() {
    const OfficeOptions& o = optionsSlot();
    return o.pipeName.isEmpty() ? QStringLiteral("laminor_calc_%1").arg(getuid()) : o.pipeName;
}

QString acceptString() { return QStringLiteral("pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName()); }

// The client's own UNO environment, bootstrapped from the office's
// fundamentalrc. URE_BOOTSTRAP is set for this process only; the office we
// start gets an environment without it (see startOffice).
Reference<uno::XComponentContext> localContext() {
    static Reference<uno::XComponentContext> context = [] {
        // An office that ends or crashes while we talk to it closes the pipe
        // under our feet; that must be an error of the call, not SIGPIPE
        // ending the program.
        ::signal(SIGPIPE, SIG_IGN);
        if (!qEnvironmentVariableIsSet("URE_BOOTSTRAP"))
            qputenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" LO_PROGRAM_DIR "/fundamentalrc");
        return cppu::defaultBootstrap_InitialComponentContext();
    }();
    return context;
}

// The office listening on our pipe, or nothing.
Reference<uno::XComponentContext> connect() {
    try {
        Reference<bridge::XUnoUrlResolver> resolver = bridge::UnoUrlResolver::create(localContext());
        Reference<uno::XInterface> remote = resolver->resolve(toOU(QStringLiteral("uno:") + acceptString()));
        return Reference<uno::XComponentContext>(remote, uno::UNO_QUERY);
    } catch (const uno::Exception& e) {
        if (qEnvironmentVariableIsSet("LAMINOR_CALC_DEBUG")) qWarning("calc connect: %s", qPrintable(fromOU(e.Message)));
        return {};
    }
}

// Starts soffice accepting on our pipe. When the user's office already runs,
// this second call hands the accept request to it and ends, which is how the
// user's own office is attached.
bool startOffice() {
    const OfficeOptions& o = optionsSlot();
    QStringList args{QStringLiteral("--norestore"), QStringLiteral("--nologo"), QStringLiteral("--nolockcheck"),
                     QStringLiteral("--nodefault"), QStringLiteral("--accept=") + acceptString()};
    if (o.headless) args << QStringLiteral("--headless") << QStringLiteral("--invisible");
    if (!o.profileDir.isEmpty())
        args << QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(QDir(o.profileDir).absolutePath()).toString();
    QProcess process;
    process.setProgram(o.sofficeProgram);
    process.setArguments(args);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("URE_BOOTSTRAP"));  // the office finds its own
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

std::shared_ptr<Session> sessionFor(const Reference<uno::XComponentContext>& context) {
    auto session = std::make_shared<Session>();
    session->context = context;
    session->desktop = frame::Desktop::create(context);
    session->hiddenDocuments = optionsSlot().headless;
    return session;
}

}  // namespace

void setOfficeOptions(const OfficeOptions& options) { optionsSlot() = options; }

OfficeOptions officeOptions() { return optionsSlot(); }

bool fun_bGetExcel(ApplicationPtr& xlApp) {
    xlApp.reset();
    try {
        Reference<uno::XComponentContext> context = connect();
        if (!context.is()) {
            if (!startOffice()) return false;
            QElapsedTimer waited;
            waited.start();
            while (!context.is() && waited.elapsed() < optionsSlot().startTimeoutMs) {
                QThread::msleep(250);
                context = connect();
            }
            if (!context.is()) return false;
        }
        xlApp = std::make_shared<Application>(sessionFor(context));
        xlApp->setVisible(true);
        return true;
    } catch (const uno::Exception&) {
        return false;
    } catch (const SheetError&) {
        return false;
    }
}

void terminateOffice() {
    Reference<uno::XComponentContext> context = connect();
    if (!context.is()) return;
    try {
        frame::Desktop::create(context)->terminate();
    } catch (const uno::Exception&) {
        // The office closes its connection while it ends.
    }
    QElapsedTimer waited;
    waited.start();
    while (connect().is() && waited.elapsed() < 10000) QThread::msleep(200);
}

}  // namespace calc
