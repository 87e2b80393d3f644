#include "platform/charset_codec.h"

#include <windows.h>

namespace skysail {
namespace {

// The declared names a page is likely to carry, with their Windows code pages.
UINT CodePageOf(const QByteArray& charset)
{
    const QByteArray name = charset.toLower();
    struct Entry
    {
        const char* name;
        UINT codePage;
    };
    static const Entry entries[] = {
        { "utf-8", CP_UTF8 },
        { "utf8", CP_UTF8 },
        { "gbk", 936 },
        { "gb2312", 936 },
        { "gb18030", 54936 },
        { "big5", 950 },
        { "shift_jis", 932 },
        { "euc-jp", 20932 },
        { "euc-kr", 949 },
        { "iso-8859-1", 28591 },
        { "windows-1252", 1252 },
        { "us-ascii", 20127 },
    };
    for (const Entry& entry : entries) {
        if (name == entry.name)
            return entry.codePage;
    }
    return 0;
}

} // namespace

bool DecodeCharset(QByteArrayView bytes, const QByteArray& charset, QString& text)
{
    const UINT codePage = CodePageOf(charset);
    if (codePage == 0)
        return false;
    if (bytes.isEmpty()) {
        text.clear();
        return true;
    }
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    QString out(units, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data()), units);
    text = out;
    return true;
}

} // namespace skysail
