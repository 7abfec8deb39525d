#include "support/Ini.h"
#include "support/ProgramFolder.h"
#include "support/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace support;

namespace {

QByteArray cp932(const QString& text) {
    QByteArray bytes;
    EXPECT_TRUE(encodeCp932(text, &bytes, nullptr)) << text.toStdString();
    return bytes;
}

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setProgramFolder(dir.path());
        resetIniState();
    }
    void TearDown() override {
        setProgramFolder(QString());
        resetIniState();
    }
    QString path(const QString& name = QStringLiteral("Laminor.ini")) const { return dir.filePath(name); }
    void put(const QByteArray& bytes, const QString& name = QStringLiteral("Laminor.ini")) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray bytes(const QString& name = QStringLiteral("Laminor.ini")) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString str(const QString& section, const QString& key, const QVariant& def = QString()) {
        return GetINI(QStringLiteral("Laminor.ini"), section, key, def, false).toString();
    }
    int num(const QString& section, const QString& key, int def) {
        return GetINI(QStringLiteral("Laminor.ini"), section, key, def, true).toInt();
    }
    int write(const QString& section, const QString& key, const QVariant& value) {
        return WriteINI(QStringLiteral("Laminor.ini"), section, key, value);
    }
    QTemporaryDir dir;
};

TEST_F(IniTest, ResolvesNamesAgainstTheProgramFolder) {
    QString name = QStringLiteral("Laminor.ini");
    SetINI(name);
    EXPECT_EQ(name, dir.path() + QStringLiteral("/Laminor.ini"));

    QString absolute = dir.filePath(QStringLiteral("elsewhere.ini"));
    const QString before = absolute;
    SetINI(absolute);
    EXPECT_EQ(absolute, before);

    // Only ":\" at positions 2-3 (or a leading "/") marks a name absolute.
    for (const QString& relative : {QStringLiteral("sub\\Laminor.ini"), QStringLiteral("\\\\server\\share\\x.ini"),
                                    QStringLiteral("sub/x.ini")}) {
        QString n = relative;
        SetINI(n);
        EXPECT_EQ(n, dir.path() + u'/' + relative);
    }

    const QString oldCwd = QDir::currentPath();
    QTemporaryDir cwd;
    QDir::setCurrent(cwd.path());
    QString drive = QStringLiteral("C:\\x.ini");
    SetINI(drive);
    EXPECT_EQ(drive, QStringLiteral("C:\\x.ini"));
    QDir::setCurrent(oldCwd);

    // An empty name changes nothing, not even the flag.
    QString empty;
    EXPECT_TRUE(bIniWritable());
    SetINI(empty);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(bIniWritable());
}

TEST_F(IniTest, MissingFileIsCreatedEmptyAndThenWritable) {
    EXPECT_FALSE(bIniWritable());
    EXPECT_EQ(str("MAIN", "mode", "F"), "F");
    EXPECT_EQ(bytes(), QByteArray());
    EXPECT_TRUE(bIniWritable());
    EXPECT_FALSE(iniCreateFailed());
    EXPECT_EQ(write("MAIN", "mode", 3), 1);
    EXPECT_EQ(bytes(), QByteArray("[MAIN]\r\nmode=3\r\n"));
    EXPECT_EQ(num("main", "MODE", 1), 3);
}

TEST_F(IniTest, FileThatCannotBeCreatedBehavesReadOnly) {
    setProgramFolder(dir.filePath(QStringLiteral("no/such/folder")));
    EXPECT_EQ(str("MAIN", "x", "dflt"), "dflt");
    EXPECT_EQ(num("MAIN", "x", 42), 42);
    EXPECT_TRUE(iniCreateFailed());
    EXPECT_FALSE(bIniWritable());
    EXPECT_EQ(write("MAIN", "x", "1"), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no/such/folder/Laminor.ini"))));
    resetIniState();
    EXPECT_FALSE(iniCreateFailed());
}

TEST_F(IniTest, ReadOnlyFileIsReadButNeverWritten) {
    const QByteArray content("[MAIN]\r\nleft=10\r\n");
    put(content);
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0444), 0);
    EXPECT_EQ(num("MAIN", "left", 0), 10);
    EXPECT_FALSE(bIniWritable());
    EXPECT_EQ(write("MAIN", "left", 20), 0);
    EXPECT_EQ(write("Other", "k", "v"), 0);
    EXPECT_EQ(bytes(), content);
    ::chmod(QFile::encodeName(path()).constData(), 0644);
    EXPECT_EQ(write("MAIN", "left", 20), 1);
}

TEST_F(IniTest, ProfileStringSemantics) {
    put(cp932(QStringLiteral("orphan=before any section\r\n"
                             "; comment=not a key\r\n"
                             "  [ Main ]  \r\n"
                             "  Key1 =   spaced value  \r\n"
                             "key1=second one loses\r\n"
                             "quoted=\"  keep inner  \"\r\n"
                             "single='x'\r\n"
                             "half=\"x\r\n"
                             "empty=\r\n"
                             "bare\r\n"
                             "jp=\u3000全角空白\u3000\r\n"
                             "[main]\r\n"
                             "key1=duplicate section loses\r\n"
                             "onlyhere=found in the second section\r\n")));
    EXPECT_EQ(str("MAIN", "KEY1"), "spaced value");
    EXPECT_EQ(str("main", "quoted"), "keep inner");  // quotes go first, then the trim
    EXPECT_EQ(str("main", "single"), "x");
    EXPECT_EQ(str("main", "half"), "\"x");
    EXPECT_EQ(str("main", "onlyhere"), "found in the second section");
    EXPECT_EQ(str("main", "jp"), QStringLiteral("\u3000全角空白\u3000"));
    // Present but empty: empty, not the default.
    EXPECT_TRUE(GetINI("Laminor.ini", "main", "empty", "F", false).toString().isNull());
    EXPECT_TRUE(str("main", "bare", "F").isEmpty());
    // Missing: the default (trimmed), or empty for an empty default.
    EXPECT_EQ(str("main", "missing", "F"), "F");
    EXPECT_EQ(str("main", "missing", "  F  "), "F");
    EXPECT_TRUE(GetINI("Laminor.ini", "main", "missing", "", false).toString().isNull());
    EXPECT_EQ(str("nosection", "key1", "F"), "F");
    EXPECT_EQ(str("", "orphan", "F"), "F");
    EXPECT_EQ(str("main", "; comment", "F"), "F");
}

TEST_F(IniTest, IntegerReadsLikeTheProfileFunction) {
    put("[N]\r\na=12\r\nb=  -5\r\nc=+7\r\nd=12px\r\ne=abc\r\nf=0x10\r\ng=\r\nh=\"34\"\r\ni=-\r\n");
    const struct {
        const char* key;
        int expected;
    } cases[] = {{"a", 12}, {"b", -5}, {"c", 7}, {"d", 12}, {"e", 0}, {"f", 0},
                 {"g", 99}, {"h", 34}, {"i", 0}, {"missing", 99}};
    for (const auto& c : cases) EXPECT_EQ(num("N", c.key, 99), c.expected) << c.key;
    EXPECT_EQ(GetINI("Laminor.ini", "N", "missing", "77", true), QVariant(77));
}

TEST_F(IniTest, LongValuesAreReadWhole) {
    // 150 double-byte characters: 300 bytes on disk, beyond the old 254-byte cut
    // (which would also have split a character).
    QString longValue;
    for (int i = 0; i < 150; ++i) longValue += QChar(u"表示画層"[i % 4]);
    ASSERT_EQ(cp932(longValue).size(), 300);
    EXPECT_EQ(write("ScriptEnv", "sKeywordPath", longValue), 1);
    EXPECT_EQ(str("ScriptEnv", "sKeywordPath"), longValue);

    const QString ascii = QString(1000, u'k');
    EXPECT_EQ(write("ScriptEnv", "list", ascii), 1);
    EXPECT_EQ(str("ScriptEnv", "list"), ascii);
}

TEST_F(IniTest, WritesKeepEveryOtherByte) {
    // Comments, blank lines, LF-only and CR-only line ends, a byte that is not
    // CP932, a key with odd spacing and no final line break.
    const QByteArray head = "; settings\r\n\r\n[MAIN]\r\n  Left = 10\r\n";
    const QByteArray mid = "Top=20\n; tail comment of MAIN\r\n\r\n[Other]\rodd \x80\xff line\r\n";
    const QByteArray tail = "[Last]\r\nk=v";
    put(head + mid + tail);

    // Replace in place, keeping the stored spelling of the key.
    EXPECT_EQ(write("main", "LEFT", 1234), 1);
    const QByteArray afterReplace = "; settings\r\n\r\n[MAIN]\r\nLeft=1234\r\n" + mid + tail;
    EXPECT_EQ(bytes(), afterReplace);

    // A new key goes after the section's last key, before its trailing comment.
    EXPECT_EQ(write("Main", "Width", "表"), 1);
    const QByteArray afterAdd = "; settings\r\n\r\n[MAIN]\r\nLeft=1234\r\nTop=20\nWidth=\x95\x5c\r\n"
                                "; tail comment of MAIN\r\n\r\n[Other]\rodd \x80\xff line\r\n" + tail;
    EXPECT_EQ(bytes(), afterAdd);

    // A new key in the last section, which has no final line break.
    EXPECT_EQ(write("Last", "k2", "v2"), 1);
    EXPECT_EQ(bytes(), afterAdd + "\r\nk2=v2\r\n");

    // A new section goes at the end.
    EXPECT_EQ(write("New", "a", "b"), 1);
    EXPECT_EQ(bytes(), afterAdd + "\r\nk2=v2\r\n[New]\r\na=b\r\n");
    EXPECT_EQ(str("main", "width"), QStringLiteral("表"));
    EXPECT_EQ(str("Other", "odd", "F"), "F");
}

TEST_F(IniTest, ValuesRoundTripAsCp932WithCrLf) {
    const QString japanese = QStringLiteral("画層対応連続スクリプト ｷｬﾝｾﾙ C:\\図面\\a.dwg");
    EXPECT_EQ(write("Script", "path", japanese), 1);
    EXPECT_EQ(bytes(), "[Script]\r\npath=" + cp932(japanese) + "\r\n");
    EXPECT_EQ(str("script", "PATH"), japanese);
    EXPECT_EQ(write("Script", "flag", true), 1);
    EXPECT_EQ(str("Script", "flag"), "True");
    // A value in quotes keeps them on the way back.
    EXPECT_EQ(write("Script", "q", "\"quoted\""), 1);
    EXPECT_EQ(str("Script", "q"), "\"quoted\"");
}

TEST_F(IniTest, UnsafeWritesAreRefusedAndChangeNothing) {
    put("[MAIN]\r\na=1\r\n");
    const QByteArray before = bytes();
    EXPECT_EQ(write("MAIN", "a", "line1\r\n[Injected]\r\nx=y"), 0);
    EXPECT_EQ(write("MAIN", "b=c", "1"), 0);
    EXPECT_EQ(write("MAIN", "", "1"), 0);
    EXPECT_EQ(write("", "a", "1"), 0);
    EXPECT_EQ(write("MAIN", "a", QStringLiteral("snow \u2603")), 0);
    EXPECT_TRUE(iniLastError().contains(QStringLiteral("U+2603")));
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(write("MAIN", "a", "2"), 1);
    EXPECT_TRUE(iniLastError().isEmpty());
}

TEST_F(IniTest, WriteReplacesTheFileRatherThanRewritingIt) {
    put("[MAIN]\r\na=1\r\n");
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);
    EXPECT_EQ(write("MAIN", "a", "2"), 1);
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &after), 0);
    // A new file was renamed over the old one; no temporary file stays behind.
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Laminor.ini"});
}

}  // namespace

TEST_F(IniTest, AFileFarLargerThanSettingsIsNeitherReadNorWritten) {
    const QByteArray huge = "[MAIN]\r\nmode=3\r\n" + QByteArray(1024 * 1024, '\n');
    put(huge);
    EXPECT_EQ(num("MAIN", "mode", 1), 1);
    EXPECT_GT(iniTooLargeSize(), 1024 * 1024);
    EXPECT_FALSE(bIniWritable());
    EXPECT_EQ(write("MAIN", "mode", 2), 0);
    EXPECT_EQ(bytes(), huge);
    // Within the limit, a file of a million empty lines is read.
    put("[MAIN]\r\n" + QByteArray(1000000, '\n') + "mode=3\r\n");
    EXPECT_EQ(num("MAIN", "mode", 1), 3);
    EXPECT_EQ(iniTooLargeSize(), 0);
}
