#include "CommandLine.h"

namespace batch {

namespace {

bool parseJobs(const QString& text, int& jobs, QString& error) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1) {
        error = QStringLiteral("-j には 1 以上の整数を指定してください。 (-j needs a whole number of 1 or more): ") + text;
        return false;
    }
    jobs = n;
    return true;
}

}  // namespace

bool parseCommandLine(const QStringList& args, BatchOptions& options, QString& error) {
    options = BatchOptions{};
    bool jobsGiven = false;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        // The value of an option: "--rules FILE" or "--rules=FILE".
        auto value = [&](const QString& name, QString& out) {
            if (a.startsWith(name + u'=')) {
                out = a.mid(name.size() + 1);
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + QStringLiteral(" の値がありません。 (missing value)");
                return false;
            }
            out = args[++i];
            return true;
        };
        if (optionsEnded || !a.startsWith(u'-') || a == u"-") {
            if (options.mode == 0) {
                if (a == u"rename" || a == u"1")
                    options.mode = 1;
                else if (a == u"state" || a == u"2")
                    options.mode = 2;
                else {
                    error = QStringLiteral("モードは rename または state です。 (the mode is rename or state): ") + a;
                    return false;
                }
            } else {
                options.drawings << a;
            }
            continue;
        }
        if (a == u"--") {
            optionsEnded = true;
        } else if (a == u"-h" || a == u"--help") {
            options.help = true;
        } else if (a == u"--rules" || a.startsWith(u"--rules=")) {
            if (!value(QStringLiteral("--rules"), options.rulesFile)) return false;
        } else if (a == u"-r" || a == u"--recursive") {
            options.recursive = true;
        } else if (a == u"--in-process") {
            options.inProcess = true;
        } else if (a == u"--dry-run") {
            options.dryRun = true;
        } else if (a == u"-j" || a == u"--jobs" || a.startsWith(u"--jobs=")) {
            QString n;
            if (!value(a == u"-j" ? QStringLiteral("-j") : QStringLiteral("--jobs"), n)) return false;
            if (!parseJobs(n, options.jobs, error)) return false;
            jobsGiven = true;
        } else if (a.startsWith(u"-j")) {
            if (!parseJobs(a.mid(2), options.jobs, error)) return false;
            jobsGiven = true;
        } else {
            error = QStringLiteral("不明なオプションです。 (unknown option): ") + a;
            return false;
        }
    }
    if (options.help) return true;
    if (options.mode == 0) {
        error = QStringLiteral("モード (rename または state) を指定してください。 (give the mode: rename or state)");
        return false;
    }
    if (options.rulesFile.isEmpty()) {
        error = QStringLiteral("--rules で規則のCSVファイルを指定してください。 (give the rule file with --rules)");
        return false;
    }
    // Several drawings at once need several hosts; only the engine in this
    // process gives each drawing its own.
    if (jobsGiven && options.jobs > 1 && !options.inProcess && !options.dryRun) {
        error = QStringLiteral("-j は --in-process と共に指定してください。 (-j works with --in-process only)");
        return false;
    }
    return true;
}

QString helpText() {
    return QStringLiteral(
        "使い方: laminor-batch rename --rules 規則.csv [オプション] 図面またはフォルダ...\n"
        "        laminor-batch state  --rules 規則.csv [オプション] 図面またはフォルダ...\n"
        "        laminor-batch survey --out 出力.xlsx [--text] [--count] 図面...   (画層情報Excel出力)\n"
        "        laminor-batch script --base ベース.scr [オプション] 図面またはフォルダ... (script --help)\n"
        "\n"
        "画層名一発変換 (rename) または 画層状態一発変更 (state) を、画面なしで図面の一覧に実行します。\n"
        "規則はメイン画面の「規則を記述したCSVﾌｧｲﾙを開く」と同じ形式で読み込み、すべての行を使います。\n"
        "フォルダを指定すると、その中の図面 (.dwg / .dxf) を対象にします。\n"
        "\n"
        "オプション:\n"
        "  --rules FILE     規則のCSVファイル (必須)\n"
        "  -r, --recursive  フォルダのサブフォルダも対象にする\n"
        "  --in-process     drawhost を使わず、このプロセスで図面を直接処理する\n"
        "  -j N             N 個の図面を同時に処理する (--in-process のときのみ)\n"
        "  --dry-run        変更内容を表示するだけで、何も保存しない\n"
        "  -h, --help       このヘルプを表示する\n"
        "\n"
        "出力: 図面ごとに一行 (done / unchanged / failed と理由) を、その図面とそれより前の図面が\n"
        "終わりしだい標準出力に、メッセージボックスの内容を標準エラーに、最後に実行結果の報告を\n"
        "標準出力に書きます。AutoCAD (drawhost) で開いている図面の変更は保存されず、その行と報告で\n"
        "そう伝えます。\n"
        "終了コード: 0 失敗した図面なし、1 失敗した図面あり、2 使い方または入力の誤り。\n"
        "\n"
        "Usage: laminor-batch rename --rules RULES.csv [options] DRAWING-OR-FOLDER...\n"
        "       laminor-batch state  --rules RULES.csv [options] DRAWING-OR-FOLDER...\n"
        "       laminor-batch survey --out OUT.xlsx [--text] [--count] DRAWING...   (layer survey workbook)\n"
        "       laminor-batch script --base BASE.scr [options] DRAWING-OR-FOLDER... (script --help)\n"
        "\n"
        "Runs the layer rename (rename) or the layer state change (state) over drawings,\n"
        "without a window. Rules are read like the main window's rule CSV files; every\n"
        "rule row is used. A folder stands for the drawings (.dwg / .dxf) in it.\n"
        "\n"
        "Options:\n"
        "  --rules FILE     the rule CSV file (required)\n"
        "  -r, --recursive  take the drawings of subfolders too\n"
        "  --in-process     work on the files through the engine in this process, no drawhost\n"
        "  -j N             work on N drawings at once (with --in-process only)\n"
        "  --dry-run        show what would change; nothing is saved\n"
        "  -h, --help       show this help\n"
        "\n"
        "Output: one line per drawing on standard output (done / unchanged / failed and\n"
        "why), as soon as that drawing and every one before it are done; the texts of\n"
        "message boxes on standard error; and at the end the run's report on standard\n"
        "output. Changes to a drawing open in the host (drawhost) are left unsaved\n"
        "there, which its line and the report say.\n"
        "Exit status: 0 no drawing failed, 1 some drawing failed (or the run could not\n"
        "start), 2 a usage or input error.\n");
}

}  // namespace batch
