#include "settings/settings_folder.h"

#include "platform/folders.h"
#include "platform/user_name.h"

namespace skysail {

namespace {

QString Join(const QString& folder, const QString& name)
{
#ifdef Q_OS_WIN
    return folder + QLatin1Char('\\') + name;
#else
    return folder + QLatin1Char('/') + name;
#endif
}

} // namespace

QString WindowsSettingsFolderPath(const QString& userName)
{
    return QStringLiteral("C:\\Users\\") + userName + QStringLiteral("\\Documents\\Skysail");
}

QString SettingsFolderPath()
{
#ifdef Q_OS_WIN
    return WindowsSettingsFolderPath(UserName());
#else
    return HomeFolder() + QStringLiteral("/Documents/Skysail");
#endif
}

QString SettingsFilePath()
{
    return Join(SettingsFolderPath(), kSettingsFileName);
}

QString WatermarkFilePath()
{
    return Join(SettingsFolderPath(), kWatermarkFileName);
}

SettingsFolder::SettingsFolder(QString root)
    : m_root(std::move(root))
{ }

QString SettingsFolder::FilePath() const
{
    return Join(m_root, kSettingsFileName);
}

QString SettingsFolder::WatermarkPath() const
{
    return Join(m_root, kWatermarkFileName);
}

void SettingsFolder::EnsureSettingsFolder() const
{
    CreateFolders(m_root);
}

QString SettingsFolder::ReadSetting(const QString& section, const QString& key) const
{
    return IniFile(FilePath()).Read(section, key);
}

bool SettingsFolder::WriteSetting(const QString& section, const QString& key, const QString& value) const
{
    return IniFile(FilePath()).Write(section, key, value);
}

} // namespace skysail
