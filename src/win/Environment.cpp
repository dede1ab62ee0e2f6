#include "win/Environment.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "win/LastError.h"
#include "win/WideString.h"

extern "C" DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) noexcept try {
    if (!lpName || !*lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* pszValue = std::getenv(vrx::Utf16ToUtf8(lpName).c_str());
    if (!pszValue) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const std::u16string value = vrx::Utf8ToUtf16(pszValue);
    if (!lpBuffer || nSize <= value.size()) return static_cast<DWORD>(value.size() + 1);
    std::copy_n(value.c_str(), value.size() + 1, lpBuffer);
    if (value.empty()) SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(value.size());
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
}
