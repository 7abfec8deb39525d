// Section "MAIN": the keyword columns as stored, and what a window writes at
// close and finds again at the next start.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>

#include "WindowFixture.h"
#include "main/ListConversion.h"
#include "main/MainSettings.h"

namespace mainwin {
namespace {

using Rows = QList<QPair<QString, QString>>;

TEST(KeywordColumns, EmptyKeywordPartsAreSkippedWithTheirReplacements) {
    EXPECT_EQ(splitKeywordColumns("a||||b", "1||2||3"), (Rows{{"a", "1"}, {"b", "3"}}));
}

TEST(KeywordColumns, MissingReplacementPartsReadAsEmpty) {
    // An INI file edited by hand: the keyword stays, with an empty replacement.
    EXPECT_EQ(splitKeywordColumns("a||b||c", "1"), (Rows{{"a", "1"}, {"b", ""}, {"c", ""}}));
    EXPECT_EQ(splitKeywordColumns("", ""), Rows{});
}

TEST(KeywordColumns, EveryRowIsJoinedSoEmptyValuesKeepTheirPlace) {
    EXPECT_EQ(joinKeywordColumn({"", "x", ""}), "||x||");
    EXPECT_EQ(joinKeywordColumn({"", "y"}), "||y");
    EXPECT_EQ(joinKeywordColumn({}), "");
    EXPECT_EQ(splitKeywordColumns(joinKeywordColumn({"<A>", "<B>", "<C>"}), joinKeywordColumn({"", "y", ""})),
              (Rows{{"<A>", ""}, {"<B>", "y"}, {"<C>", ""}}));
}

using testing::WindowTest;

TEST_F(WindowTest, EmptyFirstReplacementSurvivesARestart) {
    frmMain& w = open();
    w.LstvKeyword->clear();
    appendRow(*w.LstvKeyword, {"<消す>", ""});
    appendRow(*w.LstvKeyword, {"<点>", "10,10"});
    closeWindow();
    EXPECT_EQ(readMain("LstvKeyword1"), "<消す>||<点>");
    EXPECT_EQ(readMain("LstvKeyword2"), "||10,10");

    frmMain& again = open();
    EXPECT_EQ(column(*again.LstvKeyword, 1), (QStringList{"<消す>", "<点>"}));
    EXPECT_EQ(column(*again.LstvKeyword, 2), (QStringList{"", "10,10"}));
    EXPECT_EQ(column(*again.LstvKeyword, 0), (QStringList{"1", "2"}));
}

TEST_F(WindowTest, AnEmptyKeywordListStaysEmptyAfterARestart) {
    frmMain& w = open();
    w.LstvKeyword->clear();
    closeWindow();
    frmMain& again = open();
    EXPECT_EQ(again.LstvKeyword->topLevelItemCount(), 0);
}

TEST_F(WindowTest, CloseWritesTheOptionsOfEveryMode) {
    frmMain& w = open();
    w.subSetMode(4);
    w.ChkNum->setChecked(true);
    w.CboFilterLayer->setEditText("^WALL");
    w.CboFilterLayerClass->setCurrentIndex(2);
    w.TxtBaseFile->setText("/tmp/base.scr");
    w.ChkDWGSave->setChecked(true);
    closeWindow();

    EXPECT_EQ(readMain("mode"), "4");
    EXPECT_EQ(readMain("ChkOutputTextToCSV"), "F");
    EXPECT_EQ(readMain("ChkNum"), "T");
    EXPECT_EQ(readMain("ChkDWGSave"), "T");
    EXPECT_EQ(readMain("CboFilterLayer"), "^WALL");
    EXPECT_EQ(readMain("CboFilterString"), "(全てを対象)");
    EXPECT_EQ(readMain("CboFilterLayerClass"), "に完全一致しない画層を処理");
    EXPECT_EQ(readMain("TxtBaseFile"), "/tmp/base.scr");
    EXPECT_EQ(readMain("left"), QString::number(w.x() * 15));
    EXPECT_EQ(readMain("LstvKeyword1"), "<点1>||<点2>");
    EXPECT_EQ(readMain("LstvKeyword2"), "0,0||100,100");
}

TEST_F(WindowTest, StoredOptionsComeBack) {
    setMain("mode", "2");
    setMain("ChkOutputTextToCSV", "T");
    setMain("ChkNum", "t");  // only "T" ticks a box
    setMain("CboFilterLayer", "^A[0-9]+");
    setMain("CboFilterString", "[0-9A-Za-z-/_]+");
    setMain("CboFilterStringClass", "を含む画層以外を処理");
    setMain("CboFilterLayerClass", "どれでもない");
    setMain("LstvKeyword1", "a||||b");
    setMain("LstvKeyword2", "1||2||3");
    frmMain& w = open();
    EXPECT_EQ(w.iMode, 2);
    EXPECT_TRUE(w.ChkOutputTextToCSV->isChecked());
    EXPECT_FALSE(w.ChkNum->isChecked());
    // A typed filter comes back as text with its class list shown.
    EXPECT_EQ(w.CboFilterLayer->currentText(), "^A[0-9]+");
    EXPECT_FALSE(w.CboFilterLayerClass->isHidden());
    // A stored text that is one of the entries selects that entry.
    EXPECT_EQ(w.CboFilterString->currentIndex(), 1);
    EXPECT_FALSE(w.CboFilterStringClass->isHidden());
    EXPECT_EQ(w.CboFilterStringClass->currentIndex(), 3);
    // A class text that is not one of the four leaves the first entry.
    EXPECT_EQ(w.CboFilterLayerClass->currentIndex(), 0);
    EXPECT_EQ(column(*w.LstvKeyword, 1), (QStringList{"a", "b"}));
    EXPECT_EQ(column(*w.LstvKeyword, 2), (QStringList{"1", "3"}));
    EXPECT_EQ(column(*w.LstvKeyword, 0), (QStringList{"1", "2"}));
}

}  // namespace
}  // namespace mainwin

namespace mainwin {
namespace {

using testing::WindowTest;

TEST_F(WindowTest, ValueTheIniCannotHoldIsSaidAtCloseAndTheRestIsSaved) {
    frmMain& w = open();
    w.TxtBaseFile->setText(QString::fromUcs4(U"/home/u/\U0001F600.scr"));
    w.ChkNum->setChecked(true);
    closeWindow();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith("設定の一部を保存できませんでした。"));
    EXPECT_TRUE(messages.last().text.contains("TxtBaseFile"));
    EXPECT_EQ(readMain("ChkNum"), "T");
    EXPECT_EQ(readMain("LstvKeyword1"), "<点1>||<点2>");
}

TEST_F(WindowTest, ReadOnlyIniRestoresButNeverWritesNorComplains) {
    setMain("mode", "2");
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QFile before(iniPath());
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray original = before.readAll();
    before.close();
    frmMain& w = open();
    EXPECT_EQ(w.iMode, 2);
    w.subSetMode(3);
    closeWindow();
    EXPECT_TRUE(messages.messages.empty());
    QFile after(iniPath());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), original);
}

TEST_F(WindowTest, AnIniFarLargerThanSettingsIsToldAndLeftAlone) {
    setMain("mode", "2");
    QFile ini(iniPath());
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write(QByteArray(2 * 1024 * 1024, '\n'));
    ini.close();
    const qint64 size = QFileInfo(iniPath()).size();
    frmMain& w = open();
    EXPECT_EQ(w.iMode, 1);  // not read
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.endsWith("設定は保存されません。")) << messages.last().text.toStdString();
    EXPECT_TRUE(messages.last().text.contains(QString::number(size)));
    closeWindow();
    EXPECT_EQ(QFileInfo(iniPath()).size(), size);
}

TEST_F(WindowTest, StoredPositionOutOfSightOpensAtTheTopLeft) {
    setMain("left", "150");
    setMain("top", "300");
    open();
    EXPECT_EQ(window->pos(), QPoint(10, 20));
    window.reset();
    setMain("left", "1500000");
    open();
    EXPECT_EQ(window->pos(), QPoint(0, 0));
}

}  // namespace
}  // namespace mainwin
