#include "support/RegExp.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace support;

namespace {

QStringList matches(const QString& text, const QString& pattern) {
    QStringList out{QStringLiteral("stale")};
    const bool matched = fun_bRegExpMatch(text, pattern, &out, false);
    EXPECT_EQ(matched, !out.isEmpty()) << pattern.toStdString();
    return out;
}

bool whole(const QString& text, const QString& pattern) {
    return fun_bRegExpMatch(text, pattern, nullptr, true);
}

TEST(RegExpTest, WholeMatchAndListMode) {
    EXPECT_TRUE(whole("A1", "A.*"));
    EXPECT_FALSE(whole("BA1", "A.*"));
    EXPECT_EQ(matches("BA1", "A.*"), QStringList{"A1"});
    EXPECT_EQ(matches(QStringLiteral("画層1-画層2"), QStringLiteral("画層")), (QStringList{"画層", "画層"}));
    // Case-sensitive.
    EXPECT_FALSE(whole("A", "a"));
    EXPECT_TRUE(matches("A", "a").isEmpty());
    // The whole-match test looks at the first match only.
    EXPECT_FALSE(whole("AB", "A|AB"));
    EXPECT_TRUE(whole("AB", "B|AB"));
    EXPECT_FALSE(whole("ab", "b*"));
    EXPECT_TRUE(whole("0", "[0-9]+"));
}

TEST(RegExpTest, NothingMatchesAnEmptyTextOrAnInvalidPattern) {
    QStringList out{QStringLiteral("stale")};
    EXPECT_FALSE(fun_bRegExpMatch(QString(), ".*", &out, false));
    EXPECT_TRUE(out.isEmpty());
    out = QStringList{QStringLiteral("stale")};
    EXPECT_FALSE(fun_bRegExpMatch("abc", "(abc", &out, true));
    EXPECT_TRUE(out.isEmpty());
    for (const char* invalid : {"(abc", "abc)", "[abc", "*a", "a{2,1}", "abc\\"}) {
        EXPECT_FALSE(whole("abc", invalid)) << invalid;
        EXPECT_TRUE(matches("abc", invalid).isEmpty()) << invalid;
    }
}

TEST(RegExpTest, EmptyMatchesMoveOnByOneCharacter) {
    EXPECT_EQ(matches("baaa", "a*"), (QStringList{"", "aaa", ""}));
    // The script engine does not retry a non-empty match where an empty one was found.
    EXPECT_EQ(matches("a", "|a"), (QStringList{"", ""}));
    EXPECT_EQ(matches("ab", ""), (QStringList{"", "", ""}));
    EXPECT_EQ(matches(QStringLiteral("層x"), "x?"), (QStringList{"", "x", ""}));
}

TEST(RegExpTest, DialectDifferencesFollowTheScriptEngine) {
    // "$" is the end of the text only; "." does not take a line break.
    EXPECT_TRUE(matches("A\n", "A$").isEmpty());
    EXPECT_TRUE(matches("A\rB", "A.B").isEmpty());
    EXPECT_TRUE(matches("A\nB", "A.B").isEmpty());
    EXPECT_TRUE(whole("AB", "A.$"));
    // \uXXXX escapes, in and out of classes.
    EXPECT_TRUE(whole(QStringLiteral("画層"), QStringLiteral("\\u753B\\u5C64")));
    EXPECT_TRUE(whole(QStringLiteral("層"), QStringLiteral("[\\u5C00-\\u5CFF]")));
    EXPECT_TRUE(whole("u12", "\\u12"));
    EXPECT_TRUE(whole("xg", "\\xg"));
    EXPECT_TRUE(whole("A", "\\x41"));
    // Escaped letters without a meaning are the letters themselves.
    EXPECT_TRUE(whole("AzQ", "\\A\\z\\Q"));
    EXPECT_TRUE(whole("B", "[\\B]"));
    // Class corner cases.
    EXPECT_TRUE(matches("abc", "[]").isEmpty());
    EXPECT_EQ(matches("ab", "[^]"), (QStringList{"a", "b"}));
    EXPECT_TRUE(whole("[", "[[]"));
    EXPECT_TRUE(whole("a]", "[[:alpha:]]"));
    EXPECT_TRUE(whole("a{,2}", "a{,2}"));
    // A hyphen beside a class escape is a hyphen, not a range (PCRE2 would refuse the pattern).
    EXPECT_TRUE(whole("a-b.c_9", "[\\w-.]+"));
    EXPECT_TRUE(whole("A-9_", "[A-Z\\d-_]+"));
    EXPECT_TRUE(whole(".-5", "[.-\\d]+"));
    EXPECT_FALSE(whole("/", "[\\w-.]"));
    EXPECT_TRUE(whole("b", "[a-c]"));
    // Ordinary constructs pass unchanged.
    EXPECT_EQ(matches("L-01_A", "\\d+|[A-Z]\\b"), (QStringList{"L", "01", "A"}));
    EXPECT_TRUE(whole("abab", "(ab)\\1"));
    EXPECT_TRUE(whole("x.dwg", "x\\.dwg"));
    EXPECT_TRUE(whole("ab", "a(?=b)b"));
}

TEST(RegExpTest, PathologicalPatternsGiveUpQuickly) {
    const QString text = QString(40, u'a') + u'b';
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(whole(text, "(a+)+$"));
    EXPECT_TRUE(matches(text, "(a+)+$").isEmpty());
    EXPECT_FALSE(whole(QString(3000, u'x'), "(x+x+)+y"));
    EXPECT_LT(timer.elapsed(), 2000);
    // A heavy but sane pattern on a long name still matches.
    const QString longName = QString(120, u'a') + u'_' + QString(120, u'b') + QStringLiteral("_c");
    EXPECT_TRUE(whole(longName, "^.*_.*_.*$"));
}

TEST(RegExpTest, ManyPatternsStayCorrectPastTheCache) {
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(whole(QStringLiteral("L%1").arg(i), QStringLiteral("L%1").arg(i))) << i;
}

}  // namespace
