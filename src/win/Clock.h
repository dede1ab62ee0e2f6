// Sleeping and the millisecond tick count.
#pragma once

#include "win/WinTypes.h"

extern "C" {
// Sleep(0) gives up the rest of the time slice; INFINITE never returns.
void Sleep(DWORD dwMilliseconds) noexcept;
// Milliseconds since the system started, counting time spent suspended;
// GetTickCount wraps after about 49.7 days.
DWORD GetTickCount(void) noexcept;
ULONGLONG GetTickCount64(void) noexcept;
}
