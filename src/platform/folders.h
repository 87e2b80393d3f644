#pragma once

#include <QString>

namespace skysail {

// Creates the folder and every missing folder above it. True when the folder exists afterwards.
bool CreateFolders(const QString& path);

} // namespace skysail
