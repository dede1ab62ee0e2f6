// The calling thread's last-error code, as the platform keeps it: set by the
// shim's functions when they fail (and by a few when they succeed, where the
// platform does so), never cleared otherwise.
#pragma once

#include "win/WinError.h"

extern "C" {
DWORD GetLastError(void) noexcept;
void SetLastError(DWORD dwErrCode) noexcept;
}
