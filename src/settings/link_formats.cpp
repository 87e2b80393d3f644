#include "settings/link_formats.h"

namespace skysail {

QString CopyAllText(const QStringList& rows, LinkFormat format)
{
    QString text;
    for (const QString& row : rows) {
        switch (format) {
        case LinkFormat::Plain:
            text += row + QStringLiteral("\r\n");
            break;
        case LinkFormat::Html:
            text += QStringLiteral("<img src=\"") + row + QStringLiteral("\" />\r\n");
            break;
        case LinkFormat::Ubb:
            text += QStringLiteral("[img]") + row + QStringLiteral("[/img]\r\n");
            break;
        }
    }
    return text;
}

QString CopyOneText(const QString& row, LinkFormat format)
{
    switch (format) {
    case LinkFormat::Plain:
        return row;
    case LinkFormat::Html:
        return QStringLiteral("<img src=\"") + row + QStringLiteral("\"/>");
    case LinkFormat::Ubb:
        return QStringLiteral("[IMG]") + row + QStringLiteral(".jpg[/IMG]");
    }
    return row;
}

} // namespace skysail
