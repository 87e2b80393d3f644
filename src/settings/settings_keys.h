#pragma once

#include "settings/kinds.h"

#include <QString>

namespace skysail {

// The complete set of sections and keys the settings file holds; nothing else is stored.
inline const QString kOn = QStringLiteral("开启");
inline const QString kOff = QStringLiteral("关闭");

inline const QString kHostSection = QStringLiteral("图床选择");
inline const QString kFormatSection = QStringLiteral("显示格式");
inline const QString kWatermarkSection = QStringLiteral("水印开关");
inline const QString kWatermarkKey = QStringLiteral("是否开启");

// Only the exact word "开启" counts as on; anything else (also "1" or "") is off.
inline bool IsOn(const QString& value)
{
    return value == kOn;
}

// Key of each service in section 图床选择: Sinaimg's own name, the domain names of the others.
QString HostKey(HostKind host);
// Key of each format in section 显示格式.
QString FormatKey(LinkFormat format);

inline constexpr HostKind kAllHosts[] = { HostKind::Sinaimg, HostKind::SM, HostKind::Upload };
inline constexpr LinkFormat kAllFormats[] = { LinkFormat::Plain, LinkFormat::Html, LinkFormat::Ubb };

} // namespace skysail
