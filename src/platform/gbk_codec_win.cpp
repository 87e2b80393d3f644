#include "platform/gbk_codec.h"

#include <windows.h>

namespace skysail {

namespace {
constexpr UINT kGbk = 936;
}

QByteArray GbkEncode(QStringView text)
{
    if (text.isEmpty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(kGbk, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    QByteArray out(needed, Qt::Uninitialized);
    WideCharToMultiByte(kGbk, 0, wide, length, out.data(), needed, nullptr, nullptr);
    return out;
}

} // namespace skysail
