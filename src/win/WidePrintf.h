// printf into UTF-16 buffers, under the platform's shell-library names. Used
// by the plug-in's message formatting and the host log.
//
// Conversions: %d %i %u %x %X %o, %c (a WCHAR passed as int), %s (a WCHAR
// string), %C and %S (narrow: a char, a UTF-8 string), %p (pointer as 16
// upper-case hex digits), %%. Flags - + space 0 #, width and precision,
// either as digits or *. Sizes: h (short; with c and s: narrow), l (32-bit,
// as LONG is; with c and s: wide), ll and I64 (64-bit). A null string prints
// as "(null)". There is no floating point, as on the platform. A malformed or
// unknown conversion is copied to the output as written and takes no argument
// of its own (a * in it still takes its int).
#pragma once

#include <cstdarg>

#include "win/WinTypes.h"

extern "C" {
// Writes at most cchDest - 1 units and always terminates (for cchDest > 0).
// Returns the number of units written without the terminator, or -1 when the
// text had to be cut (the buffer then holds its first cchDest - 1 units) or
// an argument is null or cchDest < 1. Reads nothing past the format's
// terminator and writes nothing past pszDest[cchDest - 1].
int wvnsprintfW(LPWSTR pszDest, int cchDest, LPCWSTR pszFmt, va_list arglist) noexcept;
int wnsprintfW(LPWSTR pszDest, int cchDest, LPCWSTR pszFmt, ...) noexcept;
}
