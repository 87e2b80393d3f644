#include "settings/settings_folder.h"

#include "settings/settings_keys.h"
#include "settings/startup_settings.h"
#include "settings/watermark_state.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace skysail {
namespace {

TEST(SettingsPaths, WindowsFormIsBuiltFromTheUserNameAlone)
{
    EXPECT_EQ(
        WindowsSettingsFolderPath(QStringLiteral("alice")), QStringLiteral("C:\\Users\\alice\\Documents\\Skysail"));
    // An unreadable user name leaves the two separators side by side, as the program always had.
    EXPECT_EQ(WindowsSettingsFolderPath(QString()), QStringLiteral("C:\\Users\\\\Documents\\Skysail"));
}

TEST(SettingsPaths, DefaultFolderIsUnderTheHomeFolder)
{
#ifndef Q_OS_WIN
    EXPECT_EQ(SettingsFolderPath(), QDir::homePath() + QStringLiteral("/Documents/Skysail"));
    EXPECT_EQ(SettingsFilePath(), SettingsFolderPath() + QStringLiteral("/Updatedetection.ini"));
    EXPECT_EQ(WatermarkFilePath(), SettingsFolderPath() + QStringLiteral("/水印.bmp"));
#endif
}

TEST(SettingsFolder, EnsureCreatesEveryMissingFolder)
{
    QTemporaryDir dir;
    const SettingsFolder folder(dir.filePath(QStringLiteral("a/b/Skysail")));
    folder.EnsureSettingsFolder();
    EXPECT_TRUE(QDir(folder.FolderPath()).exists());
    folder.EnsureSettingsFolder(); // already there: nothing happens
    EXPECT_TRUE(folder.WriteSetting(kWatermarkSection, kWatermarkKey, kOn));
    EXPECT_EQ(folder.ReadSetting(kWatermarkSection, kWatermarkKey), kOn);
}

TEST(StartupSettings, FreshFolderReadsAllOffAndWritesNothing)
{
    QTemporaryDir dir;
    const SettingsFolder folder(dir.filePath(QStringLiteral("Skysail")));
    SetWatermarkPicture(QByteArrayLiteral("stale"));

    const StartupSettings settings = ReadStartupSettings(folder);

    for (bool on : settings.hostOn)
        EXPECT_FALSE(on);
    for (bool on : settings.formatOn)
        EXPECT_FALSE(on);
    EXPECT_TRUE(settings.watermarkSwitch.isEmpty());
    EXPECT_TRUE(WatermarkPicture().isEmpty());
    EXPECT_TRUE(QDir(folder.FolderPath()).exists());
    EXPECT_FALSE(QFile::exists(folder.FilePath()));
}

TEST(StartupSettings, ReadsTheChoicesAndTheWatermarkIntoTheProgramWideValues)
{
    QTemporaryDir dir;
    const SettingsFolder folder(dir.path());
    folder.WriteSetting(kHostSection, HostKey(HostKind::SM), kOn);
    folder.WriteSetting(kHostSection, HostKey(HostKind::Sinaimg), kOff);
    folder.WriteSetting(kFormatSection, FormatKey(LinkFormat::Ubb), kOn);
    folder.WriteSetting(kWatermarkSection, kWatermarkKey, QStringLiteral("1"));
    QFile mark(folder.WatermarkPath());
    ASSERT_TRUE(mark.open(QIODevice::WriteOnly));
    mark.write(QByteArray("BM\0\1", 4));
    mark.close();

    const StartupSettings settings = ReadStartupSettings(folder);

    EXPECT_TRUE(settings.HostOn(HostKind::SM));
    EXPECT_FALSE(settings.HostOn(HostKind::Sinaimg));
    EXPECT_FALSE(settings.HostOn(HostKind::Upload));
    EXPECT_TRUE(settings.FormatOn(LinkFormat::Ubb));
    EXPECT_FALSE(settings.FormatOn(LinkFormat::Plain));
    const WatermarkSnapshot snapshot = ReadWatermark();
    EXPECT_EQ(snapshot.switchText, QStringLiteral("1"));
    EXPECT_FALSE(snapshot.IsEnabled()); // only the exact word counts as on
    EXPECT_EQ(snapshot.picture, QByteArray("BM\0\1", 4));
}

TEST(SettingsKeys, OnlyTheExactWordIsOn)
{
    EXPECT_TRUE(IsOn(QStringLiteral("开启")));
    for (const QString& off : { QStringLiteral("关闭"), QStringLiteral("1"), QString(), QStringLiteral("开启 ") })
        EXPECT_FALSE(IsOn(off)) << off.toStdString();
}

} // namespace
} // namespace skysail
