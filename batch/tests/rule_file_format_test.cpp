// Rule files on disk: what the writer leaves behind when it succeeds and when
// it fails, and the format's limits on a round trip through the reader.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "main/ListConversion.h"
#include "main/RuleCsv.h"

namespace mainwin {
namespace {

class RuleFileFormat : public testing::Test {
protected:
    QByteArray bytes(const QString& name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void put(const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static support::ListTable table(const QList<QStringList>& rows) {
        support::ListTable t(static_cast<int>(rows.size()), static_cast<int>(rows[0].size()));
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c) t.set(r, c, rows[r][c]);
        return t;
    }
    QTemporaryDir tmp;
    QDir dir{tmp.path()};
};

TEST_F(RuleFileFormat, SavingLeavesOnlyTheTargetAndSparesAFileNamedLikeTheOldTemporary) {
    // The user's own file of the name the save once used for its temporary.
    put("buff_rules.csv", "mine\r\n");
    put("rules.csv", "old\r\n");
    ASSERT_TRUE(fun_bWriteCSV(dir.path(), "rules.csv", table({{"No", "検索文字", "置換文字"}, {"1", "^A", "B"}})));
    EXPECT_EQ(bytes("buff_rules.csv"), "mine\r\n");
    EXPECT_EQ(bytes("rules.csv"), "\"No\",\"\x8c\x9f\x8d\xf5\x95\xb6\x8e\x9a\",\"\x92\x75\x8a\xb7\x95\xb6\x8e\x9a\"\r\n"
                                  "\"1\",\"^A\",\"B\"\r\n");
    EXPECT_EQ(dir.entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(RuleFileFormat, AFailedSaveKeepsTheOldRulesAndSaysWhy) {
    put("rules.csv", "\"1\",\"^A\",\"B\"\r\n");
    QString error;
    // A character the file's code page cannot hold fails the write.
    EXPECT_FALSE(fun_bWriteCSV(dir.path(), "rules.csv", table({{"1", "^A", "\U0001F600"}}), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(bytes("rules.csv"), "\"1\",\"^A\",\"B\"\r\n");
    EXPECT_EQ(dir.entryList(QDir::Files | QDir::Hidden), QStringList{"rules.csv"});
    // A folder that does not exist: nothing is created anywhere.
    EXPECT_FALSE(fun_bWriteCSV(dir.filePath("gone"), "rules.csv", table({{"1", "^A", "B"}}), &error));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("gone")));
}

TEST_F(RuleFileFormat, StateRulesComeBackAsSavedWithHalfWidthKatakanaAndLeadingZeros) {
    const QStringList headers = layerStateHeaders();
    const QStringList rule = {"1", "0[0-9]-.*", "(変更なし)", "する", "しない", "007", "DASHED", "0.25 mm", "ｽﾀｲﾙ1", "する"};
    ASSERT_TRUE(fun_bWriteCSV(dir.path(), "state.csv", table({headers, rule})));
    CsvData data;
    ASSERT_TRUE(fun_bReadCSV(dir.filePath("state.csv"), data, nullptr, false));
    QList<QStringList> rows;
    ASSERT_TRUE(ruleRecords(data, headers, rows));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0], rule);
    // The same file does not fit a rename list.
    EXPECT_FALSE(ruleRecords(data, layerNameHeaders(), rows));
}

TEST_F(RuleFileFormat, ALineBreakInsideAFieldSplitsTheRecordOnTheWayBack) {
    ASSERT_TRUE(fun_bWriteCSV(dir.path(), "r.csv", table({{"1", "a\r\nb", "c"}})));
    CsvData data;
    ASSERT_TRUE(fun_bReadCSV(dir.filePath("r.csv"), data, nullptr, false));
    // "1","a | b","c" : two records of two fields, which no longer fit a rename list.
    ASSERT_EQ(data.records.size(), 2);
    EXPECT_EQ(data.fields, 2);
    EXPECT_EQ(data.records[0], (QStringList{"1", ""}));
    EXPECT_EQ(data.records[1], (QStringList{"b\"", "c"}));
    QList<QStringList> rows;
    EXPECT_FALSE(ruleRecords(data, layerNameHeaders(), rows));
}

TEST_F(RuleFileFormat, HeaderRowsAreKnownByAnyOfTheirFieldsInAnyLetterCase) {
    CsvData data;
    data.fields = 3;
    data.records = {{"No", "x", "y"}, {"nO", "^A", "B"}, {"5", "^C", "置換文字"}, {"6", "^D", "E"}, {"7", "^E", ""}};
    QList<QStringList> rows;
    ASSERT_TRUE(ruleRecords(data, layerNameHeaders(), rows));
    EXPECT_EQ(rows, (QList<QStringList>{{"6", "^D", "E"}}));
}

}  // namespace
}  // namespace mainwin
