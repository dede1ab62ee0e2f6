// Reading the process environment with the platform's conventions.
#pragma once

#include "win/WinTypes.h"

extern "C" {
// Copies the variable's value (UTF-8 in the environment, UTF-16 here) into
// lpBuffer when it fits with its terminator and returns its length without
// the terminator. When it does not fit, returns the size it needs including
// the terminator and leaves lpBuffer alone. An unset variable gives 0 with
// ERROR_ENVVAR_NOT_FOUND; a set but empty one gives 0 with ERROR_SUCCESS.
DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) noexcept;
}
