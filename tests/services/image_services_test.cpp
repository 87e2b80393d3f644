#include "services/image_services.h"

#include "services/image_prep.h"
#include "support/loopback_server.h"
#include "support/multipart_reader.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

namespace skysail {
namespace {

using test::CapturedRequest;
using test::Connection;
using test::FormPart;
using test::HttpReply;
using test::LoopbackServer;

// The outside world of a client: the HTTPS box, the watermark values, the badge.
class FakeContext final : public ServiceContext
{
public:
    bool HttpsChecked() override { return https; }
    WatermarkSnapshot Watermark() override { return watermark; }
    void ShowFailedBadge() override { ++failedBadges; }
    InetRequestControl RequestControl() override
    {
        InetRequestControl control;
        control.connectTimeout = std::chrono::milliseconds(2000);
        control.stallTimeout = std::chrono::seconds(1);
        return control;
    }

    bool https = true;
    WatermarkSnapshot watermark;
    int failedBadges = 0;
};

LoopbackServer::Handler Json(const QByteArray& body)
{
    return LoopbackServer::Canned(HttpReply(200, { "Content-Type: application/json" }, body));
}

// The form parts of a request as a server reads them; fails the test when they do not read.
QList<FormPart> Parts(const CapturedRequest& request)
{
    const auto parts = test::ReadMultipart(request.Header("Content-Type"), request.body);
    EXPECT_TRUE(parts.has_value()) << request.raw.left(600).constData();
    return parts.value_or(QList<FormPart>());
}

const QByteArray kImage("\x89PNG\r\n\x1A\nnot really a picture, but bytes to carry \xCD\xBC\xC6\xAC", 52);

QByteArray SmallPng()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(30, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

QByteArray SmallBmpMark()
{
    QByteArray mark = SmallPng();
    CheckImage(mark);
    return mark;
}

// ---------------------------------------------------------------- SM

class SmService : public ::testing::Test
{
protected:
    void Serve(const QByteArray& replyBody)
    {
        m_server = std::make_unique<LoopbackServer>(Json(replyBody));
        m_endpoints.smUploadUrl = m_server->UrlText("/api/upload?inajax=1&ssl=1");
        m_endpoints.smSiteRoot = QStringLiteral("https://sm.test/");
    }
    QString Upload(QByteArray image = kImage) { return UploadToSm(image, m_context, m_endpoints); }

    std::unique_ptr<LoopbackServer> m_server;
    Endpoints m_endpoints = DefaultEndpoints();
    FakeContext m_context;
};

TEST_F(SmService, PostsTheSmFormAndReturnsTheLink)
{
    Serve(R"({"success":true,"code":"success","data":{"url":"https://i.sm.test/2026/a.png"}})");
    EXPECT_EQ(Upload(), QStringLiteral("https://i.sm.test/2026/a.png"));
    EXPECT_EQ(m_context.failedBadges, 0);

    ASSERT_EQ(m_server->Requests().size(), 1u);
    const CapturedRequest request = m_server->Requests().front();
    EXPECT_EQ(request.requestLine, "POST /api/upload?inajax=1&ssl=1 HTTP/1.1");
    const QList<QByteArray> names = request.HeaderNames();
    const QList<QByteArray> expectedTail { "Content-Type", "Referer", "Accept", "Accept-Language", "Content-Length" };
    ASSERT_GE(names.size(), expectedTail.size());
    EXPECT_EQ(names.mid(names.indexOf("Content-Type")), expectedTail);
    EXPECT_EQ(request.Header("Content-Type"), "multipart/form-data; boundary=----WebKitFormBoundaryKV1UABbXnWgQiZBs");
    EXPECT_EQ(request.Header("Referer"), "https://sm.test/");
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.Header("Accept-Language"), "zh-cn");

    const QList<FormPart> parts = Parts(request);
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0].name, "smfile");
    EXPECT_EQ(parts[0].fileName,
        QByteArray("QQ\xBD\xD8\xCD\xBC"
                   "20180115133921.png"));
    EXPECT_EQ(parts[0].contentType, "image/png");
    EXPECT_EQ(parts[0].content, kImage);
    EXPECT_EQ(parts[1].name, "file_id");
    EXPECT_EQ(parts[1].content, "0");
}

TEST_F(SmService, WithoutHttpsEveryLowerCaseHttpsBecomesHttp)
{
    m_context.https = false;
    Serve(R"({"data":{"url":"https://i.sm.test/https/A.png?HTTPS"}})");
    EXPECT_EQ(Upload(), QStringLiteral("http://i.sm.test/http/A.png?HTTPS"));
    Serve(R"({"data":{"url":"http://i.sm.test/b.png"}})");
    EXPECT_EQ(Upload(), QStringLiteral("http://i.sm.test/b.png"));
}

// Replies without a link: the row is the error member's text (often empty) and the float
// window shows the failure.
TEST_F(SmService, RepliesWithoutALinkGiveTheErrorTextAndTheBadge)
{
    QByteArray hugeLink = R"({"data":{"url":")";
    hugeLink.append(QByteArray(1024 * 1024, 'x'));
    hugeLink.append(R"("}})");
    struct Case
    {
        QByteArray reply;
        QString row;
        int badges;
    };
    const Case cases[] = {
        { R"({"success":false,"code":"image_repeated","error":"Image upload repeated limit."})",
            QStringLiteral("Image upload repeated limit."), 1 },
        { "", QString(), 1 },
        { "<html><body><h1>502 Bad Gateway</h1></body></html>", QString(), 1 },
        { QByteArray("\x00\xFF\xFE garbage \x81", 14), QString(), 1 },
        { R"({"data":{"url":{"nested":"x"}},"error":"odd"})", QStringLiteral("odd"), 1 },
        { R"({"data":{"url":["x"]}})", QString(), 1 },
        { R"({"data":{"url":12345}})", QStringLiteral("12345"), 0 }, // a number reads as its text
        { hugeLink, QString(1024 * 1024, QLatin1Char('x')), 0 },
    };
    for (const Case& c : cases) {
        m_context.failedBadges = 0;
        Serve(c.reply);
        const QString row = Upload();
        EXPECT_EQ(row.size(), c.row.size()) << c.reply.left(80).constData();
        EXPECT_TRUE(row == c.row) << c.reply.left(80).constData();
        EXPECT_EQ(m_context.failedBadges, c.badges) << c.reply.left(80).constData();
    }
}

TEST_F(SmService, WatermarkSendsAJpegUnderTheFixedNames)
{
    Serve(R"({"data":{"url":"https://i.sm.test/w.png"}})");
    m_context.watermark = { kOn, SmallBmpMark() };
    QByteArray image = SmallPng();
    EXPECT_EQ(UploadToSm(image, m_context, m_endpoints), QStringLiteral("https://i.sm.test/w.png"));
    EXPECT_TRUE(image.startsWith("\xFF\xD8")); // the caller's bytes became the prepared JPEG

    const QList<FormPart> parts = Parts(m_server->Requests().front());
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0].contentType, "image/png");
    EXPECT_EQ(parts[0].content, image);
    EXPECT_FALSE(QImage::fromData(parts[0].content, "JPEG").isNull());
}

TEST_F(SmService, ABrokenImageStopsBeforeAnyRequest)
{
    Serve(R"({"data":{"url":"https://i.sm.test/never.png"}})");
    m_context.watermark = { kOn, SmallBmpMark() };
    EXPECT_EQ(Upload(QByteArray("not a picture")), kEmptyImageError);
    EXPECT_TRUE(m_server->Requests().empty());
    EXPECT_EQ(m_context.failedBadges, 0);

    // With the watermark off nothing checks the bytes: they go out as they are.
    m_context.watermark = { kOff, SmallBmpMark() };
    EXPECT_EQ(Upload(QByteArray()), QStringLiteral("https://i.sm.test/never.png"));
    EXPECT_TRUE(Parts(m_server->Requests().front()).value(0).content.isEmpty());
}

// ---------------------------------------------------------------- Sinaimg

class SinaimgService : public ::testing::Test
{
protected:
    // A relay whose host list names 127.0.0.1 with some other port; uploads go to the
    // upload server's port whatever the list says.
    void Serve(const QByteArray& hostList, const QByteArray& replyBody)
    {
        m_relay = std::make_unique<LoopbackServer>(LoopbackServer::Canned(HttpReply(200, {}, hostList)));
        m_upload = std::make_unique<LoopbackServer>(Json(replyBody));
        m_endpoints.sinaimgHostListUrl = m_relay->UrlText("/api/hosts");
        m_endpoints.sinaimgUploadPort = m_upload->Port();
        m_endpoints.sinaimgImageHost = QStringLiteral("image.sinaimg.test");
        m_endpoints.sinaimgSiteRoot = QStringLiteral("http://sinaimg.test/");
    }
    QString Upload(QByteArray image = kImage) { return UploadToSinaimg(image, m_context, m_endpoints); }

    std::unique_ptr<LoopbackServer> m_relay;
    std::unique_ptr<LoopbackServer> m_upload;
    Endpoints m_endpoints = DefaultEndpoints();
    FakeContext m_context;
};

const QByteArray kHostList = R"({"hosts":["HTTP://127.0.0.1:2333/","http://192.0.2.1:80/"]})";

TEST_F(SinaimgService, AsksTheRelayThenPostsToItsFirstHostOnTheUploadPort)
{
    Serve(kHostList, R"({"wbpid":"006abc","size":52})");
    EXPECT_EQ(Upload(), QStringLiteral("https://image.sinaimg.test/large/006abc"));
    m_context.https = false;
    EXPECT_EQ(Upload(), QStringLiteral("http://image.sinaimg.test/large/006abc"));
    EXPECT_EQ(m_context.failedBadges, 0);

    // The host list is asked anew for every image.
    ASSERT_EQ(m_relay->Requests().size(), 2u);
    const CapturedRequest list = m_relay->Requests().front();
    EXPECT_EQ(list.requestLine, "GET /api/hosts HTTP/1.1");
    EXPECT_EQ(list.Header("Referer"), m_relay->Url("/api/hosts"));

    ASSERT_EQ(m_upload->Requests().size(), 2u);
    const CapturedRequest upload = m_upload->Requests().front();
    EXPECT_EQ(upload.requestLine, "POST /v1/upload HTTP/1.1");
    EXPECT_EQ(upload.Header("Host"), "127.0.0.1:" + QByteArray::number(m_upload->Port()));
    EXPECT_EQ(upload.Header("Content-Type"), "multipart/form-data; boundary=----WebKitFormBoundarykbmjvH1knMdq4icr");
    EXPECT_EQ(upload.Header("Referer"), "http://sinaimg.test/");
    const QList<FormPart> parts = Parts(upload);
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].name, "file");
    EXPECT_EQ(parts[0].fileName, QByteArray("e8fd0fb1gy1fh3827un40g20l402imza.gif"));
    EXPECT_EQ(parts[0].contentType, "image/gif");
    EXPECT_EQ(parts[0].content, kImage);
}

TEST_F(SinaimgService, FailuresGiveTheErrorTextAndTheBadge)
{
    Serve(kHostList, R"({"error":"file too large"})");
    EXPECT_EQ(Upload(), QStringLiteral("file too large"));
    EXPECT_EQ(m_context.failedBadges, 1);

    Serve(kHostList, "<html>teapot</html>");
    EXPECT_EQ(Upload(), QString());
    EXPECT_EQ(m_context.failedBadges, 2);

    // A list without "http://" leaves the upload address without a host: nothing is posted.
    QByteArray hugeList(10 * 1024 * 1024, 'h');
    hugeList.append(":672");
    Serve(hugeList, R"({"wbpid":"never"})");
    EXPECT_EQ(Upload(), QString());
    EXPECT_EQ(m_context.failedBadges, 3);
    EXPECT_TRUE(m_upload->Requests().empty());
}

TEST_F(SinaimgService, ABrokenImageStillCostsTheHostListRequest)
{
    Serve(kHostList, R"({"wbpid":"never"})");
    m_context.watermark = { kOn, SmallBmpMark() };
    EXPECT_EQ(Upload(QByteArray("not a picture")), kEmptyImageError);
    EXPECT_EQ(m_relay->Requests().size(), 1u);
    EXPECT_TRUE(m_upload->Requests().empty());
    EXPECT_EQ(m_context.failedBadges, 0);
}

TEST_F(SinaimgService, ARelayThatNeverAnswersEndsAfterTheStallTimeOut)
{
    Serve(kHostList, R"({"wbpid":"never"})");
    m_relay
        = std::make_unique<LoopbackServer>([](const CapturedRequest&, Connection& connection) { connection.Stall(); });
    m_endpoints.sinaimgHostListUrl = m_relay->UrlText("/api/hosts");
    EXPECT_EQ(Upload(), QString());
    EXPECT_EQ(m_context.failedBadges, 1);
    EXPECT_TRUE(m_upload->Requests().empty());
}

// ---------------------------------------------------------------- Upload

class UploadService : public ::testing::Test
{
protected:
    void Serve(const QByteArray& replyBody)
    {
        m_server = std::make_unique<LoopbackServer>(Json(replyBody));
        m_endpoints.uploadUrl = m_server->UrlText("/image_upload");
        m_endpoints.uploadSiteHost = QStringLiteral("upload.test");
        m_endpoints.uploadSiteRoot = QStringLiteral("https://upload.test/");
    }
    QString Upload(QByteArray image = kImage) { return UploadToUpload(image, m_context, m_endpoints); }

    std::unique_ptr<LoopbackServer> m_server;
    Endpoints m_endpoints = DefaultEndpoints();
    FakeContext m_context;
};

TEST_F(UploadService, BuildsTheLinkFromTheFirstSuccessImage)
{
    Serve(R"({"success_image":[{"url":"i1/2018/10/03/abc.jpg"},{"url":"i1/second.jpg"}],"total_error":0})");
    EXPECT_EQ(Upload(), QStringLiteral("https://upload.test/i1/2018/10/03/abc.jpg"));
    m_context.https = false;
    EXPECT_EQ(Upload(), QStringLiteral("http://upload.test/i1/2018/10/03/abc.jpg"));

    const CapturedRequest request = m_server->Requests().front();
    EXPECT_EQ(request.requestLine, "POST /image_upload HTTP/1.1");
    EXPECT_EQ(request.Header("Content-Type"), "multipart/form-data; boundary=----WebKitFormBoundaryTYmBt5ALABQkvKH5");
    EXPECT_EQ(request.Header("Referer"), "https://upload.test/");
    const QList<FormPart> parts = Parts(request);
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].name, "uploaded_file[]");
    EXPECT_EQ(parts[0].fileName, QByteArray("Screenshot_20180929-104058.jpg"));
    EXPECT_EQ(parts[0].contentType, "image/jpeg");
    EXPECT_EQ(parts[0].content, kImage + "\r\n"); // the extra line end of this service's form
}

TEST_F(UploadService, FailuresGiveTotalErrorOrTheFixedTextAndNeverTheBadge)
{
    struct Case
    {
        QByteArray reply;
        QString row;
    };
    const Case cases[] = {
        { R"({"success_image":[],"total_error":0})", QStringLiteral("0") },
        { R"({"success_image":[],"total_error":"文件太大"})", QStringLiteral("文件太大") },
        { R"({"success_image":[{"name":"no url"}]})", kUploadFailedText },
        { "", kUploadFailedText },
        { "<html>error</html>", kUploadFailedText },
        { QByteArray("\xFF\xFE\x00garbage", 10), kUploadFailedText },
    };
    for (const Case& c : cases) {
        Serve(c.reply);
        EXPECT_EQ(Upload(), c.row) << c.reply.constData();
    }
    EXPECT_EQ(m_context.failedBadges, 0);
}

TEST_F(UploadService, ABrokenImageStopsBeforeAnyRequest)
{
    Serve(R"({"success_image":[{"url":"never.jpg"}]})");
    m_context.watermark = { kOn, SmallBmpMark() };
    EXPECT_EQ(Upload(QByteArray("\xFF\xD8 truncated jpeg")), kEmptyImageError);
    EXPECT_TRUE(m_server->Requests().empty());
}

} // namespace
} // namespace skysail
