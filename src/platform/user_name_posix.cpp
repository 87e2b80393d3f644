#include "platform/user_name.h"

#include <QDir>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace skysail {

QString UserName()
{
    const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 16384);
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_name)
        return {};
    return QString::fromLocal8Bit(found->pw_name);
}

QString HomeFolder()
{
    // HOME first, as every POSIX program does; QDir falls back to the password entry.
    return QDir::homePath();
}

} // namespace skysail
