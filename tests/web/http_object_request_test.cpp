#include "web/http_object_request.h"

#include "support/loopback_server.h"

#include <gtest/gtest.h>

namespace skysail {
namespace {

using test::CapturedRequest;
using test::Connection;
using test::HttpReply;
using test::LoopbackServer;

const QByteArray kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

TEST(HttpObjectRequestTest, OnlyTheUrlSendsAGetWithTheFiveDefaults)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200, {}, "picture")));
    const QString url = server.UrlText("/captcha.png");
    EXPECT_EQ(HttpObjectRequest(url), "picture");
    ASSERT_EQ(server.Requests().size(), 1u);
    const CapturedRequest sent = server.Requests().front();
    EXPECT_EQ(sent.requestLine, "GET /captcha.png HTTP/1.1");
    const QList<QByteArray> expected { "Host: 127.0.0.1:" + QByteArray::number(server.Port()), "Accept: */*",
        "Referer: " + url.toLatin1(), "Accept-Language: zh-cn", "User-Agent: " + kAgent,
        "Content-Type: application/x-www-form-urlencoded" };
    EXPECT_EQ(sent.headerLines, expected);
}

TEST(HttpObjectRequestTest, CompletesHeadersWithCaseAndSendsEachLineOnce)
{
    struct Case
    {
        QString headers;
        int method;
        QList<QByteArray> firstLines; // after Host, before the defaults that follow
        QByteArray requestLine;
        int lineCount; // Host and Content-Length included
    };
    const Case cases[] = {
        { "Accept: image/png", 0, { "Accept: image/png" }, "GET / HTTP/1.1", 6 },
        { "accept: image/png\r\n\r\nnot a header\r\n X-A : 1 \r\n: nameless", 7,
            { "accept: image/png", "X-A: 1", "Accept: */*" }, "GET / HTTP/1.1", 8 },
        { {}, 1, { "Accept: */*" }, "POST / HTTP/1.1", 7 },
    };
    for (const Case& c : cases) {
        LoopbackServer server(LoopbackServer::Canned(HttpReply(200)));
        HttpObjectRequest(server.UrlText(), { .method = c.method, .headers = c.headers });
        ASSERT_EQ(server.Requests().size(), 1u);
        const CapturedRequest sent = server.Requests().front();
        EXPECT_EQ(sent.requestLine, c.requestLine);
        EXPECT_EQ(sent.headerLines.mid(1, c.firstLines.size()), c.firstLines) << c.headers.toStdString();
        EXPECT_EQ(sent.headerLines.size(), c.lineCount) << c.headers.toStdString();
        EXPECT_EQ(sent.Header("User-Agent"), kAgent);
    }
}

TEST(HttpObjectRequestTest, ReturnsHeadersStatusAndCookiesAndMergesWhenCookiesArePassed)
{
    const QByteArray reply
        = HttpReply(404, { "Set-Cookie: a=1; path=/", "set-cookie: b=2", "X-Other: set-cookie-like" }, "not here");
    LoopbackServer server(LoopbackServer::Canned(reply));
    QString returnedCookies = QStringLiteral("stale");
    QString returnedHeaders;
    int status = -1;
    EXPECT_EQ(HttpObjectRequest(server.UrlText(),
                  { .returnedCookies = &returnedCookies, .returnedHeaders = &returnedHeaders, .status = &status }),
        "not here");
    EXPECT_EQ(status, 404);
    EXPECT_EQ(returnedHeaders,
        "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nX-Other: Set-Cookie-like\r\nContent-Length: 8\r\n");
    EXPECT_EQ(returnedCookies, "a=1; b=2; X-Other: Set-Cookie-like");

    QString cookies = QStringLiteral("b=0; z=9");
    HttpObjectRequest(server.UrlText(), { .cookies = &cookies, .returnedCookies = &returnedCookies });
    EXPECT_EQ(server.Requests().back().Header("Cookie"), "b=0; z=9");
    EXPECT_EQ(returnedCookies, "a=1; b=2; X-Other:Set-Cookie-like; z=9");
    EXPECT_EQ(cookies, returnedCookies);

    cookies = QStringLiteral("z=9");
    HttpObjectRequest(
        server.UrlText(), { .cookies = &cookies, .returnedCookies = &returnedCookies, .mergeCookies = false });
    EXPECT_EQ(cookies, "z=9");
    EXPECT_EQ(returnedCookies, "a=1; b=2; X-Other: Set-Cookie-like");
}

TEST(HttpObjectRequestTest, RedirectsAndCertificatesForOtherHosts)
{
    LoopbackServer tls(LoopbackServer::Canned(HttpReply(200, {}, "over tls")), LoopbackServer::Transport::Tls);
    LoopbackServer server(LoopbackServer::Canned(HttpReply(302, { "Location: " + tls.Url("/final") }, "own body")));
    int status = 0;
    EXPECT_EQ(HttpObjectRequest(server.UrlText(), { .status = &status, .noRedirect = true }), "own body");
    EXPECT_EQ(status, 302);
    EXPECT_TRUE(tls.Requests().empty());

    EXPECT_EQ(HttpObjectRequest(server.UrlText(), { .status = &status }), "over tls");
    EXPECT_EQ(status, 200);
    ASSERT_EQ(tls.Requests().size(), 1u);
    EXPECT_EQ(tls.Requests().front().target, "/final");
}

TEST(HttpObjectRequestTest, ProxyCredentialsOnlyWithBasicAuth)
{
    LoopbackServer proxy(LoopbackServer::Canned(HttpReply(200, {}, "proxied")));
    const QString proxyAddress = QStringLiteral("127.0.0.1:%1").arg(proxy.Port());
    EXPECT_EQ(
        HttpObjectRequest(QStringLiteral("http://img.example/a.png"),
            { .proxy = proxyAddress, .proxyUser = QStringLiteral("user"), .proxyPassword = QStringLiteral("pw") }),
        "proxied");
    HttpObjectRequest(QStringLiteral("http://img.example/b.png"),
        { .proxy = proxyAddress, .proxyUser = QStringLiteral("user"), .proxyBasicAuth = 0 });
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "http://img.example/a.png");
    EXPECT_EQ(requests[0].Header("Proxy-Authorization"), "Basic " + QByteArray("user:pw").toBase64());
    EXPECT_TRUE(requests[1].Header("Proxy-Authorization").isEmpty());
}

TEST(HttpObjectRequestTest, ANetworkFailureEmptiesTheOutputs)
{
    LoopbackServer server([](const CapturedRequest&, Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Length: 50\r\n\r\nhalf");
        c.Reset();
    });
    QString cookies = QStringLiteral("keep=1");
    QString returnedCookies = QStringLiteral("x");
    QString returnedHeaders = QStringLiteral("x");
    int status = 7;
    EXPECT_EQ(HttpObjectRequest(server.UrlText(),
                  { .cookies = &cookies,
                      .returnedCookies = &returnedCookies,
                      .returnedHeaders = &returnedHeaders,
                      .status = &status,
                      .timeoutSeconds = 1 }),
        QByteArray());
    EXPECT_EQ(returnedCookies, "");
    EXPECT_EQ(returnedHeaders, "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(cookies, "keep=1");
}

} // namespace
} // namespace skysail
