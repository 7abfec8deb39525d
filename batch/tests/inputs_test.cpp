// The runner's command line, the drawings taken from files and folders, and
// the rule table read from a rule file.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "batch/CommandLine.h"
#include "batch/Inputs.h"
#include "support/TextFile.h"

namespace batch {
namespace {

TEST(CommandLine, AcceptsBothModesAndTheirSwitches) {
    BatchOptions o;
    QString error;
    ASSERT_TRUE(parseCommandLine({"rename", "--rules", "r.csv", "a.dxf", "dir"}, o, error)) << error.toStdString();
    EXPECT_EQ(o.mode, 1);
    EXPECT_EQ(o.rulesFile, "r.csv");
    EXPECT_EQ(o.drawings, (QStringList{"a.dxf", "dir"}));
    EXPECT_EQ(o.jobs, 1);

    ASSERT_TRUE(parseCommandLine({"state", "--rules=s.csv", "--in-process", "-j", "2", "-r", "--dry-run", "x"}, o, error));
    EXPECT_EQ(o.mode, 2);
    EXPECT_EQ(o.rulesFile, "s.csv");
    EXPECT_TRUE(o.inProcess && o.recursive && o.dryRun);
    EXPECT_EQ(o.jobs, 2);

    ASSERT_TRUE(parseCommandLine({"rename", "--in-process", "-j3", "--rules", "r", "--", "-odd.dxf"}, o, error));
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.drawings, QStringList{"-odd.dxf"});

    ASSERT_TRUE(parseCommandLine({"--help"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(CommandLine, RefusesWhatMakesNoRun) {
    const QList<QStringList> bad = {
        {},                                               // no mode
        {"layers", "--rules", "r.csv", "a.dxf"},          // unknown mode
        {"rename", "a.dxf"},                              // no rule file
        {"rename", "--rules"},                            // option without its value
        {"rename", "--rules", "r.csv", "--fast", "a.dxf"},  // unknown option
        {"rename", "--rules", "r.csv", "-j", "2", "a.dxf"},  // several at once needs the engine here
        {"rename", "--rules", "r.csv", "--in-process", "-j", "0", "a.dxf"},
        {"rename", "--rules", "r.csv", "--in-process", "-jx", "a.dxf"},
    };
    for (const QStringList& args : bad) {
        BatchOptions o;
        QString error;
        EXPECT_FALSE(parseCommandLine(args, o, error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(CommandLine, HelpSpeaksJapaneseAndEnglish) {
    const QString help = helpText();
    EXPECT_TRUE(help.contains("使い方")) ;
    EXPECT_TRUE(help.contains("Usage:"));
    EXPECT_TRUE(help.contains("--dry-run"));
}

class InputFiles : public testing::Test {
protected:
    QString touch(const QString& relative, const QByteArray& content = "x") {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    QString writeCsv(const QString& name, const QString& text) {
        const QString path = dir.filePath(name);
        QString error;
        EXPECT_TRUE(support::writeTextFile(path, text, &error)) << error.toStdString();
        return path;
    }
    QTemporaryDir tmp;
    QDir dir{tmp.path()};
};

TEST_F(InputFiles, FoldersGiveTheirDrawingsSortedAndFilesPassTheListsCheck) {
    touch("set/b.dxf");
    touch("set/a.DWG");
    touch("set/notes.txt");
    touch("set/sub/c.dxf");
    const QString single = touch("one.dxf");
    touch("two.dxf.bak");

    QStringList skipped;
    const QStringList flat = collectDrawings(
        {dir.filePath("set"), single, dir.filePath("two.dxf.bak"), dir.filePath("gone.dxf")}, false, &skipped);
    EXPECT_EQ(flat, (QStringList{dir.filePath("set/a.DWG"), dir.filePath("set/b.dxf"), single}));
    EXPECT_EQ(skipped, (QStringList{dir.filePath("two.dxf.bak"), dir.filePath("gone.dxf")}));

    const QStringList deep = collectDrawings({dir.filePath("set")}, true);
    EXPECT_EQ(deep.size(), 3);
    EXPECT_EQ(deep.last(), dir.filePath("set/sub/c.dxf"));

    // Relative arguments come back absolute, for a host in another process.
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    EXPECT_EQ(collectDrawings({"one.dxf"}, false), QStringList{single});
    QDir::setCurrent(before);

    const support::ListTable table = drawingTable(flat);
    EXPECT_EQ(table.at(0, 2), "one.dxf");
    EXPECT_EQ(table.at(1, 2), single);
}

TEST_F(InputFiles, RuleFilesLoadAsTheWindowLoadsThemWithEveryRowTaken) {
    const QString path = writeCsv("r.csv",
                                  "\"No\",\"検索文字\",\"置換文字\"\r\n\"1\",\"01\",\"壱\"\r\n"
                                  "\"2\",\"a,b\",\"c\"\r\n\"3\",\"\",\"x\"\r\nno,^X,Y\r\n\"9\",\"^T\",\"U\"\r\n");
    support::ListTable table;
    QString error;
    ASSERT_TRUE(loadRuleTable(path, 1, table, error)) << error.toStdString();
    ASSERT_EQ(table.rows(), 3);
    ASSERT_EQ(table.columns(), 3);
    // No apostrophe before "01": the rule stays the pattern that was saved.
    EXPECT_EQ(table.at(0, 1), "01");
    EXPECT_EQ(table.at(1, 1), "a,b");
    EXPECT_EQ(table.at(2, 0), "9");  // "No" as read
}

TEST_F(InputFiles, RuleFilesThatDoNotFitTheModeOrHoldNoRuleAreRefused) {
    support::ListTable table;
    QString error;
    EXPECT_FALSE(loadRuleTable(dir.filePath("none.csv"), 1, table, error));
    EXPECT_TRUE(error.contains("none.csv"));

    const QString rename = writeCsv("rename.csv", "1,^A,B\r\n");
    EXPECT_FALSE(loadRuleTable(rename, 2, table, error));
    EXPECT_TRUE(error.contains("10")) << error.toStdString();

    const QString headerOnly = writeCsv("header.csv", "\"No\",\"検索文字\",\"置換文字\"\r\n");
    EXPECT_FALSE(loadRuleTable(headerOnly, 1, table, error));
    EXPECT_TRUE(error.contains("画層名変更規則が定義されていません。"));

    const QString empty = writeCsv("empty.csv", "");
    EXPECT_FALSE(loadRuleTable(empty, 1, table, error));
}

}  // namespace
}  // namespace batch
