#include "settings/ini_file.h"

#include "platform/gbk_codec.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace skysail {
namespace {

class IniFileTest : public ::testing::Test
{
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("Updatedetection.ini")); }

    void Store(const QByteArray& bytes) const
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray Stored() const
    {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QByteArray Gbk(const char* utf8) { return GbkEncode(QString::fromUtf8(utf8)); }

    QTemporaryDir m_dir;
};

TEST_F(IniFileTest, FirstWritesLayOutTheProfileInGbkWithCrLf)
{
    const IniFile ini(Path());
    ASSERT_TRUE(ini.Write(QStringLiteral("显示格式"), QStringLiteral("纯链接"), QStringLiteral("关闭")));
    ASSERT_TRUE(ini.Write(QStringLiteral("显示格式"), QStringLiteral("HTML"), QStringLiteral("开启")));
    ASSERT_TRUE(ini.Write(QStringLiteral("显示格式"), QStringLiteral("UBB"), QStringLiteral("关闭")));

    EXPECT_EQ(Stored(), Gbk("[显示格式]\r\n纯链接=关闭\r\nHTML=开启\r\nUBB=关闭\r\n"));
    EXPECT_EQ(ini.Read(QStringLiteral("显示格式"), QStringLiteral("HTML")), QStringLiteral("开启"));
}

TEST_F(IniFileTest, ReplacingAValueKeepsEveryOtherLineInPlace)
{
    const QByteArray before = Gbk("; kept comment\r\n[图床选择]\r\n偷揉图床=开启\r\nsm.example=关闭\r\n\r\n"
                                  "[水印开关]\r\n是否开启=关闭\r\nunknown line\r\n");
    Store(before);
    const IniFile ini(Path());

    ASSERT_TRUE(ini.Write(QStringLiteral("图床选择"), QStringLiteral("偷揉图床"), QStringLiteral("关闭")));
    ASSERT_TRUE(ini.Write(QStringLiteral("水印开关"), QStringLiteral("是否开启"), QStringLiteral("开启")));

    EXPECT_EQ(Stored(),
        Gbk("; kept comment\r\n[图床选择]\r\n偷揉图床=关闭\r\nsm.example=关闭\r\n\r\n"
            "[水印开关]\r\n是否开启=开启\r\nunknown line\r\n"));
}

TEST_F(IniFileTest, NewKeysAndSectionsGoAtTheEndOfTheirSectionAndFile)
{
    Store(Gbk("[图床选择]\r\n偷揉图床=开启\r\n\r\n[水印开关]\r\n是否开启=开启"));
    const IniFile ini(Path());

    ASSERT_TRUE(ini.Write(QStringLiteral("图床选择"), QStringLiteral("upload.example"), QStringLiteral("关闭")));
    ASSERT_TRUE(ini.Write(QStringLiteral("显示格式"), QStringLiteral("UBB"), QStringLiteral("开启")));

    EXPECT_EQ(Stored(),
        Gbk("[图床选择]\r\n偷揉图床=开启\r\nupload.example=关闭\r\n\r\n[水印开关]\r\n是否开启=开启\r\n"
            "[显示格式]\r\nUBB=开启\r\n"));
}

// Files written by other tools or by hand read the way the platform's profile functions
// read them.
TEST_F(IniFileTest, ReadsHandEditedFiles)
{
    struct Case
    {
        const char* file;
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        { "[水印开关]\n是否开启=开启\n", "水印开关", "是否开启", "开启" }, // LF only
        { "\r\n\r\n[水印开关]\r\n\r\n是否开启=开启\r\n", "水印开关", "是否开启", "开启" }, // blank lines
        { "  [ 水印开关 ]  \r\n  是否开启   =   开启  \r\n", "水印开关", "是否开启", "开启" },
        { "[显示格式]\r\nhtml=开启\r\n", "显示格式", "HTML", "开启" }, // key case
        { "[Section]\r\nKey=v\r\n", "SECTION", "key", "v" }, // section case
        { "[s]\r\nk=\"quoted value\"\r\n", "s", "k", "quoted value" }, { "[s]\r\nk='x'\r\n", "s", "k", "x" },
        { "[s]\r\nk=\"half\r\n", "s", "k", "\"half" }, { "[s]\r\nk=a=b\r\n", "s", "k", "a=b" },
        { "[s]\r\nk=\r\n", "s", "k", "" }, { "[s]\r\nk=first\r\nk=second\r\n", "s", "k", "first" }, // first key wins
        { "[s]\r\nother=1\r\n[s]\r\nk=late\r\n", "s", "k", "" }, // only the first section counts
        { "[a]\r\nk=in a\r\n[s]\r\nj=1\r\n", "s", "k", "" }, // key of another section
        { "k=outside\r\n[s]\r\n", "s", "k", "" },
        { "[s]\r\nk=last line without end", "s", "k", "last line without end" },
        { "[s\r\nk=v\r\n", "s", "k", "" }, // no closing bracket
    };
    for (const Case& c : cases) {
        Store(Gbk(c.file));
        EXPECT_EQ(
            IniFile(Path()).Read(QString::fromUtf8(c.section), QString::fromUtf8(c.key)), QString::fromUtf8(c.expected))
            << c.file;
    }
}

TEST_F(IniFileTest, ComparesNamesByWholeGbkCharacters)
{
    // 丂 is 81 40 and 丄 is 81 41: a trail byte in the ASCII letter range must not fold.
    Store(QByteArray("[s]\r\n\x81\x40=one\r\n"));
    const IniFile ini(Path());
    EXPECT_EQ(ini.Read(QStringLiteral("s"), QString::fromUtf8("丂")), QStringLiteral("one"));
    EXPECT_TRUE(ini.Read(QStringLiteral("s"), QString::fromUtf8("丄")).isEmpty());
}

TEST_F(IniFileTest, MissingFileSectionOrKeyReadsEmptyAndNothingIsCreated)
{
    const IniFile ini(Path());
    EXPECT_TRUE(ini.Read(QStringLiteral("水印开关"), QStringLiteral("是否开启")).isEmpty());
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(IniFileTest, GarbageAndOverlongLinesAreNeverSettings)
{
    QByteArray garbage;
    for (quint32 i = 0; i < 300000; ++i)
        garbage.append(static_cast<char>((i * 7919u) % 251u));
    Store(garbage);
    EXPECT_TRUE(IniFile(Path()).Read(QStringLiteral("s"), QStringLiteral("k")).isEmpty());

    // A 3 MB line that would read as the key if it were taken whole.
    QByteArray overlong = "[s]\r\nk=";
    overlong.append(3 * 1024 * 1024, 'x');
    overlong.append("\r\nj=after\r\n");
    Store(overlong);
    const IniFile ini(Path());
    EXPECT_TRUE(ini.Read(QStringLiteral("s"), QStringLiteral("k")).isEmpty());
    EXPECT_EQ(ini.Read(QStringLiteral("s"), QStringLiteral("j")), QStringLiteral("after"));

    // Writing keeps the overlong line byte for byte and adds the key after it.
    ASSERT_TRUE(ini.Write(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("开启")));
    EXPECT_EQ(Stored(), overlong + Gbk("k=开启\r\n"));
    EXPECT_EQ(ini.Read(QStringLiteral("s"), QStringLiteral("k")), QStringLiteral("开启"));
}

TEST_F(IniFileTest, LargeFileKeepsEveryLineThroughAWrite)
{
    QByteArray big;
    for (int i = 0; i < 400000; ++i)
        big.append("[section" + QByteArray::number(i % 50) + "]\r\nkey" + QByteArray::number(i) + "=value\r\n");
    big.append("[target]\r\nk=old\r\n");
    Store(big);
    const IniFile ini(Path());
    ASSERT_TRUE(ini.Write(QStringLiteral("target"), QStringLiteral("k"), QStringLiteral("new")));
    QByteArray expected = big;
    expected.replace(expected.size() - 5, 3, "new");
    EXPECT_EQ(Stored(), expected);
    EXPECT_EQ(ini.Read(QStringLiteral("section7"), QStringLiteral("key7")), QStringLiteral("value"));
}

TEST_F(IniFileTest, AWriteReplacesTheFileWholeInsteadOfRewritingIt)
{
    const QByteArray before = Gbk("[水印开关]\r\n是否开启=关闭\r\n");
    Store(before);
    // A reader that has the old file open still sees it complete: the new text went to a
    // new file that was renamed over the old one.
    QFile reader(Path());
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));

    ASSERT_TRUE(IniFile(Path()).Write(QStringLiteral("水印开关"), QStringLiteral("是否开启"), QStringLiteral("开启")));

    EXPECT_EQ(reader.readAll(), before);
    EXPECT_EQ(Stored(), Gbk("[水印开关]\r\n是否开启=开启\r\n"));
}

TEST_F(IniFileTest, RefusedWritesLeaveTheFileAsItWas)
{
    const QByteArray before = Gbk("[s]\r\nk=v\r\n");
    Store(before);
    const IniFile ini(Path());
    EXPECT_FALSE(ini.Write(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("two\r\nlines")));
    EXPECT_FALSE(ini.Write(QStringLiteral("s"), QStringLiteral("a=b"), QStringLiteral("v")));
    EXPECT_FALSE(ini.Write(QStringLiteral("s]"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(Stored(), before);

    const IniFile nowhere(m_dir.filePath(QStringLiteral("missing/folder/file.ini")));
    EXPECT_FALSE(nowhere.Write(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(QFile::exists(nowhere.Path()));
}

} // namespace
} // namespace skysail
