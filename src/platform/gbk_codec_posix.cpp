#include "platform/gbk_codec.h"

#include <QSysInfo>

#include <cerrno>
#include <iconv.h>

namespace skysail {
namespace {

constexpr const char* kGbkName = "CP936";

const char* Utf16Name()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
}

// One descriptor per conversion: iconv_t is not safe to share across threads, and these
// conversions run on both the UI thread and the upload worker.
class Converter
{
public:
    Converter(const char* to, const char* from)
        : m_handle(iconv_open(to, from))
    { }
    ~Converter()
    {
        if (Valid())
            iconv_close(m_handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return m_handle; }

private:
    iconv_t m_handle;
};

} // namespace

QByteArray GbkEncode(QStringView text)
{
    if (text.isEmpty())
        return {};
    Converter converter(kGbkName, Utf16Name());
    if (!converter.Valid())
        return {};

    QByteArray out;
    out.reserve(text.size() * 2);
    char buffer[4096];
    auto* in = reinterpret_cast<char*>(const_cast<QChar*>(text.data()));
    size_t inLeft = static_cast<size_t>(text.size()) * sizeof(QChar);
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t result = iconv(converter.Handle(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ: a character GBK cannot hold; EINVAL: a lone high surrogate at the end.
        out.append('?');
        const auto unit = *reinterpret_cast<const char16_t*>(in);
        const size_t skip = (QChar::isHighSurrogate(unit) && inLeft >= 4
                                && QChar::isLowSurrogate(*reinterpret_cast<const char16_t*>(in + 2)))
            ? 4
            : 2;
        in += skip;
        inLeft -= skip;
        iconv(converter.Handle(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

} // namespace skysail
