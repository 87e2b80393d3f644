#include "services/multipart_templates.h"

#include "support/multipart_reader.h"

#include <QList>

#include <gtest/gtest.h>

namespace skysail {
namespace {

TEST(MultipartTemplates, HaveTheirFixedLengthsAndOnePlaceholder)
{
    struct Case
    {
        QByteArrayView text;
        qsizetype length;
        QByteArrayView contentType;
    };
    const Case cases[] = { { SinaimgTemplate(), 211, SinaimgContentType() }, { SmTemplate(), 296, SmContentType() },
        { UploadTemplate(), 219, UploadContentType() } };
    for (const Case& c : cases) {
        EXPECT_EQ(c.text.size(), c.length);
        EXPECT_EQ(c.text.toByteArray().count(TemplatePlaceholder()), 1);
        // The header's boundary has four dashes, the body's delimiter lines six.
        const QByteArray boundary = c.contentType.toByteArray().split('=').last();
        EXPECT_TRUE(c.text.startsWith(QByteArray("--" + boundary + "\r\n")));
        EXPECT_TRUE(c.text.endsWith(QByteArray("\r\n--" + boundary + "--")));
    }
    EXPECT_TRUE(SmTemplate().toByteArray().contains("filename=\"QQ\xBD\xD8\xCD\xBC"
                                                    "20180115133921.png\""));
}

TEST(FillTemplate, PutsTheImageWhereThePlaceholderWas)
{
    const QByteArray image("0123456789");
    const QByteArray body = FillTemplate(SinaimgTemplate(), image);
    ASSERT_EQ(body.size(), 217);
    EXPECT_EQ(body.mid(163, 10), image); // bytes 164 to 173, counting from 1
    EXPECT_EQ(body.mid(159, 4), QByteArray("\r\n\r\n"));
    EXPECT_EQ(body.mid(173), QByteArray("\r\n------WebKitFormBoundarykbmjvH1knMdq4icr--"));

    EXPECT_TRUE(
        FillTemplate(UploadTemplate(), image).endsWith(image + "\r\n\r\n------WebKitFormBoundaryTYmBt5ALABQkvKH5--"));
    EXPECT_TRUE(FillTemplate(SmTemplate(), image).contains(image + "\r\n------WebKitFormBoundaryKV1UABbXnWgQiZBs\r\n"));
}

TEST(FillTemplate, NeverRescansTheImageAndKeepsEmptyParts)
{
    const QByteArray tricky = QByteArray("a") + TemplatePlaceholder().toByteArray() + "b";
    const QByteArray body = FillTemplate(SmTemplate(), tricky);
    EXPECT_EQ(body.size(), 296 - 4 + tricky.size());
    EXPECT_TRUE(body.contains(tricky));

    const QByteArray empty = FillTemplate(SmTemplate(), {});
    EXPECT_EQ(empty.size(), 292);
    EXPECT_TRUE(empty.contains("name=\"file_id\"\r\n\r\n0\r\n"));

    // Every occurrence in a template is replaced.
    EXPECT_EQ(FillTemplate(QByteArray("x\xCD\xBC\xC6\xACy\xCD\xBC\xC6\xAC"), "II"), QByteArray("xIIyII"));
}

// The bodies must read as multipart/form-data to a reader that knows nothing of our templates.
TEST(FillTemplate, BodiesAreWellFormedFormData)
{
    const QByteArray image("\x89PNG\r\n\x1A\n--not a delimiter\r\n", 22);
    auto headerValue = [](QByteArrayView contentType) {
        return contentType.toByteArray().mid(QByteArrayView("Content-Type:").size()).trimmed();
    };

    const auto sm = test::ReadMultipart(headerValue(SmContentType()), FillTemplate(SmTemplate(), image));
    ASSERT_TRUE(sm.has_value());
    ASSERT_EQ(sm->size(), 2);
    EXPECT_EQ(sm->at(0).name, "smfile");
    EXPECT_EQ(sm->at(0).fileName,
        QByteArray("QQ\xBD\xD8\xCD\xBC"
                   "20180115133921.png"));
    EXPECT_EQ(sm->at(0).contentType, "image/png");
    EXPECT_EQ(sm->at(0).content, image);
    EXPECT_EQ(sm->at(1).name, "file_id");
    EXPECT_FALSE(sm->at(1).fileName.has_value());
    EXPECT_EQ(sm->at(1).content, "0");

    const auto sinaimg = test::ReadMultipart(headerValue(SinaimgContentType()), FillTemplate(SinaimgTemplate(), image));
    ASSERT_TRUE(sinaimg.has_value());
    ASSERT_EQ(sinaimg->size(), 1);
    EXPECT_EQ(sinaimg->at(0).name, "file");
    EXPECT_EQ(sinaimg->at(0).fileName, QByteArray("e8fd0fb1gy1fh3827un40g20l402imza.gif"));
    EXPECT_EQ(sinaimg->at(0).contentType, "image/gif");
    EXPECT_EQ(sinaimg->at(0).content, image);

    // The Upload body carries one CR LF more after the image, inside the file part.
    const auto upload = test::ReadMultipart(headerValue(UploadContentType()), FillTemplate(UploadTemplate(), image));
    ASSERT_TRUE(upload.has_value());
    ASSERT_EQ(upload->size(), 1);
    EXPECT_EQ(upload->at(0).name, "uploaded_file[]");
    EXPECT_EQ(upload->at(0).fileName, QByteArray("Screenshot_20180929-104058.jpg"));
    EXPECT_EQ(upload->at(0).contentType, "image/jpeg");
    EXPECT_EQ(upload->at(0).content, image + "\r\n");
}

TEST(MultipartReader, RefusesBodiesAServerWouldRefuse)
{
    const QByteArray type = "multipart/form-data; boundary=\"b\"";
    EXPECT_TRUE(test::ReadMultipart(type, "--b\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nx\r\n--b--"));
    const QByteArray broken[] = {
        "--b\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nx\r\n--b", // no closing delimiter
        "--b\r\nContent-Disposition: attachment; name=\"f\"\r\n\r\nx\r\n--b--", // not form-data
        "--b\r\nContent-Disposition: form-data\r\n\r\nx\r\n--b--", // no name
        "--c\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nx\r\n--c--", // other boundary
        "--b\r\nContent-Disposition: form-data; name=\"f\"\r\nx\r\n--b--", // no blank line
    };
    for (const QByteArray& body : broken)
        EXPECT_FALSE(test::ReadMultipart(type, body)) << body.constData();
    EXPECT_FALSE(test::ReadMultipart("text/plain; boundary=b", "--b--"));
}

} // namespace
} // namespace skysail
