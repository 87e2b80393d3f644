#include "web/http_core.h"

#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <thread>

namespace skysail {
namespace {

using test::CapturedRequest;
using test::Connection;
using test::HttpReply;
using test::LoopbackServer;

TEST(HttpCoreTest, SendsExactlyTheGivenLinesInOrder)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200, { "X-Reply: 1" }, "body")));
    HttpRequest request;
    request.method = "POST";
    request.url = server.Url("/a/../b?x=%41");
    request.headerLines = { "Z-Last: 1", "x-empty:", "no colon here", "Evil: a\nInjected: b", "A-First:  two  words" };
    request.body = QByteArray("k=v\0z", 5);
    const HttpResult result = PerformRequest(request);

    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "body");
    EXPECT_EQ(result.rawHeaders, "HTTP/1.1 200 OK\r\nX-Reply: 1\r\nContent-Length: 4\r\n");
    ASSERT_EQ(server.Requests().size(), 1u);
    const CapturedRequest sent = server.Requests().front();
    EXPECT_EQ(sent.requestLine, "POST /a/../b?x=%41 HTTP/1.1");
    const QList<QByteArray> expected { "Host: 127.0.0.1:" + QByteArray::number(server.Port()), "Z-Last: 1",
        "x-empty:", "A-First:  two  words", "Content-Length: 5" };
    EXPECT_EQ(sent.headerLines, expected);
    EXPECT_EQ(sent.body, QByteArray("k=v\0z", 5));
}

TEST(HttpCoreTest, HeadAndGetCarryNoBody)
{
    LoopbackServer server(LoopbackServer::Canned(HttpReply(200, {}, "abc")));
    HttpHandle handle;
    for (const QByteArray& method : { QByteArray("HEAD"), QByteArray("GET") }) {
        HttpRequest request;
        request.method = method;
        request.url = server.Url();
        const HttpResult result = PerformRequest(request, &handle);
        EXPECT_TRUE(result.Ok());
        EXPECT_EQ(result.body, method == "HEAD" ? "" : "abc");
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "HEAD");
    EXPECT_TRUE(requests[1].Header("Content-Length").isEmpty());
    EXPECT_EQ(server.AcceptedConnections(), 1); // the caller's handle kept the connection
}

TEST(HttpCoreTest, CredentialsGoToTheServerAndToTheProxyAsBasic)
{
    LoopbackServer proxy(LoopbackServer::Canned(HttpReply(200, {}, "proxied")));
    HttpRequest request;
    request.url = "http://target.example/p";
    request.proxy = "127.0.0.1:" + QByteArray::number(proxy.Port());
    request.proxyUser = "pu";
    request.proxyPassword = "pp:x";
    request.user = "su";
    request.password = "sp";
    const HttpResult result = PerformRequest(request);
    EXPECT_EQ(result.body, "proxied");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    const CapturedRequest sent = proxy.Requests().front();
    EXPECT_EQ(sent.target, "http://target.example/p");
    EXPECT_EQ(sent.Header("Proxy-Authorization"), "Basic " + QByteArray("pu:pp:x").toBase64());
    EXPECT_EQ(sent.Header("Authorization"), "Basic " + QByteArray("su:sp").toBase64());
}

TEST(HttpCoreTest, BrokenServersEndInADefinedFailure)
{
    struct Case
    {
        const char* what;
        std::function<void(Connection&)> behaviour;
        HttpFailure failure;
        bool headersComplete;
    };
    const QByteArray partial = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial";
    QByteArray manyHeaders = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 4000; ++i)
        manyHeaders += "X-Filler: " + QByteArray(300, 'a') + "\r\n";
    const Case cases[] = {
        { "silent", [](Connection& c) { c.Stall(); }, HttpFailure::Timeout, false },
        { "stalls mid-body",
            [&](Connection& c) {
                c.Send(partial);
                c.Stall();
            },
            HttpFailure::Timeout, true },
        { "resets mid-body",
            [&](Connection& c) {
                c.Send(partial);
                c.Reset();
            },
            HttpFailure::Receive, true },
        { "resets before replying", [](Connection& c) { c.Reset(); }, HttpFailure::Receive, false },
        { "garbage status line", [](Connection& c) { c.Send("SSH-2.0-x\r\n\r\n"); }, HttpFailure::BadReply, false },
        { "header line without colon", [](Connection& c) { c.Send("HTTP/1.1 200 OK\r\nbroken\r\n\r\n"); },
            HttpFailure::BadReply, false },
        { "one huge header line", [](Connection& c) { c.Send("HTTP/1.1 200 OK\r\nX: " + QByteArray(300000, 'h')); },
            HttpFailure::TooLarge, false },
        { "huge header block", [&](Connection& c) { c.Send(manyHeaders); }, HttpFailure::TooLarge, false },
        { "body over the cap", [](Connection& c) { c.Send(HttpReply(200, {}, QByteArray(5000, 'b'))); },
            HttpFailure::TooLarge, true },
    };
    for (const Case& c : cases) {
        LoopbackServer server([&](const CapturedRequest&, Connection& connection) { c.behaviour(connection); });
        HttpRequest request;
        request.url = server.Url();
        request.stallTimeout = std::chrono::seconds(1);
        request.maxBodyBytes = 4096;
        const HttpResult result = PerformRequest(request);
        EXPECT_EQ(result.failure, c.failure) << c.what;
        EXPECT_TRUE(result.requestSent) << c.what;
        EXPECT_EQ(result.headersComplete, c.headersComplete) << c.what;
        EXPECT_LE(result.body.size(), 4096) << c.what;
    }
}

TEST(HttpCoreTest, FailsBeforeSendingOnBadAddressesAndClosedPorts)
{
    HttpRequest request;
    for (const QByteArray& url : { QByteArray("ftp://127.0.0.1/"), QByteArray("no scheme"), QByteArray("") }) {
        request.url = url;
        EXPECT_EQ(PerformRequest(request).failure, HttpFailure::BadUrl) << url.constData();
    }
    quint16 closedPort;
    {
        LoopbackServer gone(LoopbackServer::Canned({}));
        closedPort = gone.Port();
    }
    request.url = "http://127.0.0.1:" + QByteArray::number(closedPort) + "/";
    const HttpResult result = PerformRequest(request);
    EXPECT_EQ(result.failure, HttpFailure::Connect);
    EXPECT_FALSE(result.requestSent);
}

TEST(HttpCoreTest, CancelEndsASilentTransfer)
{
    LoopbackServer server([](const CapturedRequest&, Connection& c) { c.Stall(); });
    auto cancel = std::make_shared<CancelToken>();
    HttpRequest request;
    request.url = server.Url();
    request.stallTimeout = std::chrono::seconds(100);
    request.cancel = cancel;
    std::thread canceller([&] {
        server.WaitForRequests(1);
        cancel->Cancel();
    });
    EXPECT_EQ(PerformRequest(request).failure, HttpFailure::Cancelled);
    canceller.join();
    EXPECT_EQ(PerformRequest(request).failure, HttpFailure::Cancelled); // already set: nothing is sent
    EXPECT_EQ(server.Requests().size(), 1u);
}

} // namespace
} // namespace skysail
