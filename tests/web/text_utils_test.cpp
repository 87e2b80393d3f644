#include "web/text_utils.h"

#include "platform/gbk_codec.h"

#include <gtest/gtest.h>

namespace skysail {
namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

TEST(TextBetween, CutsBetweenMarkers)
{
    struct Case
    {
        const char* text;
        const char* left;
        const char* right;
        int start;
        bool caseSensitive;
        const char* expected;
    };
    const Case cases[] = {
        { "[\"http://abc:672/x\"]", "http://", ":", 0, false, "abc" },
        { "<script>alert('OK')</script>", "alert('", "')", 0, false, "OK" },
        { "<p>no call here</p>", "alert('", "')", 0, false, "" },
        { "say \"hi\" and \"bye\"", "#引号", "#引号", 0, false, "hi" },
        { "key=\"v\"", "key=#引号", "#引号", 0, false, "v" },
        { "set-cookie: a=1; path=/", "Set-Cookie:", ";", 0, false, " a=1" },
        { "set-cookie: a=1; path=/", "Set-Cookie:", ";", 0, true, "" },
        { "x:1 http://host", "http://", ":", 0, false, "" }, // right only before left
        { "abab", "a", "b", 2, false, "" }, // right follows left directly
        { "a1b a2b", "a", "b", 2, false, "2" }, // start is 1-based
        { "a1b", "a", "b", -5, false, "1" },
        { "a1b", "a", "b", 99, false, "" },
        { "ÄBC abc", "a", "c", 0, false, "b" }, // only ASCII letters fold
        { "中文http://主机:80", "http://", ":", 0, false, "主机" },
        { "\xF0\x9F\x98\x80x", "x", "", 0, false, "" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextBetween(U(c.text), U(c.left), U(c.right), c.start, c.caseSensitive), U(c.expected))
            << c.text << " | " << c.left << " | " << c.right;
    }
}

TEST(TextBetween, NeverStartsAMatchInsideASurrogatePair)
{
    // U+1F600 is D83D DE00; a marker made of the low half alone must not match inside it.
    const QString text = U("\xF0\x9F\x98\x80") + QStringLiteral("z");
    const QString lowHalf(QChar(0xDE00));
    EXPECT_TRUE(TextBetween(text, lowHalf, QStringLiteral("z")).isEmpty());
}

TEST(Conversions, ProduceTheWireBytes)
{
    const QByteArray zhongUtf8("\xE4\xB8\xAD");
    const QByteArray zhongGbk("\xD6\xD0");
    EXPECT_EQ(GbkTextToUtf8(zhongGbk), zhongUtf8);
    EXPECT_EQ(Utf8TextToGbk(zhongUtf8), zhongGbk);
    EXPECT_EQ(Utf8BytesToText(U("图片上传成功").toUtf8()), GbkEncode(U("图片上传成功")));
    EXPECT_TRUE(Utf8BytesToText({}).isEmpty());

    EXPECT_TRUE(TextToUtf16({}).isEmpty());
    EXPECT_EQ(TextToUtf16("abc"), QByteArray("a\0b\0c\0\0\0", 8));
    EXPECT_EQ(TextToUtf16(zhongGbk), QByteArray("\x2D\x4E\0\0", 4));
    EXPECT_EQ(Utf8BytesToUtf16("ab"), QByteArray("a\0b\0", 4)); // no terminator here

    // Characters GBK cannot hold become "?"; UTF-8 that does not decode becomes U+FFFD and so "?".
    EXPECT_EQ(Utf8TextToGbk(U("a\xF0\x9F\x98\x80"
                              "b")
                                .toUtf8()),
        QByteArray("a?b"));
    EXPECT_EQ(Utf8BytesToText(QByteArray("a\xFF"
                                         "b")),
        QByteArray("a?b"));
    // Texts end at their first zero byte; reply bytes do not.
    EXPECT_EQ(GbkTextToUtf8(QByteArray("ab\0cd", 5)), QByteArray("ab"));
    EXPECT_EQ(Utf8BytesToText(QByteArray("ab\0cd", 5)), QByteArray("ab"));
    // Base letter + combining mark composes into the precomposed GBK character.
    EXPECT_EQ(Utf16ToGbkText(ToUtf16Bytes(U("e\xCC\x81"))), GbkEncode(U("\xC3\xA9")));
}

TEST(Conversions, CodePageRoutinesFollowTheirFlags)
{
    const QByteArray gbk("\xD6\xD0\xCE\xC4"); // 中文
    const QByteArray wide = MultiByteToUtf16(gbk, kCodePageGbk, true);
    EXPECT_EQ(wide, QByteArray("\x2D\x4E\x87\x65\0\0", 6));
    EXPECT_EQ(MultiByteToUtf16(U("中文").toUtf8(), 12345, false), wide); // flag off: UTF-8
    EXPECT_TRUE(MultiByteToUtf16(gbk, 12345, true).isEmpty()); // unknown code page
    EXPECT_EQ(Utf16ToMultiByte(wide, kCodePageUtf8, true), U("中文").toUtf8());
    EXPECT_EQ(Utf16ToMultiByte(wide, kCodePageUtf8, false), gbk); // flag off: system code page
    EXPECT_EQ(Utf16ToMultiByte(QByteArray("a\0\0\0b\0", 6), kCodePageGbk, true), QByteArray("a"));
    EXPECT_TRUE(Utf16ToMultiByte({}, kCodePageGbk, true).isEmpty());
}

TEST(GbkCodec, RoundTripsAndReplacesWhatItCannotHold)
{
    const QString text = U("云帆快贴 v1.2 水印[√]€");
    EXPECT_EQ(GbkDecode(GbkEncode(text)), text);
    EXPECT_EQ(GbkEncode(U("\xF0\x9F\x98\x80")), QByteArray("?")); // one "?" for a surrogate pair
    EXPECT_EQ(GbkEncode(QString(QChar(0xD800))), QByteArray("?")); // lone surrogate
    EXPECT_EQ(GbkDecode(QByteArray("a\xD6")), U("a\xEF\xBF\xBD")); // lead byte cut off
    EXPECT_EQ(GbkDecode(QByteArray("\xFF"
                                   "b")),
        U("\xEF\xBF\xBD"
          "b")); // not GBK at all
}

} // namespace
} // namespace skysail
