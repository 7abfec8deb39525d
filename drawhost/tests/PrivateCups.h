#pragma once
// A CUPS server of the test's own: cupsd in the foreground on a socket in a
// temporary folder, with file queues that write each job to a file (through
// the cups-pdf PPDs, as PostScript). The process that uses it points
// CUPS_SERVER at the socket before its first CUPS call. The server ends with
// the object.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace testcups {

inline const QString kCupsd = QStringLiteral("/usr/sbin/cupsd");
inline const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd");

class PrivateCups {
public:
    // True when cupsd and the PPD are installed (tools/install-deps.sh installs them).
    static bool available() { return QFileInfo(kCupsd).isExecutable() && QFileInfo::exists(kPpd); }

    // Starts the server; error() says why when it did not.
    bool start() {
        if (!dir_.isValid()) return fail(QStringLiteral("no temporary folder"));
        for (const char* sub : {"conf", "spool", "cache", "state", "log", "out"}) QDir(dir_.path()).mkpath(QString::fromLatin1(sub));
        // Filters run as another user: the spool and the output folder are open to them.
        for (const char* sub : {"spool", "out"})
            QFile::setPermissions(dir_.filePath(QString::fromLatin1(sub)), QFileDevice::Permissions(0x7777));
        QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7755));
        write(QStringLiteral("conf/cupsd.conf"),
              QStringLiteral("Listen %1\nLogLevel warn\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                  .arg(socket()));
        write(QStringLiteral("conf/cups-files.conf"),
              QStringLiteral("ServerRoot %1/conf\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                             "AccessLog %1/log/access_log\nErrorLog %1/log/error_log\nPageLog %1/log/page_log\n"
                             "Printcap %1/state/printcap\nFileDevice Yes\n")
                  .arg(dir_.path()));
        cupsd_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        cupsd_.start(kCupsd, {QStringLiteral("-f"), QStringLiteral("-c"), dir_.filePath(QStringLiteral("conf/cupsd.conf")),
                              QStringLiteral("-s"), dir_.filePath(QStringLiteral("conf/cups-files.conf"))});
        if (!cupsd_.waitForStarted(10000)) return fail(QStringLiteral("cupsd does not start"));
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(socket()) && cupsd_.state() == QProcess::Running && t.elapsed() < 20000)
            QThread::msleep(20);
        if (!QFileInfo::exists(socket())) return fail(QStringLiteral("cupsd gave no socket"));
        return true;
    }

    // Adds a file queue whose jobs land in out/<name>.ps; the default printer when asked.
    bool addFileQueue(const QString& name, bool asDefault = false) {
        if (!admin({QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                    QStringLiteral("file://") + output(name), QStringLiteral("-P"), kPpd}))
            return false;
        return !asDefault || admin({QStringLiteral("-d"), name});
    }

    QString socket() const { return dir_.filePath(QStringLiteral("cups.sock")); }
    QString output(const QString& queue) const { return dir_.filePath(QStringLiteral("out/") + queue + QStringLiteral(".ps")); }
    QString error() const { return error_; }

    // Waits until CUPS has no job left and returns the queue's output, or
    // empty after a minute.
    QString waitForOutput(const QString& queue) const {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000) {
            QProcess lpstat;
            lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-h"), socket(), QStringLiteral("-o")});
            lpstat.waitForFinished(30000);
            QFile f(output(queue));
            if (lpstat.readAllStandardOutput().trimmed().isEmpty() && f.open(QIODevice::ReadOnly))
                return QString::fromLatin1(f.readAll());
            QThread::msleep(50);
        }
        return QString();
    }

    ~PrivateCups() {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(10000)) cupsd_.kill();
            cupsd_.waitForFinished(5000);
        }
    }

private:
    bool fail(const QString& why) {
        error_ = why;
        return false;
    }
    void write(const QString& name, const QString& text) {
        QFile f(dir_.filePath(name));
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
    }
    bool admin(QStringList args) {
        QProcess p;
        p.start(QStringLiteral("lpadmin"), QStringList{QStringLiteral("-h"), socket()} + args);
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return fail(QStringLiteral("lpadmin: ") + QString::fromLocal8Bit(p.readAllStandardError()));
        return true;
    }

    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/laminor-cups-XXXXXX")};
    QProcess cupsd_;
    QString error_;
};

}  // namespace testcups
