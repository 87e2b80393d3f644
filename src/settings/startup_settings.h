#pragma once

#include "settings/kinds.h"
#include "settings/settings_folder.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace skysail {

// What the start-up step reads from the settings folder.
struct StartupSettings
{
    std::array<bool, 3> hostOn {}; // by HostKind: Sinaimg, SM, Upload
    std::array<bool, 3> formatOn {}; // by LinkFormat: Plain, Html, Ubb
    QString watermarkSwitch; // raw value of 是否开启 ("" when missing)
    QByteArray watermarkPicture; // the watermark file whole ("" when missing)

    bool HostOn(HostKind host) const { return hostOn[static_cast<size_t>(host)]; }
    bool FormatOn(LinkFormat format) const { return formatOn[static_cast<size_t>(format)]; }
};

// The settings half of the start-up step: creates the folder, reads the six selection keys
// and the watermark key in their fixed order, then the watermark file, and makes the last two
// the program-wide WatermarkSwitch and WatermarkPicture. Writes nothing to the settings file.
StartupSettings ReadStartupSettings(const SettingsFolder& folder);

} // namespace skysail
