#include "win/LastError.h"

namespace {
thread_local DWORD t_dwLastError = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError(void) noexcept { return t_dwLastError; }

extern "C" void SetLastError(DWORD dwErrCode) noexcept { t_dwLastError = dwErrCode; }
