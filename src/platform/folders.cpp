#include "platform/folders.h"

#include <filesystem>
#include <system_error>

namespace skysail {

// std::filesystem is the platform call on both sides; the path goes in as UTF-16 so that
// Windows gets the wide-character API and POSIX the UTF-8 file name.
bool CreateFolders(const QString& path)
{
    if (path.isEmpty())
        return false;
    const std::filesystem::path target(path.toStdU16String());
    std::error_code error;
    std::filesystem::create_directories(target, error);
    return std::filesystem::is_directory(target, error);
}

} // namespace skysail
