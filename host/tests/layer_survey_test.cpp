// The layer survey of drawings into a spreadsheet workbook, over the
// in-memory host and the test run's headless office.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <QTemporaryDir>

#include "calc/tests/OfficeFixture.h"
#include "host/HostConnection.h"
#include "host/LayerSurvey.h"
#include "host/client/RemoteProvider.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"

using calc::CellBlock;
using calctest::CalcTest;
using calctest::office;
using calctest::openpyxl;

namespace {

// A workbook laid out as a mode-3 run makes it.
struct SurveyBook {
    calc::Workbook wb = office()->addWorkbook();
    calc::Worksheet layer = wb.worksheet(1), rename = wb.worksheet(2), state = wb.worksheet(3);
    calc::Worksheet list = wb.addWorksheetAfter(state);
    calc::Worksheet text = wb.addWorksheetAfter(layer);
    SurveyBook() {
        layer.setName(QStringLiteral("画層情報"));
        rename.setName(QStringLiteral("画層名変更規則"));
        state.setName(QStringLiteral("画層状態変更規則"));
        list.setName("list_source");
        text.setName(QStringLiteral("文字出力"));
    }
    ~SurveyBook() { wb.close(); }
};

struct Filters {
    QString layer, text;
    bool layerInclude = true, layerWhole = false, textInclude = true, textWhole = false;
};

bool survey(const host::ApplicationPtr& app, SurveyBook& book, const QString& path, bool count, bool texts,
            Filters f = {}) {
    support::PlainStatusLabel label;
    label.setCaption("run");
    return host::fun_bOutputLayerInfo(app, QFileInfo(path).fileName(), path, office(), book.layer, book.rename,
                                      book.state, book.list, texts ? &book.text : nullptr, texts, label,
                                      f.layerInclude, f.textInclude, f.layerWhole, f.textWhole, f.layer, f.text, count);
}

int lastRow(const calc::Worksheet& ws) {
    const calc::Worksheet::Area a = ws.usedRange();
    return a.row + a.rows - 1;
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

}  // namespace

TEST_F(CalcTest, SurveyWritesHeadersOnceAndAppendsLaterDrawingsBelow) {
    auto state = twoDrawings();
    auto app = fakehost::makeApplication(state);
    state->findOpen("/d/b.dwg");
    SurveyBook book;
    ASSERT_TRUE(survey(app, book, "/d/a.dwg", true, true));
    // a.dwg has 0, Defpoints, A-WALL, 001: header + 4 rows.
    EXPECT_EQ(lastRow(book.layer), 5);
    EXPECT_EQ(lastRow(book.rename), 5);
    EXPECT_EQ(lastRow(book.state), 5);
    EXPECT_EQ(lastRow(book.text), 4);  // GL+500, =A1, note; no multi-line text
    ASSERT_TRUE(survey(app, book, "/d/b.dwg", true, true));
    EXPECT_EQ(lastRow(book.layer), 7);  // b.dwg: 0, Defpoints, no second header
    EXPECT_EQ(lastRow(book.text), 5);

    // The survey's drawing handling: the one it opened is closed, the open one stays.
    EXPECT_FALSE(state->findOpen("/d/a.dwg"));
    ASSERT_TRUE(state->findOpen("/d/b.dwg"));
    EXPECT_EQ(state->findOpen("/d/b.dwg")->regens, 1);
    EXPECT_TRUE(state->findOpen("/d/b.dwg")->selectionSets.empty());  // no SSetDummy left
    EXPECT_EQ(state->saves, 0);

    QTemporaryDir dir;
    const QString path = dir.filePath("survey.xlsx");
    book.wb.saveCopyAs(path);
    const QString layers = openpyxl(path, QStringLiteral("ws=wb['画層情報']\nfor r in ws.iter_rows(values_only=True): print(r)"));
    const QStringList rows = layers.split('\n');
    ASSERT_EQ(rows.size(), 7) << layers.toStdString();
    EXPECT_EQ(rows[0], QStringLiteral("('No', 'ファイル名', '画層名', '表示', 'ﾌﾘｰｽﾞ', 'ﾛｯｸ', '色', '線種', '線の太さ', "
                                      "'印刷ｽﾀｲﾙ', '印刷', 'オブジェクト総数', 'ブロック総数', 'ダイナミックテキスト総数')"));
    EXPECT_EQ(rows[3], QStringLiteral("(3, '/d/a.dwg', 'A-WALL', 'する', 'する', 'しない', 1, 'Continuous', '1.48 mm', "
                                      "'Normal', 'する', 6, 2, 2)"));
    EXPECT_EQ(rows[4], QStringLiteral("(4, '/d/a.dwg', '001', 'する', 'しない', 'しない', 7, 'Continuous', None, "
                                      "'Normal', 'する', 1, 0, 1)"));
    EXPECT_TRUE(rows[5].startsWith("(1, '/d/b.dwg', '0',")) << rows[5].toStdString();

    const QString rename = openpyxl(path, QStringLiteral("ws=wb['画層名変更規則']\nfor r in ws.iter_rows(values_only=True): print(r)"));
    EXPECT_TRUE(rename.startsWith(QStringLiteral("('No', '検索文字', '置換文字')\n(1, '0', '0')"))) << rename.toStdString();
    EXPECT_TRUE(rename.contains("(4, '001', '001')")) << rename.toStdString();
    const QString stateRows = openpyxl(path, QStringLiteral("ws=wb['画層状態変更規則']\nfor r in ws.iter_rows(values_only=True): print(r)"));
    EXPECT_TRUE(stateRows.startsWith(QStringLiteral("('No', '画層名規則', '表示', 'ﾌﾘｰｽﾞ', 'ﾛｯｸ', '色', '線種', '線の太さ', '印刷ｽﾀｲﾙ', '印刷')")));
    EXPECT_TRUE(stateRows.contains(QStringLiteral("(3, 'A-WALL', 'する', 'する', 'しない', 1, 'Continuous', '1.48 mm', 'Normal', 'する')")));

    const QString texts = openpyxl(path, QStringLiteral("ws=wb['文字出力']\nfor r in ws.iter_rows(values_only=True): print([(c, type(c).__name__) for c in r])"));
    EXPECT_TRUE(texts.contains(QStringLiteral("('=A1', 'str')"))) << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("('GL+500', 'str')"))) << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("[(3, 'int'), ('/d/a.dwg', 'str'), ('001', 'str'), ('note', 'str'), ('1E5', 'str')]")))
        << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("[(1, 'int'), ('/d/b.dwg', 'str'), ('0', 'str'), ('b text', 'str')")))
        << texts.toStdString();
    EXPECT_FALSE(texts.contains("multi"));

    // Validation is set up once, from the first drawing.
    const QString dv = openpyxl(path, QStringLiteral("print(len(wb['画層状態変更規則'].data_validations.dataValidation), wb['list_source']['B2'].value)"));
    EXPECT_TRUE(dv.endsWith(" Continuous")) << dv.toStdString();
    EXPECT_FALSE(dv.startsWith("0")) << dv.toStdString();
}

TEST_F(CalcTest, SurveyWithoutCountsHasElevenColumnsAndFiltersOnlyTheTexts) {
    auto state = twoDrawings();
    auto app = fakehost::makeApplication(state);
    SurveyBook book;
    Filters f;
    f.layer = "A.*";  // whole names that start with A
    f.layerWhole = true;
    f.text = "GL";
    f.textInclude = false;  // texts without "GL"
    ASSERT_TRUE(survey(app, book, "/d/a.dwg", false, true, f));
    EXPECT_EQ(book.layer.usedRange().columns, 11);
    EXPECT_EQ(lastRow(book.layer), 5);  // layer rows are not filtered
    const CellBlock t = book.text.values(1, 1, book.text.usedRange().rows, 5);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1][3], QVariant("=A1"));
    EXPECT_EQ(t[1][0].toDouble(), 1.0);

    // An invalid text pattern matches nothing: in exclude mode every text passes.
    SurveyBook second;
    f = {};
    f.text = "([";
    f.textInclude = false;
    ASSERT_TRUE(survey(app, second, "/d/a.dwg", false, true, f));
    EXPECT_EQ(lastRow(second.text), 4);
}

TEST_F(CalcTest, SurveyOfADrawingThatCannotBeOpenedWritesNothing) {
    support::RecordingMessageBox box;
    auto state = twoDrawings();
    auto app = fakehost::makeApplication(state);
    SurveyBook book;
    EXPECT_FALSE(survey(app, book, "/d/missing.dwg", true, true));
    ASSERT_EQ(box.count(), 1);
    EXPECT_EQ(box.last().text, QStringLiteral("AutoCADファイルを開くことが出来ませんでした。\r\n/d/missing.dwg"));
    EXPECT_EQ(box.last().style, support::vbExclamation);
    EXPECT_EQ(lastRow(book.layer), 1);
    EXPECT_TRUE(book.layer.values(1, 1, 1, 1)[0][0].toString().isEmpty());
}

// Mode 3 on a DWG through a real drawhost: the same rows as its DXF twin
// (the file name column aside).
TEST_F(CalcTest, SurveyOfADwgThroughDrawhostEqualsItsDxfTwin) {
    QTemporaryDir dir;
    const QString dwg = dir.filePath("図面.dwg"), dxf = dir.filePath("図面.dxf");
    ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_CORPUS_DIR "/libredwg_example_2018.dwg"), dwg));
    ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_CORPUS_DIR "/libredwg_example_2018.dxf"), dxf));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto provider = std::make_shared<host::RemoteHostProvider>(QStringLiteral(DRAWHOST_EXE), dir.filePath("run/drawhost.sock"));
    host::setHostProvider(provider);
    host::ApplicationPtr app;
    ASSERT_TRUE(host::fun_bGetHost(app));
    SurveyBook book;
    EXPECT_TRUE(survey(app, book, dwg, true, true));
    EXPECT_TRUE(survey(app, book, dxf, true, true));
    host::setHostProvider(nullptr);
    if (provider->lastStartedPid() > 0) ::kill(pid_t(provider->lastStartedPid()), SIGKILL);

    const QString path = dir.filePath("survey.xlsx");
    book.wb.saveCopyAs(path);
    for (const char* sheet : {"画層情報", "文字出力"}) {
        const QString out = openpyxl(path, QStringLiteral("ws=wb['%1']\n"
                                                          "rows=[r for r in ws.iter_rows(min_row=2, values_only=True)]\n"
                                                          "a=[r[2:] for r in rows if r[1].endswith('.dwg')]\n"
                                                          "b=[r[2:] for r in rows if r[1].endswith('.dxf')]\n"
                                                          "print(len(a), a == b)")
                                               .arg(QString::fromUtf8(sheet)));
        EXPECT_TRUE(out.endsWith(" True")) << sheet << ": " << out.toStdString();
        EXPECT_FALSE(out.startsWith("0 ")) << sheet;
    }
}
