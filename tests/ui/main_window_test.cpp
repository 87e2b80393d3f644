#include "ui/main_window.h"

#include "settings/settings_keys.h"
#include "settings/watermark_state.h"
#include "support/recording_prompts.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace skysail {
namespace {

class MainWindowStartup : public ::testing::Test
{
protected:
    SettingsFolder Folder() const { return SettingsFolder(m_dir.filePath(QStringLiteral("Skysail"))); }

    bool Checked(const MainWindow& window, const char* name) const
    {
        auto* button = window.findChild<QRadioButton*>(QString::fromUtf8(name));
        EXPECT_NE(button, nullptr) << name;
        return button && button->isChecked();
    }

    QString WatermarkCaption(const MainWindow& window) const
    {
        auto* button = window.findChild<QPushButton*>(QStringLiteral("超级按钮_水印"));
        EXPECT_NE(button, nullptr);
        return button ? button->text() : QString();
    }

    QTemporaryDir m_dir;
    test::RecordingPrompts m_prompts;
};

TEST_F(MainWindowStartup, FreshStartShowsTheDefaultsWithoutWritingThem)
{
    const MainWindow window(Folder(), m_prompts);

    EXPECT_EQ(window.windowTitle(), QStringLiteral("云帆快贴"));
    EXPECT_EQ(window.size(), QSize(798, 471));
    EXPECT_TRUE(Checked(window, "单选框_偷揉图床"));
    EXPECT_FALSE(Checked(window, "单选框_SM"));
    EXPECT_FALSE(Checked(window, "单选框_Upload"));
    EXPECT_TRUE(Checked(window, "单选框_纯链接"));
    EXPECT_FALSE(Checked(window, "单选框_HTML"));
    EXPECT_FALSE(Checked(window, "单选框_UBB"));
    EXPECT_EQ(WatermarkCaption(window), QStringLiteral("水印[×]"));
    EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("图片框_预览图"))->isVisibleTo(&window));
    EXPECT_TRUE(window.acceptDrops());
    EXPECT_FALSE(QFile::exists(Folder().FilePath()));
    EXPECT_TRUE(m_prompts.messages.isEmpty());
}

TEST_F(MainWindowStartup, SavedChoicesSetTheButtonsAndTheCaption)
{
    const SettingsFolder folder = Folder();
    folder.EnsureSettingsFolder();
    for (HostKind host : kAllHosts)
        folder.WriteSetting(kHostSection, HostKey(host), host == HostKind::Upload ? kOn : kOff);
    for (LinkFormat format : kAllFormats)
        folder.WriteSetting(kFormatSection, FormatKey(format), format == LinkFormat::Html ? kOn : kOff);
    folder.WriteSetting(kWatermarkSection, kWatermarkKey, kOn);

    const MainWindow window(folder, m_prompts);

    EXPECT_FALSE(Checked(window, "单选框_偷揉图床"));
    EXPECT_TRUE(Checked(window, "单选框_Upload"));
    EXPECT_FALSE(Checked(window, "单选框_纯链接"));
    EXPECT_TRUE(Checked(window, "单选框_HTML"));
    EXPECT_EQ(WatermarkCaption(window), QStringLiteral("水印[√]"));
    EXPECT_EQ(WatermarkSwitch(), kOn);
}

TEST_F(MainWindowStartup, AnythingButTheExactWordLeavesWatermarkingOff)
{
    const SettingsFolder folder = Folder();
    folder.EnsureSettingsFolder();
    for (const QString& value : { QStringLiteral("关闭"), QStringLiteral("1"), QString() }) {
        folder.WriteSetting(kWatermarkSection, kWatermarkKey, value);
        const MainWindow window(folder, m_prompts);
        EXPECT_EQ(WatermarkCaption(window), QStringLiteral("水印[×]")) << value.toStdString();
    }
}

} // namespace
} // namespace skysail
