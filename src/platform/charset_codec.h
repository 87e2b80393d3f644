#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace skysail {

// Decodes bytes in the character set a web page declares (its name as written there, such
// as "utf-8" or "big5"). False when the name is unknown to the platform; bytes that do not
// decode become U+FFFD.
bool DecodeCharset(QByteArrayView bytes, const QByteArray& charset, QString& text);

} // namespace skysail
