#pragma once

#include "settings/ini_file.h"

#include <QString>

namespace skysail {

// Where the settings live by default. Windows: "C:\Users\" + user name + "\Documents\Skysail"
// (the drive and "Users" are literal; an unreadable user name leaves "C:\Users\\Documents\..."),
// POSIX: the home folder + "/Documents/Skysail". Asked anew on every call.
QString SettingsFolderPath();
QString SettingsFilePath();
QString WatermarkFilePath();
// The Windows form of the folder for a given user name (built on every platform, for tests).
QString WindowsSettingsFolderPath(const QString& userName);

inline const QString kSettingsFileName = QStringLiteral("Updatedetection.ini");
inline const QString kWatermarkFileName = QStringLiteral("水印.bmp");

// The settings folder, the settings file and the watermark file under one root. Everything
// that touches the folder takes one of these, so tests can point it at a temporary folder.
class SettingsFolder
{
public:
    SettingsFolder()
        : SettingsFolder(SettingsFolderPath())
    { }
    explicit SettingsFolder(QString root);

    const QString& FolderPath() const { return m_root; }
    QString FilePath() const;
    QString WatermarkPath() const;

    // Creates the folder and every missing folder above it; failure is silent (later writes
    // are lost and reads fall back to the defaults).
    void EnsureSettingsFolder() const;
    // The value, or the empty text when the file, section or key is missing.
    QString ReadSetting(const QString& section, const QString& key) const;
    // Writes one value, creating the file, section and key as needed. False when lost.
    bool WriteSetting(const QString& section, const QString& key, const QString& value) const;

private:
    QString m_root;
};

} // namespace skysail
