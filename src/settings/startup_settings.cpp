#include "settings/startup_settings.h"

#include "settings/settings_keys.h"
#include "settings/watermark_state.h"

#include <QFile>

namespace skysail {

StartupSettings ReadStartupSettings(const SettingsFolder& folder)
{
    folder.EnsureSettingsFolder();

    StartupSettings settings;
    for (HostKind host : kAllHosts)
        settings.hostOn[static_cast<size_t>(host)] = IsOn(folder.ReadSetting(kHostSection, HostKey(host)));
    for (LinkFormat format : kAllFormats)
        settings.formatOn[static_cast<size_t>(format)] = IsOn(folder.ReadSetting(kFormatSection, FormatKey(format)));
    settings.watermarkSwitch = folder.ReadSetting(kWatermarkSection, kWatermarkKey);

    QFile watermark(folder.WatermarkPath());
    if (watermark.open(QIODevice::ReadOnly))
        settings.watermarkPicture = watermark.readAll();

    SetWatermarkSwitch(settings.watermarkSwitch);
    SetWatermarkPicture(settings.watermarkPicture);
    return settings;
}

} // namespace skysail
