#include "web/regex_matcher.h"

#include <gtest/gtest.h>

namespace skysail {
namespace {

const QString kCharsetPattern = QStringLiteral("<meta.+?charset=[^\\w]?([-\\w]+)");

TEST(RegexMatcherTest, FindsTheDeclaredCharset)
{
    struct Case
    {
        QString page;
        QString charset;
    };
    const Case cases[] = {
        { "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=gbk\">", "gbk" },
        { "<HEAD><META charset=\"UTF-8\"></HEAD>", "UTF-8" },
        { "<html><body>no declaration</body></html>", "" },
        { "<meta name=x\r\ncontent=\"text/html; charset=big5\">", "" },
        { "<meta name=x\ncontent=\"text/html; charset=big5\">", "" },
    };
    for (const Case& c : cases) {
        RegexMatcher matcher;
        EXPECT_TRUE(matcher.RunPattern(kCharsetPattern, c.page)) << c.page.toStdString();
        EXPECT_EQ(matcher.GetSubMatch(1, 1), c.charset) << c.page.toStdString();
    }
}

TEST(RegexMatcherTest, CountsMatchesAndGroups)
{
    RegexMatcher matcher;
    EXPECT_EQ(matcher.GetPattern(), "");
    ASSERT_TRUE(matcher.RunPattern(QStringLiteral("a"), QStringLiteral("aaa")));
    EXPECT_EQ(matcher.MatchCount(), 3);
    ASSERT_TRUE(matcher.RunPattern(QStringLiteral("a"), QStringLiteral("aaa"), false, true, false));
    EXPECT_EQ(matcher.MatchCount(), 1);

    ASSERT_TRUE(matcher.RunPattern(QStringLiteral("(\\w+)=(\\d+)?;"), QStringLiteral("x=1; Y=; é=3;")));
    EXPECT_EQ(matcher.MatchCount(), 2); // \w is ASCII only
    EXPECT_EQ(matcher.SubMatchCount(), 2);
    qsizetype position = -1;
    EXPECT_EQ(matcher.GetMatch(2, position, true), "Y=;");
    EXPECT_EQ(position, 5);
    EXPECT_EQ(matcher.GetSubMatch(2, 2, position, true), ""); // took no part
    EXPECT_EQ(matcher.GetSubMatch(1, 2), "1");
    EXPECT_EQ(matcher.GetMatch(3), "");
    EXPECT_EQ(matcher.GetSubMatch(1, 3), "");
    EXPECT_EQ(matcher.ReplaceMatches(QStringLiteral("[$1|$2|$&|$$]")), "[x|1|x=1;|$] [Y||Y=;|$] é=3;");

    RegexMatcher copy = matcher;
    EXPECT_EQ(copy.GetSubMatch(1, 1), "x");
    EXPECT_EQ(copy.GetPattern(), "(\\w+)=(\\d+)?;");
}

TEST(RegexMatcherTest, CaseMultilineQuotesAndBadPatterns)
{
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.RunPattern(QStringLiteral("^B$"), QStringLiteral("a\r\nb\nB"), true));
    EXPECT_EQ(matcher.MatchCount(), 1);
    ASSERT_TRUE(matcher.RunPattern(QStringLiteral("^B$"), QStringLiteral("a\r\nb\nB")));
    EXPECT_EQ(matcher.MatchCount(), 2);
    ASSERT_TRUE(matcher.RunPattern(QStringLiteral("^b$"), QStringLiteral("a\nb"), false, false));
    EXPECT_EQ(matcher.MatchCount(), 0);
    ASSERT_TRUE(matcher.RunPattern(
        QStringLiteral("id=#引号(.+?)#引号"), QStringLiteral("<p id=\"x\">"), false, true, true, true));
    EXPECT_EQ(matcher.GetSubMatch(1, 1), "x");
    EXPECT_FALSE(matcher.RunPattern(QStringLiteral("(unclosed"), QStringLiteral("text")));
    EXPECT_EQ(matcher.MatchCount(), 0);
}

TEST(RegexMatcherTest, LongSubjectsDoNotOverflow)
{
    const QString subject = QString(1 << 20, u'a') + QStringLiteral("<meta charset=utf-8>");
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.RunPattern(kCharsetPattern, subject));
    EXPECT_EQ(matcher.GetSubMatch(1, 1), "utf-8");
    // Backtracking over every character: the engine may give up, but never crashes.
    EXPECT_TRUE(matcher.RunPattern(QStringLiteral("(a|b)*<meta.+?charset=([-\\w]+)"), subject));
    EXPECT_LE(matcher.MatchCount(), 1);
}

} // namespace
} // namespace skysail
