#include "services/multipart_templates.h"

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

} // namespace
} // namespace skysail
