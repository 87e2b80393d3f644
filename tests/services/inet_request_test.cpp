#include "services/inet_request.h"

#include "support/loopback_server.h"

#include <gtest/gtest.h>

namespace skysail {
namespace {

using test::CapturedRequest;
using test::Connection;
using test::HttpReply;
using test::LoopbackServer;

const QByteArray kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; Rvn4; .NET CLR 2.0.50727; .NET "
                                 "CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// The caller's variables of one call, with recognisable starting values.
struct Call
{
    QString cookies;
    QString returnedCookies = QStringLiteral("old-returned");
    QString extraHeaders;
    QString redirect = QStringLiteral("old-redirect");
    QByteArray bodyBytes;
    QString rawHeaders = QStringLiteral("old-raw");
    InetRequestControl control;

    QByteArray Run(const QString& url, int method = 0, const QString& bodyText = {}, bool noRedirect = true,
        const std::optional<QString>& proxy = std::nullopt)
    {
        return InetRequest(url, method, bodyText, cookies, returnedCookies, extraHeaders, redirect, noRedirect,
            bodyBytes, proxy, rawHeaders, control);
    }
};

TEST(InetRequestTest, GetWithoutExtraHeadersSendsExactlyTheDefaults)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200, {}, "hello")));
    const QString url = server.UrlText("/path?q=1");
    Call call;
    EXPECT_EQ(call.Run(url), "hello");

    ASSERT_EQ(server.Requests().size(), 1u);
    const CapturedRequest request = server.Requests().front();
    EXPECT_EQ(request.requestLine, "GET /path?q=1 HTTP/1.1");
    const QList<QByteArray> expected { "Host: 127.0.0.1:" + QByteArray::number(server.Port()),
        "User-Agent: " + kDefaultAgent, "Referer: " + url.toLatin1(), "Accept: */*", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded" };
    EXPECT_EQ(request.headerLines, expected);
    EXPECT_TRUE(request.body.isEmpty());
    EXPECT_EQ(call.extraHeaders,
        "Referer: " + url
            + "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded");
}

TEST(InetRequestTest, CompletesTheCallersHeadersCaseSensitivelyButFindsTheAgentInAnyCase)
{
    struct Case
    {
        QString extraHeaders;
        QString cookies;
        QString completed; // %1 stands for the url
        QByteArray agent;
        int agentLines;
    };
    const Case cases[] = {
        { "Referer: r\r\nContent-Type: text/plain", {},
            "Referer: r\r\nContent-Type: text/plain\r\nAccept: */*\r\nAccept-Language: zh-cn", kDefaultAgent, 1 },
        { "accept: text/x\r\nuser-agent:  Custom/1 ", {},
            "accept: text/x\r\nuser-agent:  Custom/1 \r\nReferer: %1\r\nAccept: */*\r\nAccept-Language: "
            "zh-cn\r\nContent-Type: application/x-www-form-urlencoded",
            "Custom/1", 1 },
        { {}, "a=1; b=2",
            "Referer: %1\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
            "application/x-www-form-urlencoded\r\nCookie: a=1; b=2",
            kDefaultAgent, 1 },
    };
    for (const Case& c : cases) {
        LoopbackServer server(LoopbackServer::Canned(HttpReply(200)));
        const QString url = server.UrlText("/x");
        Call call;
        call.extraHeaders = c.extraHeaders;
        call.cookies = c.cookies;
        call.Run(url);
        EXPECT_EQ(call.extraHeaders, QString(c.completed).replace(QStringLiteral("%1"), url))
            << c.extraHeaders.toStdString();
        ASSERT_EQ(server.Requests().size(), 1u);
        const CapturedRequest request = server.Requests().front();
        EXPECT_EQ(request.Header("User-Agent"), c.agent);
        const auto names = request.HeaderNames();
        EXPECT_EQ(std::count_if(names.begin(), names.end(),
                      [](const QByteArray& name) { return name.compare("User-Agent", Qt::CaseInsensitive) == 0; }),
            c.agentLines);
        if (!c.cookies.isEmpty()) {
            EXPECT_EQ(request.Header("Cookie"), c.cookies.toLatin1());
        }
    }
}

TEST(InetRequestTest, PostSendsTheBodyExactlyAndKeepsItInTheCallersBytes)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200)));
    Call call;
    call.Run(server.UrlText("/upload"), 1, QStringLiteral("a=1&b=中"));
    const QByteArray gbkBody = "a=1&b=\xD6\xD0";
    EXPECT_EQ(call.bodyBytes, gbkBody);

    // A large body goes out at once, without the library waiting for "100 Continue".
    call.bodyBytes = QByteArray(3 * 1024 * 1024, 'x');
    call.bodyBytes[12345] = '\0';
    const QByteArray big = call.bodyBytes;
    call.Run(server.UrlText("/upload"), 1, QStringLiteral("ignored"));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "POST /upload HTTP/1.1");
    EXPECT_EQ(requests[0].body, gbkBody);
    EXPECT_EQ(requests[0].Header("Content-Length"), "8");
    EXPECT_EQ(requests[1].body, big);
    EXPECT_EQ(call.bodyBytes, big);
    for (const CapturedRequest& request : requests) {
        EXPECT_TRUE(request.Header("Expect").isEmpty());
        EXPECT_TRUE(request.Header("Accept-Encoding").isEmpty());
    }
}

TEST(InetRequestTest, ScansTheReplyForLocationAndCookiesAndMergesThem)
{
    const QByteArray reply = HttpReply(302,
        { "Location:  /next ", "Set-Cookie: sid=2; Path=/", "Set-Cookie: lang=deleted; Path=/", "set-cookie: lower=1" },
        "moved");
    LoopbackServer server(LoopbackServer::Canned(reply));
    Call call;
    call.cookies = QStringLiteral("sid=1; lang=en");
    EXPECT_EQ(call.Run(server.UrlText("/a"), 0, {}, true), "moved");
    EXPECT_EQ(server.Requests().size(), 1u); // not followed
    EXPECT_EQ(call.redirect, "/next");
    EXPECT_EQ(call.returnedCookies, "sid=2;lang=deleted");
    EXPECT_EQ(call.cookies, "sid=2");
    EXPECT_EQ(call.rawHeaders, QString::fromLatin1(reply.left(reply.indexOf("\r\n\r\n") + 2)));
}

TEST(InetRequestTest, WithoutLocationTheRedirectAddressIsTheRawHeaderBlock)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200, { "X-One: 1" }, "ok")));
    Call call;
    call.cookies = QStringLiteral("a=1;b=2");
    call.Run(server.UrlText());
    EXPECT_EQ(call.rawHeaders, "HTTP/1.1 200 OK\r\nX-One: 1\r\nContent-Length: 2\r\n");
    EXPECT_EQ(call.redirect, call.rawHeaders);
    EXPECT_EQ(call.returnedCookies, "");
    EXPECT_EQ(call.cookies, "a=1; b=2");
}

TEST(InetRequestTest, FollowsRedirectsIncludingToHttpsButKeepsCertificateChecks)
{
    LoopbackServer tls(LoopbackServer::Canned(HttpReply(200, {}, "secret")), LoopbackServer::Transport::Tls);
    LoopbackServer server([&](const CapturedRequest& request, Connection& connection) {
        if (request.target == "/start")
            connection.Send(HttpReply(302, { "Location: /middle" }));
        else if (request.target == "/middle")
            connection.Send(HttpReply(200, {}, "arrived"));
        else
            connection.Send(HttpReply(301, { "Location: " + tls.Url("/final") }));
    });
    Call call;
    EXPECT_EQ(call.Run(server.UrlText("/start"), 0, {}, false), "arrived");
    EXPECT_TRUE(call.rawHeaders.startsWith("HTTP/1.1 200 OK")); // the last reply's block

    // The certificate is made out to another host and signed by no one we trust.
    EXPECT_EQ(call.Run(server.UrlText("/secure"), 0, {}, false), "");
    EXPECT_EQ(tls.AcceptedConnections(), 1);
    EXPECT_TRUE(tls.Requests().empty());
}

TEST(InetRequestTest, ProxyServesHttpAddressesOnly)
{
    LoopbackServer proxy(LoopbackServer::Canned(HttpReply(200, {}, "via proxy")));
    LoopbackServer tls(LoopbackServer::Canned(HttpReply(200)), LoopbackServer::Transport::Tls);
    const QString proxyAddress = QStringLiteral("127.0.0.1:%1").arg(proxy.Port());
    Call call;
    EXPECT_EQ(call.Run(QStringLiteral("http://img.example:8080/a.png"), 0, {}, true, proxyAddress), "via proxy");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests().front().requestLine, "GET http://img.example:8080/a.png HTTP/1.1");
    EXPECT_EQ(proxy.Requests().front().Header("Host"), "img.example:8080");

    call.Run(tls.UrlText("/b"), 0, {}, true, proxyAddress);
    EXPECT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(tls.AcceptedConnections(), 1);
}

TEST(InetRequestTest, AnAddressThatCannotBeRequestedLeavesEveryOutputAlone)
{
    for (const QString& url :
        { QStringLiteral("http:///path"), QStringLiteral("http://host:99999/"), QStringLiteral("http://bad host/") }) {
        Call call;
        call.cookies = QStringLiteral("a = 1");
        call.extraHeaders = QStringLiteral("X: 1");
        EXPECT_EQ(call.Run(url, 1, QStringLiteral("body")), QByteArray()) << url.toStdString();
        EXPECT_EQ(call.cookies, "a = 1");
        EXPECT_EQ(call.returnedCookies, "old-returned");
        EXPECT_EQ(call.extraHeaders, "X: 1");
        EXPECT_EQ(call.redirect, "old-redirect");
        EXPECT_TRUE(call.bodyBytes.isEmpty());
        EXPECT_EQ(call.rawHeaders, "old-raw");
        QString cookies, returned, headers, redirect, raw;
        QByteArray bytes;
        EXPECT_EQ(InetRequestText(url, 0, {}, cookies, returned, headers, redirect, false, bytes, {}, raw), "");
    }
}

TEST(InetRequestTest, BrokenServersGiveAnEmptyReply)
{
    const std::function<void(Connection&)> behaviours[] = {
        [](Connection& c) { c.Stall(); }, // never answers
        [](Connection& c) {
            c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
            c.Stall();
        },
        [](Connection& c) {
            c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
            c.Reset();
        },
        [](Connection& c) { c.Send("garbage\r\n\r\nbody"); },
        [](Connection& c) { c.Send("HTTP/1.1 200 OK\r\n" + QByteArray(2 * 1024 * 1024, 'h') + "\r\n\r\n"); },
    };
    for (const auto& behaviour : behaviours) {
        LoopbackServer server([&](const CapturedRequest&, Connection& c) { behaviour(c); });
        Call call;
        call.cookies = QStringLiteral("a=1");
        call.control.stallTimeout = std::chrono::seconds(1);
        EXPECT_EQ(call.Run(server.UrlText()), QByteArray());
        EXPECT_EQ(call.cookies, "a=1");
        EXPECT_EQ(call.redirect, call.rawHeaders);
        EXPECT_EQ(call.returnedCookies, "");
    }
}

TEST(InetRequestTest, CancelAbortsATransferInFlight)
{
    LoopbackServer server([](const CapturedRequest&, Connection& c) { c.Stall(); });
    auto cancel = std::make_shared<CancelToken>();
    Call call;
    call.control.cancel = cancel;
    call.control.stallTimeout = std::chrono::seconds(100);
    std::thread canceller([&] {
        server.WaitForRequests(1);
        cancel->Cancel();
    });
    EXPECT_EQ(call.Run(server.UrlText()), QByteArray());
    canceller.join();
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(InetRequestTest, TextIsTheUtf8ReplyInTheSystemCodePage)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200, {}, "{\"msg\":\"中文 \xF0\x9F\x98\x80\"}")));
    QString cookies, returned, headers, redirect, raw;
    QByteArray bytes;
    EXPECT_EQ(InetRequestText(server.UrlText(), 0, {}, cookies, returned, headers, redirect, false, bytes, {}, raw),
        QStringLiteral("{\"msg\":\"中文 ?\"}"));
}

TEST(UrlRoutinesTest, SplitAddressesAsTheRequestDoes)
{
    struct Case
    {
        QString url;
        QString host;
        QString hostWithPort;
        int port;
        QString path;
    };
    const Case cases[] = {
        { "https://IMG.Example.COM:8443/Up/Load?a=B", "img.example.com", "img.example.com:8443", 8443, "/Up/Load?a=B" },
        { "https://img.example.com", "img.example.com", "img.example.com", 443, "/" },
        { "http://relay.example:672/v1/upload", "relay.example", "relay.example:672", 672, "/v1/upload" },
        { "img.example/a.png", "img.example", "img.example", 80, "/a.png" },
        { "HTTP://x.example:abc/", "x.example", "x.example:abc", 0, "/" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UrlHost(c.url), c.host) << c.url.toStdString();
        EXPECT_EQ(UrlHost(c.url, false, true), c.hostWithPort) << c.url.toStdString();
        EXPECT_EQ(UrlPort(c.url), c.port) << c.url.toStdString();
        EXPECT_EQ(UrlPath(c.url), c.path) << c.url.toStdString();
    }
    EXPECT_EQ(UrlHost(QStringLiteral("http://a.b.example.com:80/"), true, true), "example.com:80");
}

} // namespace
} // namespace skysail
