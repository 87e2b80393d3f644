#include "platform/charset_codec.h"

#include <QSysInfo>

#include <cerrno>
#include <iconv.h>

namespace skysail {

bool DecodeCharset(QByteArrayView bytes, const QByteArray& charset, QString& text)
{
    const char* wide = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
    iconv_t converter = iconv_open(wide, charset.constData());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;

    QString out;
    out.reserve(bytes.size());
    char16_t buffer[2048];
    auto* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    while (inLeft > 0) {
        auto* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof(buffer);
        const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(reinterpret_cast<const QChar*>(buffer),
            static_cast<qsizetype>((outPtr - reinterpret_cast<char*>(buffer)) / 2));
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ, or EINVAL for a sequence cut off at the end: one replacement per bad byte.
        out.append(QChar::ReplacementCharacter);
        ++in;
        --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(converter);
    text = out;
    return true;
}

} // namespace skysail
