#include "support/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace support;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(TextFileTest, Cp932RoundTripOfTheSystemsOwnTexts) {
    // Kana, kanji whose second byte is '\', half-width katakana and the
    // backslash of a Windows path.
    const QString text = QStringLiteral("画層名一発変換 表示 ｷｬﾝｾﾙ C:\\dwg\\a.dwg ～");
    QByteArray bytes;
    ASSERT_TRUE(encodeCp932(text, &bytes, nullptr));
    EXPECT_TRUE(bytes.contains("\x95\x5c\x8e\xa6"));  // 表示
    EXPECT_TRUE(bytes.contains("\xb7\xac\xdd\xbe\xd9"));  // ｷｬﾝｾﾙ
    EXPECT_TRUE(bytes.contains("C:\\dwg\\a.dwg"));
    QString back;
    ASSERT_TRUE(decodeCp932(bytes, &back, nullptr));
    EXPECT_EQ(back, text);

    // The wave dash typed on Linux (U+301C) is taken; the code page reads its
    // byte pair back as the full-width tilde, as Windows does.
    ASSERT_TRUE(encodeCp932(QStringLiteral("\u301C"), &bytes, nullptr));
    EXPECT_EQ(bytes, QByteArray("\x81\x60"));
    ASSERT_TRUE(decodeCp932(bytes, &back, nullptr));
    EXPECT_EQ(back, QStringLiteral("\uFF5E"));
}

TEST(TextFileTest, UnencodableCharacterIsAnErrorNamingItAndItsLine) {
    QByteArray bytes("untouched");
    QString error;
    EXPECT_FALSE(encodeCp932(QStringLiteral("line one\r\nline two\r\nbad \U0001F600 here"), &bytes, &error));
    EXPECT_EQ(bytes, QByteArray("untouched"));
    EXPECT_TRUE(error.contains(QStringLiteral("3 行目"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("U+1F600"))) << error.toStdString();
    EXPECT_FALSE(canEncodeCp932(QStringLiteral("\u2603")));
    EXPECT_TRUE(canEncodeCp932(QStringLiteral("ｱｲｳ")));
}

TEST(TextFileTest, InvalidBytesAreAnErrorOrReplacedWhenLenient) {
    QString text = QStringLiteral("kept");
    QString error;
    EXPECT_FALSE(decodeCp932(QByteArray("ok\r\n\x82"), &text, &error));  // lead byte cut off
    EXPECT_EQ(text, QStringLiteral("kept"));
    EXPECT_TRUE(error.contains(QStringLiteral("2 行目"))) << error.toStdString();
    EXPECT_EQ(decodeCp932Lenient(QByteArray("a\x82\r\nb")), QStringLiteral("a\uFFFD\r\nb"));
}

TEST(TextFileTest, LineSplittingAndCrLf) {
    EXPECT_EQ(splitLines(QStringLiteral("a\r\nb\nc\rd")), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines(QStringLiteral("a\r\n\r\nb\r\n")), (QStringList{"a", "", "b"}));
    EXPECT_TRUE(splitLines(QString()).isEmpty());
    EXPECT_EQ(splitLines(QStringLiteral("\r\n")), QStringList{""});
    EXPECT_EQ(toCrLf(QStringLiteral("a\nb\rc\r\nd")), QStringLiteral("a\r\nb\r\nc\r\nd"));
    EXPECT_EQ(joinCrLf({"x", "y"}), QStringLiteral("x\r\ny\r\n"));
}

TEST(TextFileTest, WriteReadAndAppend) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Laminor_script.scr"));
    QString error;
    ASSERT_TRUE(writeTextFile(path, joinCrLf({"-LAYER", "S 画層1", ""}), &error)) << error.toStdString();
    EXPECT_EQ(fileBytes(path), QByteArray("-LAYER\r\nS \x89\xe6\x91\x77\x31\r\n\r\n"));
    ASSERT_TRUE(appendTextFile(path, QStringLiteral("QSAVE\r\n"), &error));
    QStringList lines;
    ASSERT_TRUE(readTextLines(path, &lines, &error));
    EXPECT_EQ(lines, (QStringList{"-LAYER", "S 画層1", "", "QSAVE"}));

    // An unencodable character writes and appends nothing.
    const QByteArray before = fileBytes(path);
    EXPECT_FALSE(writeTextFile(path, QStringLiteral("\u2603"), &error));
    EXPECT_FALSE(appendTextFile(path, QStringLiteral("ok\r\n\u2603"), &error));
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Laminor_script.scr"});

    QString text;
    EXPECT_FALSE(readTextFile(dir.filePath(QStringLiteral("missing.csv")), &text, &error));
}

TEST(TextFileTest, ControlCharactersAreShownEscapedForATerminal) {
    EXPECT_EQ(printableText(QStringLiteral("a\x1b[2Jb\tc\nd\x7f\u009b画層")),
              QStringLiteral("a\\x1B[2Jb\tc\nd\\x7F\\x9B画層"));
}

}  // namespace
