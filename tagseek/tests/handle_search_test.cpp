// Looking handles up in the active drawing: the dropped text cut into
// handles, the descriptions, the zoom onto the object, and no host.
#include <cmath>

#include "tagseek/HandleSearch.h"
#include "tagseek/tests/InProcessHostFixture.h"

namespace tagseek::testing {
namespace {

TEST(DroppedTextTest, CutsAtCrLfAndAtALoneLfAndCountsTheSeparators) {
    struct Case {
        QString text;
        QStringList pieces;
        int n;
    };
    const std::vector<Case> cases = {
        {"23A\r\n23C\r\n", {"23A", "23C", ""}, 2},         // each handle followed by CR LF
        {"23A\r\n23C\r\n240", {"23A", "23C", "240"}, 2},   // no final line break: the last counts 3/2
        {"23A\n23C\n", {"23A", "23C", ""}, 2},             // a Linux editor's lines
        {"23A\r\n23C\n240", {"23A", "23C", "240"}, 2},     // both kinds in one text
        {"23A\r\n\r\n\n23C", {"23A", "", "", "23C"}, 3},   // empty lines are counted
        {"23A", {"23A"}, 0},
    };
    for (const Case& c : cases) {
        const DroppedHandles d = splitDroppedText(c.text);
        EXPECT_EQ(d.pieces, c.pieces) << c.text.toStdString();
        EXPECT_EQ(d.n, c.n) << c.text.toStdString();
    }
}

TEST(ResultMessageTest, FoundAndNotFoundReadAsTheToolAlwaysSaidThem) {
    EXPECT_EQ(resultMessage(true, "【ハンドル値】23C\r\n【ｵﾌﾞｼﾞｪｸﾄ名】AcDbLine", 1, 2),
              "【ハンドル値】23C\r\n【ｵﾌﾞｼﾞｪｸﾄ名】AcDbLine\r\n\r\n が見つかりました。\r\n処理を続けますか？\r\n( 1/2 )");
    EXPECT_EQ(resultMessage(false, "ZZ", 3, 2), "ZZ\r\n\r\n が見つかりませんでした。\r\n処理を続けますか？\r\n( 3/2 )");
}

TEST_F(InProcessTagseekTest, AFoundObjectIsDescribedAndTheViewZoomsOutToTwiceItsExtents) {
    host::ApplicationPtr app;
    QString text = "23A";
    ASSERT_TRUE(fun_bSearchHandle(app, text));  // connects by itself when it holds no host
    EXPECT_EQ(text, "【ハンドル値】23A\r\n【ｵﾌﾞｼﾞｪｸﾄ名】AcDbText\r\n【データ】仕上：ﾀｲﾙ");

    host::Point3 lo, hi;
    app->activeDocument()->handleToObject("23A")->getBoundingBox(lo, hi);
    const QRectF box = QRectF(QPointF(lo.x, lo.y), QPointF(hi.x, hi.y));
    EXPECT_NEAR(shell->view.center().x(), box.center().x(), 1e-9);
    EXPECT_NEAR(shell->view.center().y(), box.center().y(), 1e-9);
    EXPECT_NEAR(shell->view.width(), 2 * box.width(), 1e-9);
    EXPECT_NEAR(shell->view.height(), 2 * box.height(), 1e-9);

    QString line = "23c";
    ASSERT_TRUE(fun_bSearchHandle(app, line));
    EXPECT_EQ(line, "【ハンドル値】23c\r\n【ｵﾌﾞｼﾞｪｸﾄ名】AcDbLine");
    EXPECT_EQ(shell->zooms, 2);
}

TEST_F(InProcessTagseekTest, MissingHandlesAndObjectsWithoutExtents) {
    host::ApplicationPtr app = drawings->application();
    QString missing = "FFFFF";
    EXPECT_FALSE(fun_bSearchHandle(app, missing));
    EXPECT_EQ(missing, "FFFFF");
    QString empty = "";
    EXPECT_FALSE(fun_bSearchHandle(app, empty));

    // A layer record has a handle but no extents: it is described, the view stays.
    QString layer = "27";
    ASSERT_TRUE(fun_bSearchHandle(app, layer));
    EXPECT_TRUE(layer.startsWith("【ハンドル値】27\r\n【ｵﾌﾞｼﾞｪｸﾄ名】"));
    EXPECT_EQ(shell->zooms, 0);

    // No drawing open: nothing is found.
    drawings->close(drawings->activeDocument(), false);
    QString text = "23A";
    EXPECT_FALSE(fun_bSearchHandle(app, text));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(InProcessTagseekTest, WithoutARunningHostItSaysSoAndStartsNone) {
    provider->running = false;
    host::ApplicationPtr app;
    QString text = "23A";
    EXPECT_FALSE(fun_bSearchHandle(app, text));
    EXPECT_EQ(text, "23A");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text,
              "AutoCAD（レギュラー版）が見つかりません。\r\nAutoCADを起動してから本ソフトを実行してください。");
    EXPECT_EQ(messages.last().icon(), support::vbCritical);
    EXPECT_EQ(messages.last().title, "PickwellFree版 Ver1.00");
    EXPECT_EQ(provider->creates, 0);
}

}  // namespace
}  // namespace tagseek::testing
