#include "settings/settings_keys.h"

#include "skysail/build_config.h"

namespace skysail {

QString HostKey(HostKind host)
{
    switch (host) {
    case HostKind::Sinaimg:
        return QStringLiteral("偷揉图床");
    case HostKind::SM:
        return QStringLiteral(SKYSAIL_SM_DOMAIN);
    case HostKind::Upload:
        return QStringLiteral(SKYSAIL_UPLOAD_DOMAIN);
    }
    return {};
}

QString FormatKey(LinkFormat format)
{
    switch (format) {
    case LinkFormat::Plain:
        return QStringLiteral("纯链接");
    case LinkFormat::Html:
        return QStringLiteral("HTML");
    case LinkFormat::Ubb:
        return QStringLiteral("UBB");
    }
    return {};
}

} // namespace skysail
