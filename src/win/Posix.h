// How the file functions meet the POSIX layer underneath. Internal to
// libVRXWin32.
#pragma once

#include <string>
#include <string_view>

#include "win/WinTypes.h"

namespace vrx {

// The UTF-8 path for a UTF-16 one. Backslashes become slashes: callers
// written for the platform join paths with backslashes, and a backslash in a
// file name is too rare here to be worth keeping.
std::string PosixPath(std::u16string_view path);

// The Win32 error closest to an errno value.
DWORD Win32ErrorFromErrno(int err) noexcept;

}  // namespace vrx
