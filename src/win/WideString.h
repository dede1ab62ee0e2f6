// UTF-16 strings: the platform's lstr* functions and conversions to and from
// the UTF-8 used by file names and narrow text on this system.
#pragma once

#include <string>
#include <string_view>

#include "win/WinTypes.h"

extern "C" {
// Length in UTF-16 units without the terminator; 0 for null.
int lstrlenW(LPCWSTR lpString) noexcept;
// Copies with the terminator; returns lpString1.
LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) noexcept;
// Copies at most iMaxLength - 1 units and always terminates (for
// iMaxLength > 0); returns lpString1.
LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) noexcept;
// Compares ignoring the case of ASCII letters: < 0, 0 or > 0. Null sorts
// before every string.
int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) noexcept;
}

namespace vrx {
// Unpaired surrogates (UTF-16) and ill-formed sequences (UTF-8) become
// U+FFFD, one for each maximal ill-formed part, as Unicode recommends.
// A null pointer converts to the empty string.
std::string Utf16ToUtf8(const WCHAR* psz);
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
}  // namespace vrx
