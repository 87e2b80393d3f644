#include "platform/gbk_codec.h"

#include "platform/charset_codec.h"

namespace skysail {

// Decoding GBK is decoding one more declared character set: both platforms' converters
// already sit behind DecodeCharset.
QString GbkDecode(QByteArrayView bytes)
{
    QString text;
    if (!bytes.isEmpty())
        DecodeCharset(bytes, QByteArrayLiteral("gbk"), text);
    return text;
}

} // namespace skysail
