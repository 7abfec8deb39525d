// The layer survey of drawings into a workbook, over the in-memory host and
// an in-memory workbook: what it builds, row by row.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>

#include "host/HostConnection.h"
#include "host/LayerSurvey.h"
#include "host/RuleValidation.h"
#include "host/client/RemoteProvider.h"
#include "host/tests/FakeDrawingHost.h"
#include "host/tests/MemorySurveySink.h"
#include "support/RecordingMessageBox.h"

using hosttest::MemorySurveySink;

namespace {

struct Filters {
    QString layer, text;
    bool layerInclude = true, layerWhole = false, textInclude = true, textWhole = false;
};

bool survey(const host::ApplicationPtr& app, MemorySurveySink& book, const QString& path, bool count, bool texts,
            Filters f = {}) {
    support::PlainStatusLabel label;
    label.setCaption("run");
    return host::fun_bOutputLayerInfo(app, QFileInfo(path).fileName(), path, book, texts, label, f.layerInclude,
                                      f.textInclude, f.layerWhole, f.textWhole, f.layer, f.text, count);
}

// Two drawings: /d/a.dwg (on disk only) and /d/b.dwg (open in the host).
std::shared_ptr<fakehost::HostState> twoDrawings() {
    auto state = std::make_shared<fakehost::HostState>();
    fakehost::DrawingData& a = state->file("/d/a.dwg");
    fakehost::LayerData& wall = a.layer("A-WALL");
    wall.color = 1;
    wall.lineweight = 158;  // "1.48 mm"
    wall.frozen = true;
    a.layer("001").lineweight = 33;  // not in the lineweight table
    a.addEntity("A-WALL");
    a.addEntity("A-WALL", "AcDbText")->text = "GL+500";
    a.addEntity("A-WALL", "AcDbText")->text = "=A1";
    a.addEntity("A-WALL", "AcDbMText")->text = "multi";
    a.addBlockReference("DOOR", "A-WALL");
    a.addBlockReference("DOOR", "A-WALL");
    auto t = a.addEntity("001", "AcDbText");
    t->text = "note";
    t->handle = "1E5";
    fakehost::DrawingData& b = state->file("/d/b.dwg");
    b.addEntity("0", "AcDbText")->text = "b text";
    state->openByUser("/d/b.dwg");
    return state;
}

host::DocumentPtr drawingWithPlotStyles(const QStringList& styles) {
    auto state = std::make_shared<fakehost::HostState>();
    fakehost::DrawingData& d = state->file("/tmp/p.dwg");
    d.linetypes = QStringList{"ByBlock", "BYLAYER", "Continuous", "HIDDEN"};
    for (int i = 0; i < styles.size(); ++i) {
        d.plotStyles << styles[i];
        d.layer(QStringLiteral("L%1").arg(i)).plotStyle = styles[i];
    }
    state->openByUser("/tmp/p.dwg");
    static std::vector<std::shared_ptr<host::Application>> keep;
    keep.push_back(fakehost::makeApplication(state));
    return keep.back()->activeDocument();
}

}  // namespace

TEST(LayerSurvey, WritesHeadersOnceAndAppendsLaterDrawingsBelow) {
    auto state = twoDrawings();
    auto app = fakehost::makeApplication(state);
    state->findOpen("/d/b.dwg");
    MemorySurveySink book;
    ASSERT_TRUE(survey(app, book, "/d/a.dwg", true, true));
    // a.dwg has 0, Defpoints, A-WALL, 001: header + 4 rows.
    EXPECT_EQ(book.layer.lastUsedRow(), 5);
    EXPECT_EQ(book.rename.lastUsedRow(), 5);
    EXPECT_EQ(book.state.lastUsedRow(), 5);
    EXPECT_EQ(book.text->lastUsedRow(), 4);  // GL+500, =A1, note; no multi-line text
    ASSERT_TRUE(survey(app, book, "/d/b.dwg", true, true));
    EXPECT_EQ(book.layer.lastUsedRow(), 7);  // b.dwg: 0, Defpoints, no second header
    EXPECT_EQ(book.text->lastUsedRow(), 5);
    EXPECT_TRUE(book.screenUpdating);  // switched back on after each drawing

    // The survey's drawing handling: the one it opened is closed, the open one stays.
    EXPECT_FALSE(state->findOpen("/d/a.dwg"));
    ASSERT_TRUE(state->findOpen("/d/b.dwg"));
    EXPECT_EQ(state->findOpen("/d/b.dwg")->regens, 1);
    EXPECT_TRUE(state->findOpen("/d/b.dwg")->selectionSets.empty());  // no SSetDummy left
    EXPECT_EQ(state->saves, 0);

    const QStringList rows = book.layer.text().split('\n');
    ASSERT_EQ(rows.size(), 7);
    EXPECT_EQ(rows[0], QStringLiteral("('No', 'ファイル名', '画層名', '表示', 'ﾌﾘｰｽﾞ', 'ﾛｯｸ', '色', '線種', '線の太さ', "
                                      "'印刷ｽﾀｲﾙ', '印刷', 'オブジェクト総数', 'ブロック総数', 'ダイナミックテキスト総数')"));
    EXPECT_EQ(rows[3], QStringLiteral("(3, '/d/a.dwg', 'A-WALL', 'する', 'する', 'しない', 1, 'Continuous', '1.48 mm', "
                                      "'Normal', 'する', 6, 2, 2)"));
    EXPECT_EQ(rows[4], QStringLiteral("(4, '/d/a.dwg', '001', 'する', 'しない', 'しない', 7, 'Continuous', None, "
                                      "'Normal', 'する', 1, 0, 1)"));
    EXPECT_TRUE(rows[5].startsWith("(1, '/d/b.dwg', '0',")) << rows[5].toStdString();

    const QString rename = book.rename.text();
    EXPECT_TRUE(rename.startsWith(QStringLiteral("('No', '検索文字', '置換文字')\n(1, '0', '0')"))) << rename.toStdString();
    EXPECT_TRUE(rename.contains("(4, '001', '001')")) << rename.toStdString();
    const QString stateRows = book.state.text();
    EXPECT_TRUE(stateRows.startsWith(QStringLiteral("('No', '画層名規則', '表示', 'ﾌﾘｰｽﾞ', 'ﾛｯｸ', '色', '線種', '線の太さ', '印刷ｽﾀｲﾙ', '印刷')")));
    EXPECT_TRUE(stateRows.contains(QStringLiteral("(3, 'A-WALL', 'する', 'する', 'しない', 1, 'Continuous', '1.48 mm', 'Normal', 'する')")));

    const QString texts = book.text->text(true);
    EXPECT_TRUE(texts.contains(QStringLiteral("('=A1', 'str')"))) << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("('GL+500', 'str')"))) << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("[(3, 'int'), ('/d/a.dwg', 'str'), ('001', 'str'), ('note', 'str'), ('1E5', 'str')]")))
        << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("[(1, 'int'), ('/d/b.dwg', 'str'), ('0', 'str'), ('b text', 'str')")))
        << texts.toStdString();
    EXPECT_FALSE(texts.contains("multi"));

    // Validation is set up once, from the first drawing.
    EXPECT_EQ(book.state.validations.size(), 8u);
    EXPECT_EQ(book.list.cell(2, 2), QVariant("Continuous"));
}

TEST(LayerSurvey, WithoutCountsHasElevenColumnsAndFiltersOnlyTheTexts) {
    auto state = twoDrawings();
    auto app = fakehost::makeApplication(state);
    MemorySurveySink book;
    Filters f;
    f.layer = "A.*";  // whole names that start with A
    f.layerWhole = true;
    f.text = "GL";
    f.textInclude = false;  // texts without "GL"
    ASSERT_TRUE(survey(app, book, "/d/a.dwg", false, true, f));
    EXPECT_EQ(book.layer.usedColumns(), 11);
    EXPECT_EQ(book.layer.lastUsedRow(), 5);  // layer rows are not filtered
    ASSERT_EQ(book.text->lastUsedRow(), 2);
    EXPECT_EQ(book.text->cell(2, 4), QVariant("=A1"));
    EXPECT_EQ(book.text->cell(2, 1).toDouble(), 1.0);

    // An invalid text pattern matches nothing: in exclude mode every text passes.
    MemorySurveySink second;
    f = {};
    f.text = "([";
    f.textInclude = false;
    ASSERT_TRUE(survey(app, second, "/d/a.dwg", false, true, f));
    EXPECT_EQ(second.text->lastUsedRow(), 4);
}

TEST(LayerSurvey, ADrawingThatCannotBeOpenedWritesNothing) {
    support::RecordingMessageBox box;
    auto state = twoDrawings();
    auto app = fakehost::makeApplication(state);
    MemorySurveySink book;
    EXPECT_FALSE(survey(app, book, "/d/missing.dwg", true, true));
    ASSERT_EQ(box.count(), 1);
    EXPECT_EQ(box.last().text, QStringLiteral("AutoCADファイルを開くことが出来ませんでした。\r\n/d/missing.dwg"));
    EXPECT_EQ(box.last().style, support::vbExclamation);
    EXPECT_EQ(book.layer.lastUsedRow(), 1);
    EXPECT_FALSE(book.layer.cell(1, 1).isValid());
}

TEST(RuleValidation, FillsTheChoiceListsAndValidatesColumnsCToJ) {
    MemorySurveySink book(false);
    book.state.setListValidation(2, "stale");  // column B keeps what it had
    host::subSetRuleValidation(book.state, book.list, drawingWithPlotStyles({"Style 10", "Style 1"}));
    EXPECT_EQ(book.list.cell(1, 1), QVariant(QStringLiteral("(変更なし)")));
    EXPECT_EQ(book.list.cell(256, 1), QVariant(255));
    EXPECT_EQ(book.list.cell(2, 2), QVariant("Continuous"));  // ByBlock and ByLayer left out, any case
    EXPECT_EQ(book.list.cell(3, 2), QVariant("HIDDEN"));
    EXPECT_EQ(book.list.cell(2, 3), QVariant("Default"));
    EXPECT_EQ(book.list.cell(26, 3), QVariant("2.11 mm"));
    EXPECT_EQ(book.names, (std::map<QString, QString>{{"ColorList", "list_source!C1 R1:R256"},
                                                      {"LinetypeList", "list_source!C2 R1:R3"},
                                                      {"LineweightList", "list_source!C3 R1:R26"}}));
    const QString yesNo = QStringLiteral("(変更なし),する,しない");
    EXPECT_EQ(book.state.validations,
              (std::map<int, QString>{{2, "stale"}, {3, yesNo}, {4, yesNo}, {5, yesNo}, {6, "=ColorList"},
                                      {7, "=LinetypeList"}, {8, "=LineweightList"},
                                      {9, QStringLiteral("(変更なし),Normal,Style 10,Style 1")}, {10, yesNo}}));
}

TEST(PlotStyleList, WholeNamesAreComparedSoAShorterNameIsStillOffered) {
    QString list;
    host::subMakePlotStyleList(list, drawingWithPlotStyles({"Style 10", "Style 1", "Style 10", "Normal"}));
    // Part of a name listed before is still a name of its own.
    EXPECT_EQ(list, QStringLiteral("(変更なし),Normal,Style 10,Style 1"));  // layers 0 and Defpoints come first
    host::subMakePlotStyleList(list, nullptr);
    EXPECT_EQ(list, QStringLiteral("(変更なし)"));
}

// Mode 3 on a DWG through a real drawhost: the same rows as its DXF twin
// (the file name column aside).
TEST(LayerSurvey, OfADwgThroughDrawhostEqualsItsDxfTwin) {
    QTemporaryDir dir;
    const QString dwg = dir.filePath("図面.dwg"), dxf = dir.filePath("図面.dxf");
    ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_CORPUS_DIR "/libredwg_example_2018.dwg"), dwg));
    ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_CORPUS_DIR "/libredwg_example_2018.dxf"), dxf));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto provider = std::make_shared<host::RemoteHostProvider>(QStringLiteral(DRAWHOST_EXE), dir.filePath("run/drawhost.sock"));
    host::setHostProvider(provider);
    host::ApplicationPtr app;
    ASSERT_TRUE(host::fun_bGetHost(app));
    MemorySurveySink book;
    EXPECT_TRUE(survey(app, book, dwg, true, true));
    EXPECT_TRUE(survey(app, book, dxf, true, true));
    host::setHostProvider(nullptr);
    if (provider->lastStartedPid() > 0) ::kill(pid_t(provider->lastStartedPid()), SIGKILL);

    for (hosttest::MemorySheet* sheet : {&book.layer, book.text.get()}) {
        QStringList fromDwg, fromDxf;
        for (long r = 2; r <= sheet->lastUsedRow(); ++r) {
            QStringList rest;  // the row from its layer name on
            for (int c = 3; c <= sheet->usedColumns(); ++c) rest << sheet->cell(r, c).toString();
            (sheet->cell(r, 2).toString().endsWith(".dwg") ? fromDwg : fromDxf) << rest.join(u'|');
        }
        EXPECT_FALSE(fromDwg.isEmpty()) << sheet->name().toStdString();
        EXPECT_EQ(fromDwg, fromDxf) << sheet->name().toStdString();
    }
}
