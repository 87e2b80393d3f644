#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace skysail {

// GBK (code page 936), the encoding of the settings file and of the multipart templates.
// Characters GBK cannot hold become "?"; bytes that do not decode become U+FFFD.
QByteArray GbkEncode(QStringView text);
QString GbkDecode(QByteArrayView bytes);

// Byte length of the GBK character that starts with this byte: 2 for a lead byte, else 1.
// Lets byte-level searches step over whole characters, so that a match never starts on
// the second byte of a double-byte character.
inline int GbkCharLength(unsigned char lead)
{
    return (lead >= 0x81 && lead <= 0xFE) ? 2 : 1;
}

} // namespace skysail
