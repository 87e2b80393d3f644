#include "web/http_api_request.h"

#include "support/loopback_server.h"

#include <gtest/gtest.h>

namespace skysail {
namespace {

using test::CapturedRequest;
using test::Connection;
using test::HttpReply;
using test::LoopbackServer;

const QList<QByteArray> kDefaults {
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)",
    "Accept: text/html, application/xhtml+xml, */*", "Accept-Encoding: gbk, GB2312", "Accept-Language: zh-cn",
    "Content-Type: application/x-www-form-urlencoded", "Cache-Control: no-cache"
};

TEST(HttpApiRequestTest, PostSendsTheDefaultsTheCookiesAndMergesTheReplyCookies)
{
    LoopbackServer server(LoopbackServer::Canned(
        HttpReply(200, { "Set-Cookie: a=1; path=/", "set-cookie: b=2", "location: /next" }, "<p>谢谢</p>")));
    QString cookies = QStringLiteral("sid=9; b=0");
    QString returnedCookies, location, statusText, returnedHeaders;
    QByteArray body;
    const QString text = HttpApiRequest(server.UrlText("/feedback"),
        { .method = 1,
            .postText = QStringLiteral("msg=%E4"),
            .cookies = &cookies,
            .returnedCookies = &returnedCookies,
            .returnedHeaders = &returnedHeaders,
            .location = &location,
            .statusText = &statusText,
            .body = &body });

    ASSERT_EQ(server.Requests().size(), 1u);
    const CapturedRequest sent = server.Requests().front();
    EXPECT_EQ(sent.requestLine, "POST /feedback HTTP/1.1");
    QList<QByteArray> expected { "Host: 127.0.0.1:" + QByteArray::number(server.Port()) };
    expected += kDefaults;
    expected += { "Cookie: sid=9; b=0", "Content-Length: 7" };
    EXPECT_EQ(sent.headerLines, expected);
    EXPECT_EQ(sent.body, "msg=%E4");

    EXPECT_EQ(statusText, "200 OK");
    EXPECT_TRUE(returnedHeaders.startsWith("HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"));
    EXPECT_EQ(location, "/next");
    EXPECT_EQ(returnedCookies, "a=1; b=2; sid=9");
    EXPECT_EQ(cookies, "a=1; b=2; sid=9");
    EXPECT_EQ(body, "<p>\xE8\xB0\xA2\xE8\xB0\xA2</p>"); // raw bytes
    // Without a declared charset the bytes are read as GBK.
    EXPECT_EQ(text, QStringLiteral("<p>璋㈣阿</p>"));
}

TEST(HttpApiRequestTest, CallerLinesKeepTheirsAndTheSearchesFollowTheirCaseRules)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200)));
    HttpApiRequest(
        server.UrlText(), { .headers = QStringLiteral("user-agent: Mine/1\r\ncontent-type: text/plain\r\nAccept:x") });
    const CapturedRequest sent = server.Requests().front();
    const QList<QByteArray> expected { "Host: 127.0.0.1:" + QByteArray::number(server.Port()), "user-agent: Mine/1",
        "content-type: text/plain", "Accept:x", kDefaults[1], kDefaults[2], kDefaults[3], kDefaults[4], kDefaults[5] };
    EXPECT_EQ(sent.headerLines, expected);
}

TEST(HttpApiRequestTest, DecodesTheDeclaredCharset)
{
    struct Case
    {
        QByteArray page;
        QString text;
    };
    const Case cases[] = {
        { "<meta charset=\"utf-8\"><p>\xE4\xB8\xAD\xF0\x9F\x98\x80</p>",
            QStringLiteral("<meta charset=\"utf-8\"><p>中?</p>") },
        { "<meta charset=gbk><p>\xD6\xD0</p>", QStringLiteral("<meta charset=gbk><p>中</p>") },
        { "<p>\xD6\xD0</p>\0tail", QStringLiteral("<p>中</p>") },
        { "<meta charset=big5>\xA4\xA4", QStringLiteral("<meta charset=big5>中") },
        { "<meta charset=no-such-set>\xD6\xD0", QStringLiteral("<meta charset=no-such-set>中") },
    };
    for (const Case& c : cases) {
        LoopbackServer server(LoopbackServer::Canned(HttpReply(200, {}, c.page)));
        QByteArray body;
        EXPECT_EQ(HttpApiRequest(server.UrlText(), { .body = &body }), c.text) << c.page.constData();
        EXPECT_EQ(body, c.page);
    }
}

TEST(HttpApiRequestTest, EachFailedStepHasItsNumberedMessage)
{
    quint16 closedPort;
    {
        LoopbackServer gone(LoopbackServer::Canned({}));
        closedPort = gone.Port();
    }
    LoopbackServer silent([](const CapturedRequest&, Connection& c) { c.Stall(); });
    LoopbackServer cutOff([](const CapturedRequest&, Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Length: 99\r\n\r\n<p>half");
        c.Reset();
    });
    struct Case
    {
        QString url;
        QString headers;
        QString message;
        QString text;
    };
    const Case cases[] = {
        { "not a url", {}, "701 解析URL地址失败!", "" },
        { "ftp://127.0.0.1/", {}, "701 解析URL地址失败!", "" },
        { silent.UrlText(), "no colon", "710 设置协议头失败!", "" },
        { QStringLiteral("http://127.0.0.1:%1/").arg(closedPort), {}, "711 发送请求失败!", "" },
        { silent.UrlText(), {}, "712 服务器未响应!", "" },
        { cutOff.UrlText(), {}, "713 读取数据失败!", "<p>half" },
    };
    for (const Case& c : cases) {
        QString statusText = QStringLiteral("untouched");
        QString cookies = QStringLiteral("x=1");
        QString location = QStringLiteral("untouched");
        EXPECT_EQ(HttpApiRequest(c.url,
                      { .cookies = &cookies,
                          .headers = c.headers,
                          .timeoutSeconds = 1,
                          .location = &location,
                          .statusText = &statusText }),
            c.text)
            << c.url.toStdString();
        EXPECT_EQ(statusText, c.message);
        EXPECT_EQ(location, "untouched");
        // Only a reply that arrived (713) merges its cookies.
        EXPECT_EQ(cookies, c.text.isEmpty() ? "x=1" : "a=1; x=1");
    }
    EXPECT_EQ(silent.Requests().size(), 1u); // the bad header line sent nothing
}

TEST(HttpApiRequestTest, ProxyGetsBothSchemesWithBasicCredentials)
{
    LoopbackServer proxy(LoopbackServer::Canned(HttpReply(200, {}, "ok")));
    EXPECT_EQ(HttpApiRequest(QStringLiteral("http://feedback.example/f?a=1"),
                  { .proxy = QStringLiteral("127.0.0.1:%1").arg(proxy.Port()),
                      .proxyUser = QStringLiteral("u"),
                      .proxyPassword = QStringLiteral("p") }),
        "ok");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests().front().target, "http://feedback.example/f?a=1");
    EXPECT_EQ(proxy.Requests().front().Header("Proxy-Authorization"), "Basic " + QByteArray("u:p").toBase64());
}

TEST(PercentEncodeTest, EncodesEveryUtf8Byte)
{
    EXPECT_EQ(PercentEncode(QStringLiteral("ab")), "%61%62");
    EXPECT_EQ(PercentEncode(QStringLiteral("/")), "%2F");
    EXPECT_EQ(PercentEncode(QStringLiteral("中")), "%E4%B8%AD");
    EXPECT_EQ(PercentEncode(QString()), "");
}

} // namespace
} // namespace skysail
