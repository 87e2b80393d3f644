#include "ui/main_window.h"

#include "settings/watermark_state.h"
#include "support/recording_prompts.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace skysail {
namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(MainWindowDefaultWatermark, RecreatesAMissingOrEmptyWatermarkFileFromTheBuiltInPicture)
{
    for (const bool emptyFile : { false, true }) {
        SCOPED_TRACE(emptyFile ? "empty file" : "no file");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const SettingsFolder folder(dir.path());
        if (emptyFile)
            WriteAll(folder.WatermarkPath(), {});
        SetWatermarkPicture({});
        test::RecordingPrompts prompts;
        MainWindow window(folder, prompts);

        const QByteArray written = ReadAll(folder.WatermarkPath());
        EXPECT_TRUE(written.startsWith("BM"));
        EXPECT_EQ(WatermarkPicture(), written);
        EXPECT_FALSE(QFile::exists(folder.FilePath())) << "nothing goes to the settings file";
    }
}

TEST(MainWindowDefaultWatermark, TakesAPresentWatermarkFileUnchanged)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const SettingsFolder folder(dir.path());
    const QByteArray own = "not even a picture, but the user's";
    WriteAll(folder.WatermarkPath(), own);
    test::RecordingPrompts prompts;
    MainWindow window(folder, prompts);

    EXPECT_EQ(ReadAll(folder.WatermarkPath()), own);
    EXPECT_EQ(WatermarkPicture(), own);
}

} // namespace
} // namespace skysail
