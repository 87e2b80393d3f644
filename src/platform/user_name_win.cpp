#include "platform/user_name.h"

#include <QDir>

#include <windows.h>

#include <lmcons.h>

namespace skysail {

QString UserName()
{
    wchar_t name[UNLEN + 1] = {};
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(name, &size))
        return {};
    return QString::fromWCharArray(name);
}

QString HomeFolder()
{
    return QDir::toNativeSeparators(QDir::homePath());
}

} // namespace skysail
