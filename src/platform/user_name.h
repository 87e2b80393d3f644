#pragma once

#include <QString>

namespace skysail {

// Login name of the account the program runs under; empty when the system cannot tell.
// Asked anew on every call: nothing is cached.
QString UserName();

// The account's home folder, without a trailing separator (POSIX side only uses it for the
// settings folder; Windows builds its paths from the user name alone).
QString HomeFolder();

} // namespace skysail
