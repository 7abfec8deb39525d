#include "batch/ScriptCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <vector>

#include "batch/HeadlessRun.h"
#include "batch/Inputs.h"
#include "host/HostConnection.h"
#include "host/client/InProcessHost.h"
#include "host/client/RemoteProvider.h"
#include "main/BatchRun.h"
#include "main/MainSettings.h"
#include "main/ScriptEnv.h"
#include "script/ScriptFiles.h"
#include "script/ScriptOperation.h"
#include "support/MessageBox.h"
#include "support/ProgramFolder.h"
#include "support/TextFile.h"

namespace batch {

namespace {

struct ScriptOptions {
    QString base, out, header, footer;
    bool save = false;
    bool run = false;
    bool inProcess = false;
    bool recursive = false;
    bool help = false;
    int jobs = 1;
    bool jobsGiven = false;
    QStringList drawings;
};

const QString kUsage = QStringLiteral(
    "laminor-batch script --base FILE [--out FILE] [--header FILE] [--footer FILE] [--save] [--run] [-j N] "
    "[--in-process] [-r] DRAWING-OR-FOLDER...");

bool parse(const QStringList& args, ScriptOptions& o, QString& error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& out) {
            const int eq = a.indexOf(u'=');
            if (a.startsWith(QStringLiteral("--")) && eq > 0) {
                out = a.mid(eq + 1);
                return true;
            }
            if (i + 1 >= args.size()) {
                error = a + QStringLiteral(" の値がありません。 (missing value)");
                return false;
            }
            out = args[++i];
            return true;
        };
        const QString name = a.section(u'=', 0, 0);
        if (name == u"--base") {
            if (!value(o.base)) return false;
        } else if (name == u"--out") {
            if (!value(o.out)) return false;
        } else if (name == u"--header") {
            if (!value(o.header)) return false;
        } else if (name == u"--footer") {
            if (!value(o.footer)) return false;
        } else if (a == u"--save") {
            o.save = true;
        } else if (a == u"--run") {
            o.run = true;
        } else if (a == u"--in-process") {
            o.inProcess = true;
        } else if (a == u"-r" || a == u"--recursive") {
            o.recursive = true;
        } else if (a == u"-h" || a == u"--help") {
            o.help = true;
        } else if (name == u"-j" || name == u"--jobs" || (a.startsWith(u"-j") && a.size() > 2)) {
            QString n = a.size() > 2 && !a.startsWith(u"--") ? a.mid(2) : QString();
            if (n.isEmpty() && !value(n)) return false;
            bool ok = false;
            o.jobs = n.toInt(&ok);
            if (!ok || o.jobs < 1) {
                error = QStringLiteral("-j には 1 以上の整数を指定してください。 (-j needs a whole number of 1 or more): ") + n;
                return false;
            }
            o.jobsGiven = true;
        } else if (a.startsWith(u'-') && a != u"-") {
            error = QStringLiteral("不明なオプションです。 (unknown option): ") + a;
            return false;
        } else {
            o.drawings << a;
        }
    }
    if (o.help) return true;
    if (o.base.isEmpty()) {
        error = QStringLiteral("--base でスクリプトベースファイルを指定してください。 (give the base script with --base)");
        return false;
    }
    if (o.jobsGiven && o.jobs > 1 && !o.run) {
        error = QStringLiteral("-j は --run と共に指定してください。 (-j shares out a --run)");
        return false;
    }
    for (const QString* file : {&o.header, &o.footer})
        if (!file->isEmpty() && !QFileInfo(*file).isFile()) {
            error = QStringLiteral("ファイルが見つかりません。 (no such file): ") + *file;
            return false;
        }
    return true;
}

// Message boxes: printed on standard error and answered OK; the last one
// shown while a drawing is worked on tells why it failed.
class ConsoleMessages : public support::MessageBoxService {
public:
    ConsoleMessages() { support::setMessageBoxService(this); }
    ~ConsoleMessages() override { support::setMessageBoxService(nullptr); }
    int show(const QString& text, int style, const QString& title) override {
        printErr(QStringLiteral("[") + title + QStringLiteral("] ") + text);
        last = text;
        const int buttons = style & 7;
        return buttons == support::vbYesNo || buttons == support::vbYesNoCancel ? support::vbYes : support::vbOK;
    }
    QString last;
};

mainwin::BatchInputs inputsFor(const ScriptOptions& o, const QStringList& drawings) {
    mainwin::BatchInputs in;
    in.mode = 4;
    in.drawingTable = drawingTable(drawings);
    in.baseFile = QFileInfo(o.base).absoluteFilePath();
    in.env = mainwin::loadScriptEnv(mainwin::kIniFileName);
    in.saveDrawings = o.save;
    // Every keyword row, as the window passes its whole keyword list.
    const auto keywords = mainwin::loadMainSettings(mainwin::kIniFileName).keywords;
    if (!keywords.isEmpty()) {
        support::ListTable table(static_cast<int>(keywords.size()), 2);
        for (int i = 0; i < keywords.size(); ++i) {
            table.set(i, 0, keywords[i].first);
            table.set(i, 1, keywords[i].second);
        }
        in.keywordTable = table;
    }
    return in;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return !path.isEmpty() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs the scripts in drawhost --console processes at once; true when all succeeded.
bool runHosts(const QStringList& scripts) {
    const QString drawhost = QDir(support::programFolder()).filePath(QStringLiteral("drawhost"));
    std::vector<std::unique_ptr<QProcess>> hosts;
    for (const QString& s : scripts) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(drawhost, {QStringLiteral("--console"), s});
        hosts.push_back(std::move(p));
    }
    bool ok = true;
    for (size_t i = 0; i < hosts.size(); ++i) {
        QProcess& p = *hosts[i];
        const bool started = p.waitForStarted(30000);
        if (started) p.waitForFinished(-1);
        const QString prefix = scripts.size() > 1 ? QStringLiteral("[%1] ").arg(i + 1) : QString();
        for (const QString& line : QString::fromUtf8(p.readAll()).split(u'\n', Qt::SkipEmptyParts))
            printOut(prefix + line);
        const bool hostOk = started && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!started) printErr(QStringLiteral("drawhost を起動できません。 (cannot start drawhost): ") + drawhost);
        printOut(QStringLiteral("%1drawhost: %2").arg(prefix, hostOk ? QStringLiteral("ok") : QStringLiteral("failed")));
        ok = ok && hostOk;
    }
    return ok;
}

}  // namespace

QString scriptHelpText() {
    return QStringLiteral(
               "使い方: ") +
           kUsage +
           QStringLiteral(
               "\n\n"
               "画層対応連続スクリプトを画面なしで作成します。Laminor.ini (このプログラムと同じフォルダ) の\n"
               "置換キーワード・絞込み・検索キーワード一覧を使い、メイン画面と同じ内容のスクリプトを書きます。\n"
               "  --base FILE    スクリプトベースファイル (必須)\n"
               "  --out FILE     作成するスクリプト (既定: プログラムフォルダの Laminor_script.scr)\n"
               "  --header FILE  ヘッダー (既定: プログラムフォルダの Laminor_script_Header.scr があれば)\n"
               "  --footer FILE  フッター (既定: Laminor_script_Footer.scr があれば)\n"
               "  --save         処理したDWGファイルを閉じる前に保存する\n"
               "  --run          作成したスクリプトを drawhost --console で実行する\n"
               "  -j N           図面を N 個の drawhost に分けて同時に実行する (--run のとき)\n"
               "  --in-process   図面の画層・レイアウトを drawhost を使わずこのプロセスで読む\n"
               "  -r             フォルダのサブフォルダも対象にする\n"
               "\n"
               "Writes the layer-aware serial script without a window, with the keywords, filters and\n"
               "keyword list of Laminor.ini beside this program, exactly as the main window does;\n"
               "--run runs it with drawhost --console (-j N: over N hosts at once).\n"
               "Exit status: 0 every drawing got its block (and every run succeeded), 1 some drawing\n"
               "failed or a run failed, 2 a usage or input error.\n");
}

int runScriptCommand(const QStringList& args) {
    ScriptOptions o;
    QString error;
    if (!parse(args, o, error)) {
        printErr(error + QStringLiteral("\n") + kUsage);
        return 2;
    }
    if (o.help) {
        printOut(scriptHelpText());
        return 0;
    }
    if (!QFileInfo(o.base).isFile()) {
        printErr(QStringLiteral("スクリプトベースファイルが見つかりません。 (no base script): ") + o.base);
        return 2;
    }
    QStringList skipped;
    const QStringList drawings = collectDrawings(o.drawings, o.recursive, &skipped);
    for (const QString& s : skipped) printErr(QStringLiteral("図面が見つかりません。 (no drawing here, skipped): ") + s);
    if (drawings.isEmpty()) {
        printErr(QStringLiteral("処理するDWGファイルが見つかりません。 (no drawings to work on)"));
        return 2;
    }
    const QString header = !o.header.isEmpty() ? o.header : script::headerScriptPath();
    const QString footer = !o.footer.isEmpty() ? o.footer : script::footerScriptPath();
    const QString out = o.out.isEmpty() ? mainwin::mergedScriptPath() : QFileInfo(o.out).absoluteFilePath();

    ConsoleMessages messages;
    if (o.inProcess)
        host::installInProcessHostProvider();
    else
        host::installRemoteHostProvider();

    // Each drawing's block, kept for the hosts of a shared-out run.
    std::map<int, QString> blocks;
    int next = 0;
    mainwin::DrawingOperations ops;
    ops.makeDWGScript = [&](host::ApplicationPtr app, const QString& name, const QString& path,
                            const mainwin::ScriptRequest& request, QString& block) {
        const int k = next++;
        const bool made = script::makeDWGScript(std::move(app), name, path, request, block);
        if (made) blocks[k] = block;
        return made;
    };
    bool written = false;
    ops.showScriptEditor = [&](const QString& merged) {
        written = script::writeFinalScript(header, merged, footer, out, &error);
        if (!written) printErr(error);
    };
    auto lineFor = [&](int, const QString&, const QString& path, mainwin::DrawingOutcome outcome) {
        const QString native = QDir::toNativeSeparators(path);
        if (outcome == mainwin::DrawingOutcome::Failed)
            printOut(QStringLiteral("failed\t") + native + u'\t' + QString(messages.last).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        else
            printOut(QStringLiteral("done\t") + native);
        messages.last.clear();
    };
    support::PlainStatusLabel status;
    const mainwin::BatchResult result =
        mainwin::subExecute(inputsFor(o, drawings), ops, {status, nullptr, nullptr, lineFor});
    host::setHostProvider(nullptr);
    if (!result.completed || result.done == 0 || !written) return 1;
    printOut(QStringLiteral("%1 件 done, %2 件 failed -> %3").arg(result.done).arg(result.failed).arg(QDir::toNativeSeparators(out)));

    bool ran = true;
    if (o.run) {
        QStringList scripts;
        QTemporaryDir shards;
        if (o.jobs <= 1) {
            scripts << out;
        } else {
            // Neighbouring drawings stay together, one script per host.
            const QByteArray head = fileBytes(header), tail = fileBytes(footer);
            const int n = std::min<int>(o.jobs, int(blocks.size()));
            auto it = blocks.begin();
            for (int s = 0; s < n; ++s) {
                QString text;
                const int count = int(blocks.size()) / n + (s < int(blocks.size()) % n ? 1 : 0);
                for (int i = 0; i < count; ++i, ++it) text += it->second + QStringLiteral("\r\n");
                QByteArray body;
                if (!support::encodeCp932(text, &body, &error)) {
                    printErr(error);
                    return 1;
                }
                const QString path = shards.filePath(QStringLiteral("Laminor_script_%1.scr").arg(s + 1));
                if (!support::writeBytesAtomically(path, head + body + tail, &error)) {
                    printErr(error);
                    return 1;
                }
                scripts << path;
            }
        }
        ran = runHosts(scripts);
    }
    return result.failed > 0 || !ran ? 1 : 0;
}

}  // namespace batch
