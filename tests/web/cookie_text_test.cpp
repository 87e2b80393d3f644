#include "web/cookie_text.h"

#include <gtest/gtest.h>

namespace skysail {
namespace {

TEST(CookieTest, MergeKeepsNewPiecesFirstAndDropsDeletedOnes)
{
    struct Case
    {
        QString cookies;
        QString returned;
        QString merged;
        QString returnedAfter;
    };
    const Case cases[] = {
        { "sid=1; lang=en", "sid=2;lang=deleted", "sid=2", "sid=2;lang=deleted" },
        { "a=1;b=2", "", "a=1; b=2", "" },
        { "a=1; b=2", "b = 3", "b=3; a=1", "b=3" },
        { "", "x=1;　y=2", "x=1; y=2", "x=1;y=2" },
        { "a=1", "a=deleted", "", "a=deleted" },
    };
    for (const Case& c : cases) {
        QString cookies = c.cookies;
        QString returned = c.returned;
        EXPECT_EQ(MergeCookies(cookies, returned), c.merged) << c.cookies.toStdString();
        EXPECT_EQ(cookies, c.merged);
        EXPECT_EQ(returned, c.returnedAfter);
    }
    EXPECT_EQ(CookieName(QStringLiteral(" sid =1")), "sid");
    EXPECT_EQ(CookieName(QStringLiteral("flag")), "flag");
}

TEST(CookieTest, MergeUniqueAlsoDropsExactRepeats)
{
    struct Case
    {
        QString older;
        QString newer;
        QString merged;
    };
    const Case cases[] = {
        { "a=1; b=2", "b=3", "b=3; a=1" },
        { "a=1; b=2", "b=deleted", "a=1" },
        { "a=1", "c=deleted", "a=1" },
        { "a=1; b=2", "", "a=1; b=2" },
        { "a=1; a=1; flag", "x=1;x=1", "x=1; a=1; flag" },
    };
    for (const Case& c : cases) {
        QString older = c.older;
        QString newer = c.newer;
        EXPECT_EQ(MergeCookiesUnique(older, newer), c.merged) << c.older.toStdString();
        EXPECT_EQ(older, c.merged);
        EXPECT_FALSE(newer.contains(u' '));
    }
    EXPECT_EQ(DedupeParts(QStringLiteral("a, b, a, , "), QStringLiteral(", ")), "a, b, ");
}

TEST(CookieTest, SetCookieLinesOfAnyCaseGiveTheirNameValuePieces)
{
    const QString headers = QStringLiteral("Content-Type: text/html\r\nSet-Cookie: a=1; path=/\r\nset-cookie:  b=2 "
                                           "\r\nSET-COOKIE: c=3;\r\n");
    EXPECT_EQ(NormalizeSetCookie(headers).count(QStringLiteral("Set-Cookie")), 3);
    EXPECT_EQ(CookiesFromHeaders(headers), "a=1; b=2; c=3");
    EXPECT_EQ(CookiesFromHeaders(QStringLiteral("X: 1\r\n")), "");
}

} // namespace
} // namespace skysail
