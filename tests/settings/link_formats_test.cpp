#include "settings/link_formats.h"

#include <gtest/gtest.h>

namespace skysail {
namespace {

TEST(LinkFormats, CopyAllJoinsEveryRowWithItsLineEnd)
{
    const QStringList rows { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("上传文件失败") };
    EXPECT_EQ(CopyAllText(rows, LinkFormat::Plain), QStringLiteral("a\r\nb\r\n上传文件失败\r\n"));
    EXPECT_EQ(CopyAllText(rows, LinkFormat::Html),
        QStringLiteral("<img src=\"a\" />\r\n<img src=\"b\" />\r\n<img src=\"上传文件失败\" />\r\n"));
    EXPECT_EQ(CopyAllText(rows, LinkFormat::Ubb),
        QStringLiteral("[img]a[/img]\r\n[img]b[/img]\r\n[img]上传文件失败[/img]\r\n"));
}

TEST(LinkFormats, CopyAllOfNoRowsIsEmpty)
{
    for (LinkFormat format : { LinkFormat::Plain, LinkFormat::Html, LinkFormat::Ubb })
        EXPECT_TRUE(CopyAllText({}, format).isEmpty());
}

TEST(LinkFormats, CopyOneHasItsOwnFormsAndNoLineEnd)
{
    const QString row = QStringLiteral("abc");
    EXPECT_EQ(CopyOneText(row, LinkFormat::Plain), QStringLiteral("abc"));
    EXPECT_EQ(CopyOneText(row, LinkFormat::Html), QStringLiteral("<img src=\"abc\"/>"));
    EXPECT_EQ(CopyOneText(row, LinkFormat::Ubb), QStringLiteral("[IMG]abc.jpg[/IMG]"));
}

} // namespace
} // namespace skysail
