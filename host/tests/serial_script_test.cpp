// The block of one drawing, byte for byte, on the in-memory host.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "host/SerialScript.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"
#include "support/TextFile.h"

// Readable failure output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using namespace host;

struct SerialScriptTest : ::testing::Test {
    QTemporaryDir dir;
    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
    ApplicationPtr app = fakehost::makeApplication(state);
    support::RecordingMessageBox messages;
    const QString path = QStringLiteral("/dwg/A1.dwg");
    ScriptKeywords keys;

    SerialScriptTest() {
        keys.sKeywordPath = QStringLiteral("<DWGPATH>");
        keys.sPathValue = QStringLiteral("/dwg");
        keys.sKeywordFileName = QStringLiteral("<DWGNAME>");
        keys.sFileNameValue = QStringLiteral("A1");
        keys.layer = {QStringLiteral("<LAYERNAME>"), QString(), true, true};
        keys.layout = {QStringLiteral("<LAYOUT>"), QString(), true, true};
        keys.sKeywordPtinter = QStringLiteral("<PRINTER>");
        keys.sReplacePrinter = QStringLiteral("LaserA3");
        keys.sKeywordPaperSize = QStringLiteral("<PAPERSIZE>");
        keys.sReplacePrinterSize = QStringLiteral("A3");
        state->file(path);  // layers 0 and Defpoints
    }

    // The base file holds the text in CP932, as the user's editor saves it.
    QString base(const char* utf8, bool raw = false) {
        const QString file = dir.filePath(QStringLiteral("base.scr"));
        QByteArray bytes = utf8;
        if (!raw) EXPECT_TRUE(support::encodeCp932(QString::fromUtf8(utf8), &bytes, nullptr));
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return file;
    }
    void layers(std::initializer_list<const char*> names) {
        for (const char* n : names) state->file(path).layer(QString::fromUtf8(n));
    }
    // The block, or "(false)" and what it holds after a refusal.
    QString block(const char* baseText, QString script = QString(), bool raw = false) {
        const bool ok = fun_bMakeDWGScript(app, QStringLiteral("A1.dwg"), path, base(baseText, raw), script, keys);
        return ok ? script : QStringLiteral("(false)") + script;
    }
};

QString lines(std::initializer_list<const char*> parts) {
    QStringList out;
    for (const char* p : parts) out << QString::fromUtf8(p);
    return out.join(QStringLiteral("\r\n"));
}

TEST_F(SerialScriptTest, LayerBodyIsRepeatedPerLayerWithQuotedNamesAndTrimmedCopies) {
    layers({"WALL"});
    EXPECT_EQ(block(";plot all\r\n-LAYER\r\nS\r\n<LAYERNAME>\r\n\r\n"),
              lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "-LAYER", "S", "\"0\"", "-LAYER", "S", "\"Defpoints\"",
                     "-LAYER", "S", "\"WALL\"", "close", "y"}));
    // The drawing was opened for its layer names and closed again unsaved.
    EXPECT_TRUE(state->documents.empty());
    EXPECT_EQ(state->saves, 0);
}

TEST_F(SerialScriptTest, BothRepeatingKeywordsVaryLayoutsSlowestAndSaveAnswersN) {
    state->file(path).layouts = {QStringLiteral("Model"), QStringLiteral("配置1"), QStringLiteral("B")};
    keys.layer.filter = QStringLiteral("Defpoints");
    keys.layer.include = false;
    layers({"壁"});
    keys.bSave = true;
    EXPECT_EQ(block("L <LAYERNAME> <LAYOUT>\r\n\r\nx\r\n\r\n"),
              lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "L \"0\" \"配置1\"", "", "x", "L \"壁\" \"配置1\"", "", "x",
                     "L \"0\" \"B\"", "", "x", "L \"壁\" \"B\"", "", "x", "close", "n"}));
}

TEST_F(SerialScriptTest, FilterClassesPickTheirLayers) {
    layers({"WALL", "WALL2", "XWALL"});
    struct Case {
        bool include, whole;
        const char* expected;
    } cases[] = {
        {true, true, "\"WALL\""},
        {true, false, "\"WALL\",\"WALL2\",\"XWALL\""},
        {false, true, "\"0\",\"Defpoints\",\"WALL2\",\"XWALL\""},
        {false, false, "\"0\",\"Defpoints\""},
    };
    for (const Case& c : cases) {
        keys.layer.filter = QStringLiteral("WALL");
        keys.layer.include = c.include;
        keys.layer.whole = c.whole;
        const QString got = block("<LAYERNAME>\r\n");
        QString names = got.section(QStringLiteral("\r\na\r\n"), 1).section(QStringLiteral("\r\nclose"), 0, 0);
        names.replace(QStringLiteral("\r\n"), QStringLiteral(","));
        EXPECT_EQ(names, QString::fromUtf8(c.expected)) << c.include << c.whole;
    }
    // An invalid pattern matches nothing: with include, nothing qualifies.
    keys.layer = {QStringLiteral("<LAYERNAME>"), QStringLiteral("(["), true, false};
    EXPECT_EQ(block("<LAYERNAME>\r\n", QStringLiteral("old")), QStringLiteral("(false)"));
}

TEST_F(SerialScriptTest, CommentsOnlyInTheFirstColumnAndLeadingEmptyLinesVanish) {
    EXPECT_EQ(block("\r\n\r\n; comment\r\n ;kept\r\nA\r\n\r\nB\r\n"),
              lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", " ;kept", "A", "", "B", "close", "y"}));
    EXPECT_EQ(block(";only\r\n;comments\r\n"), lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "close", "y"}));
    EXPECT_EQ(block(""), lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "close", "y"}));
}

TEST_F(SerialScriptTest, BareLineFeedsMakeOneLine) {
    // One line for the comment test: a ';' in front drops the whole file.
    EXPECT_EQ(block(";c\n-LAYER\n"), lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "close", "y"}));
    // The LF stay as they are; only CR LF pairs are trimmed.
    EXPECT_EQ(block("-LAYER\nS\n<LAYERNAME>\n"),
              QStringLiteral("open\r\n\"/dwg/A1.dwg\"\r\nzoom\r\na\r\n-LAYER\nS\n\"0\"\n\r\n-LAYER\nS\n\"Defpoints\"\n"
                             "\r\nclose\r\ny"));
}

TEST_F(SerialScriptTest, EmptyLayerKeywordRepeatsTheBodyUnchanged) {
    keys.layer.keyword.clear();
    EXPECT_EQ(block("REGEN\r\n"), lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "REGEN", "REGEN", "close", "y"}));
}

TEST_F(SerialScriptTest, SimpleAndUserKeywordsAreExactAndUserKeywordsComeLast) {
    support::ListTable table(2, 2);
    table.set(0, 0, QStringLiteral("<点1>"));
    table.set(0, 1, QStringLiteral("0,0"));
    table.set(1, 0, QStringLiteral("\"0\""));  // acts on the expanded names
    table.set(1, 1, QStringLiteral("ZERO"));
    keys.vKeyword = table;
    keys.layer.filter = QStringLiteral("0");
    EXPECT_EQ(block("<DWGPATH>/<DWGNAME>.pdf <dwgname>\r\n<PRINTER> <PAPERSIZE> <点1>\r\n<LAYERNAME>\r\n"),
              lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "/dwg/A1.pdf <dwgname>", "LaserA3 A3 0,0", "ZERO", "close",
                     "y"}));
}

TEST_F(SerialScriptTest, DefaultLayoutFilterModelFindsNothing) {
    keys.layout.filter = QStringLiteral("model");
    EXPECT_EQ(block("-PLOT <LAYOUT>\r\n", QStringLiteral("old")), QStringLiteral("(false)"));
    EXPECT_TRUE(messages.messages.empty());
    // Model space alone stands as the layout "0".
    state->file(path).layouts = {QStringLiteral("Model")};
    keys.layout.filter.clear();
    EXPECT_EQ(block("-PLOT <LAYOUT>\r\n"), lines({"open", "\"/dwg/A1.dwg\"", "zoom", "a", "-PLOT \"0\"", "close", "y"}));
}

TEST_F(SerialScriptTest, AnOpenDrawingStaysOpenAndIsRegenerated) {
    auto doc = state->openByUser(path);
    block("<LAYERNAME>\r\n<LAYOUT>\r\n");
    ASSERT_EQ(state->documents.size(), 1u);
    EXPECT_TRUE(doc->open);
    EXPECT_EQ(doc->regens, 2);  // once per repeating stage
    EXPECT_EQ(state->opens, 0);
}

TEST_F(SerialScriptTest, DrawingThatDoesNotOpenFailsWithItsMessage) {
    state->disk.clear();
    EXPECT_EQ(block("<LAYERNAME>\r\n", QStringLiteral("old")), QStringLiteral("(false)old"));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("AutoCADファイルを開くことが出来ませんでした。\r\n/dwg/A1.dwg"));
    EXPECT_EQ(messages.last().icon(), support::vbExclamation);
}

TEST_F(SerialScriptTest, PathWithDoubleQuoteIsRefusedBeforeTheHostIsAsked) {
    const QString quoted = QStringLiteral("/dwg/a\"b.dwg");
    state->file(quoted);
    QString script = QStringLiteral("old");
    EXPECT_FALSE(fun_bMakeDWGScript(app, QStringLiteral("a\"b.dwg"), quoted, base("<LAYERNAME>\r\n"), script, keys));
    EXPECT_EQ(script, QStringLiteral("old"));
    EXPECT_EQ(state->opens, 0);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.endsWith(quoted));
}

TEST_F(SerialScriptTest, UnreadableBaseFileThrows) {
    QString script;
    EXPECT_THROW(fun_bMakeDWGScript(app, QStringLiteral("A1.dwg"), path, dir.filePath(QStringLiteral("none.scr")),
                                    script, keys),
                 std::runtime_error);
    EXPECT_THROW(block("\x82", QString(), true), std::runtime_error);  // a lone lead byte is not CP932
}

TEST(TrimLastCrLf, DropsOnlyTrailingCrLfPairs) {
    EXPECT_EQ(fun_sTrimLastCrLf(QString()), QString());
    EXPECT_EQ(fun_sTrimLastCrLf(QStringLiteral("\r\n\r\n")), QString());
    EXPECT_EQ(fun_sTrimLastCrLf(QStringLiteral("a\r\n\r\nb\r\n\r\n")), QStringLiteral("a\r\n\r\nb"));
    EXPECT_EQ(fun_sTrimLastCrLf(QStringLiteral("a\n")), QStringLiteral("a\n"));
    EXPECT_EQ(fun_sTrimLastCrLf(QStringLiteral("a\r\r\n")), QStringLiteral("a\r"));
}

}  // namespace
