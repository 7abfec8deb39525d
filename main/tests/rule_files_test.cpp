// Rule files: splitting lines by the quoting rules, reading records, and the
// toolbar's save and load of the active rule list through the window.
#include <QFile>

#include "WindowFixture.h"
#include "main/ListConversion.h"
#include "main/RuleCsv.h"
#include "support/TextFile.h"

namespace mainwin {
namespace {

using testing::WindowTest;

TEST(CsvLine, QuotingRules) {
    struct Case {
        QString line;
        QStringList fields;
        int commas;
    };
    const Case cases[] = {
        {"\"1\",\"A-\",\"B-\"", {"1", "A-", "B-"}, 2},
        {"1,a,b", {"1", "a", "b"}, 2},
        {"\"a,b\",c", {"a,b", "c"}, 1},           // commas inside quotes stay
        {"\"a\"\"b\",\"c\"", {"a\"\"b", "c"}, 1},  // doubled quotes are not collapsed
        {"\"a\"b\",c", {"a\"b", "c"}, 1},          // a quote not followed by a comma is text
        {"a,", {"a", ""}, 1},
        {"\"abc", {"ab"}, 0},  // a quoted last field loses its final character
        {"", {""}, 0},
    };
    for (const Case& c : cases) {
        int commas = -1;
        EXPECT_EQ(splitCsvLine(c.line, &commas), c.fields) << c.line.toStdString();
        EXPECT_EQ(commas, c.commas) << c.line.toStdString();
    }
}

class CsvFileTest : public WindowTest {
protected:
    QString write(const QString& name, const QString& text) {
        const QString path = folder.filePath(name);
        QString error;
        EXPECT_TRUE(support::writeTextFile(path, text, &error)) << error.toStdString();
        return path;
    }
};

TEST_F(CsvFileTest, RecordsEndAtCrLfOrLoneCrAndArePaddedToTheWidestLine) {
    const QString path = write("r.csv", "a,b,c\r\nd\re,\"f\nf\"\r\n");
    CsvData data;
    ASSERT_TRUE(fun_bReadCSV(path, data));
    EXPECT_EQ(data.fields, 3);
    ASSERT_EQ(data.records.size(), 3);
    EXPECT_EQ(data.records[1], (QStringList{"d", "", ""}));
    EXPECT_EQ(data.records[2], (QStringList{"e", "f\nf", ""}));
    CsvData missing;
    EXPECT_FALSE(fun_bReadCSV(folder.filePath("none.csv"), missing));
}

TEST_F(CsvFileTest, LeadingZeroNumbersAreMarkedOnlyWhenAsked) {
    const QString path = write("z.csv", "007,0,01-,10\r\n");
    CsvData marked, plain;
    ASSERT_TRUE(fun_bReadCSV(path, marked));
    EXPECT_EQ(marked.records[0], (QStringList{"'007", "'0", "01-", "10"}));
    ASSERT_TRUE(fun_bReadCSV(path, plain, nullptr, false));
    EXPECT_EQ(plain.records[0], (QStringList{"007", "0", "01-", "10"}));
}

class RuleFileWindowTest : public CsvFileTest {
protected:
    frmMain& openWithFiles() {
        MainWindowServices s;
        s.chooseRuleFileToOpen = [this] { return openPath; };
        s.chooseRuleFileToSave = [this] { return savePath; };
        return open(s);
    }
    QString openPath, savePath;
};

TEST_F(RuleFileWindowTest, SaveThenLoadRestoresTheRulesAllSelected) {
    frmMain& w = openWithFiles();
    appendRow(*w.LstvLayerName, {"01", "壱"});
    appendRow(*w.LstvLayerName, {"a,b", "c"});
    savePath = openPath = folder.filePath("rules.csv");
    w.toolbarButtons[4]->trigger();
    QByteArray expected;
    ASSERT_TRUE(support::encodeCp932(
        "\"No\",\"検索文字\",\"置換文字\"\r\n\"1\",\"01\",\"壱\"\r\n\"2\",\"a,b\",\"c\"\r\n", &expected, nullptr));
    QFile saved(savePath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), expected);

    w.LstvLayerName->clear();
    appendRow(*w.LstvLayerName, {"old", "old"});
    w.toolbarButtons[1]->trigger();
    EXPECT_EQ(column(*w.LstvLayerName, 0), (QStringList{"1", "2"}));
    EXPECT_EQ(column(*w.LstvLayerName, 1), (QStringList{"01", "a,b"}));
    EXPECT_EQ(column(*w.LstvLayerName, 2), (QStringList{"壱", "c"}));
    EXPECT_EQ(w.Label1->text(), "画層名の変更規則 - 2/2 件を実行");
    EXPECT_EQ(w.windowTitle(), "画層名一発変換 - rules.csv");
    EXPECT_TRUE(messages.messages.empty());

    // A run (here one stopped by its input check) leaves the caption as it is.
    w.CmdExecute->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "処理するDWGファイルが見つかりません。");
    EXPECT_EQ(w.windowTitle(), "画層名一発変換 - rules.csv");
}

TEST_F(RuleFileWindowTest, LoadSkipsHeadersAndIncompleteRowsAndKeepsNumbersAsRead) {
    openPath = write("plain.csv", "7,^A,B\r\nNO,^C,D\r\n8,,E\r\n9,検索文字,x\r\n3,^F,G\r\n");
    frmMain& w = openWithFiles();
    w.toolbarButtons[1]->trigger();
    EXPECT_EQ(column(*w.LstvLayerName, 0), (QStringList{"7", "3"}));
    EXPECT_EQ(column(*w.LstvLayerName, 1), (QStringList{"^A", "^F"}));
}

TEST_F(RuleFileWindowTest, AFileOfTheOtherModeChangesNothingButTheTitle) {
    openPath = write("rename.csv", "\"No\",\"検索文字\",\"置換文字\"\r\n\"1\",\"a\",\"b\"\r\n");
    frmMain& w = openWithFiles();
    w.subSetMode(2);
    appendRow(*w.LstvLayerState, {"^X", "する", "する", "する", "1", "C", "0.25 mm", "S", "する"});
    w.toolbarButtons[1]->trigger();
    EXPECT_EQ(w.LstvLayerState->topLevelItemCount(), 1);
    EXPECT_EQ(w.windowTitle(), "画層状態一発変更 - rename.csv");
    // Cancel: nothing at all.
    openPath.clear();
    w.LstvLayerState->clearSelection();
    w.toolbarButtons[1]->trigger();
    EXPECT_EQ(w.windowTitle(), "画層状態一発変更 - rename.csv");
    EXPECT_EQ(selectedCount(*w.LstvLayerState), 0);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(RuleFileWindowTest, AFileThatCannotBeReadIsToldAndChangesNothing) {
    frmMain& w = openWithFiles();
    appendRow(*w.LstvLayerName, {"^OLD", "KEEP"});
    w.LstvLayerName->clearSelection();
    const QString title = w.windowTitle();
    // UTF-8 from a Linux editor, which is not CP932; and a typed name that does not exist.
    const QString utf8 = folder.filePath("utf8.csv");
    QFile f(utf8);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("\"No\",\"検索文字\",\"置換文字\"\r\n\"1\",\"^旧\",\"新\"\r\n").toUtf8());
    f.close();
    for (const QString& path : {utf8, folder.filePath("typed.csv")}) {
        openPath = path;
        messages.messages.clear();
        w.toolbarButtons[1]->trigger();
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.last().text.startsWith("規則ファイルを読み込めませんでした。\r\n")) << messages.last().text.toStdString();
        EXPECT_EQ(column(*w.LstvLayerName, 1), QStringList{"^OLD"});
        EXPECT_EQ(selectedCount(*w.LstvLayerName), 0);
        EXPECT_EQ(w.windowTitle(), title);
        if (path == utf8) EXPECT_TRUE(messages.last().text.contains("CP932")) << messages.last().text.toStdString();
    }
}

TEST_F(RuleFileWindowTest, SavingAnEmptyListWarnsWithoutAskingForAFile) {
    frmMain& w = openWithFiles();
    int asked = 0;
    w.services().chooseRuleFileToSave = [&] {
        ++asked;
        return QString();
    };
    w.toolbarButtons[4]->trigger();
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "保存するデータがありません。");
    EXPECT_EQ(messages.last().style, support::vbExclamation);
}

TEST_F(RuleFileWindowTest, FailedSaveKeepsTheOldFileAndSaysSo) {
    savePath = write("keep.csv", "\"No\",\"検索文字\",\"置換文字\"\r\n\"1\",\"x\",\"y\"\r\n");
    QFile before(savePath);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray original = before.readAll();
    before.close();
    frmMain& w = openWithFiles();
    appendRow(*w.LstvLayerName, {QString::fromUcs4(U"\U0001F600"), "y"});  // no CP932 form
    w.toolbarButtons[4]->trigger();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().style, support::vbCritical);
    QFile after(savePath);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), original);
}

}  // namespace
}  // namespace mainwin

namespace mainwin {
namespace {

using testing::WindowTest;

TEST_F(WindowTest, SpreadsheetRowsReplaceTheRulesAllSelected) {
    MainWindowServices s;
    s.readRulesFromSpreadsheet = [](int mode) -> std::optional<QList<QStringList>> {
        EXPECT_EQ(mode, 2);
        return QList<QStringList>{
            {"No", "画層名規則", "表示", "ﾌﾘｰｽﾞ", "ﾛｯｸ", "色", "線種", "線の太さ", "印刷ｽﾀｲﾙ", "印刷"},
            {"1", "^A", "する", "しない", "(変更なし)", "3", "DASHED", "0.25 mm", "(変更なし)", "する"},
            {"2", "^B", "", "しない", "(変更なし)", "3", "DASHED", "0.25 mm", "(変更なし)", "する"},
            {"5", "^C", "しない", "しない", "しない", "4", "(変更なし)", "(変更なし)", "(変更なし)", "しない"}};
    };
    frmMain& w = open(s);
    w.subSetMode(2);
    appendRow(*w.LstvLayerState, {"old", "", "", "", "", "", "", "", ""});
    w.toolbarButtons[2]->trigger();
    EXPECT_EQ(column(*w.LstvLayerState, 0), (QStringList{"1", "5"}));
    EXPECT_EQ(column(*w.LstvLayerState, 1), (QStringList{"^A", "^C"}));
    EXPECT_EQ(w.Label4->text(), "画層状態の変更規則 - 2/2 件を実行");
    EXPECT_EQ(w.windowTitle(), "Stratakit");
}

TEST_F(WindowTest, NothingToImportLeavesTheListAndExportNeedsRows) {
    MainWindowServices s;
    s.readRulesFromSpreadsheet = [](int) -> std::optional<QList<QStringList>> { return std::nullopt; };
    std::vector<support::ListTable> written;
    s.writeRulesToSpreadsheet = [&](int mode, const support::ListTable& t) {
        EXPECT_EQ(mode, 1);
        written.push_back(t);
    };
    frmMain& w = open(s);
    w.toolbarButtons[5]->trigger();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "出力するデータがありません。");
    EXPECT_TRUE(written.empty());
    appendRow(*w.LstvLayerName, {"^A", "B"});
    w.toolbarButtons[2]->trigger();
    EXPECT_EQ(w.LstvLayerName->topLevelItemCount(), 1);
    EXPECT_EQ(w.windowTitle(), "画層名一発変換");
    w.toolbarButtons[5]->trigger();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].rows(), 2);
    EXPECT_EQ(written[0].at(0, 1), "検索文字");
    EXPECT_EQ(written[0].at(1, 1), "^A");
}

}  // namespace
}  // namespace mainwin
