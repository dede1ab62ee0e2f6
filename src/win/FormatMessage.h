// Message texts for result codes, as FormatMessageW gives them from the
// system: a short English sentence followed by "\r\n", the platform's line
// ending for message texts.
#pragma once

#include <cstdarg>

#include "win/WinError.h"

inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
inline constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

extern "C" {
// Only system messages are provided: dwFlags must hold
// FORMAT_MESSAGE_FROM_SYSTEM and may add FORMAT_MESSAGE_ALLOCATE_BUFFER and
// FORMAT_MESSAGE_IGNORE_INSERTS; anything else (message strings, modules,
// line widths) fails with ERROR_INVALID_PARAMETER. dwMessageId is a Win32
// error number or an HRESULT (HRESULTs of FACILITY_WIN32 read as the error
// they carry, Windows Media codes included). A code without a text of its
// own gets "Unknown error 0x%08x". The language is ignored: texts are
// English.
//
// With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is really an LPWSTR* that
// receives a buffer of at least nSize units, to be freed with LocalFree;
// otherwise lpBuffer holds nSize units and a text that does not fit fails
// with ERROR_INSUFFICIENT_BUFFER. Returns the text's length without the
// terminator, 0 on failure.
DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                     DWORD nSize, va_list* Arguments) noexcept;

// Frees a buffer FormatMessageW allocated; returns null. Null is ignored.
HLOCAL LocalFree(HLOCAL hMem) noexcept;
}
