// Files opened by name and read or written whole, as the profile store and
// the tools use them. Paths are UTF-16 here and UTF-8 on disk; backslashes
// count as separators.
#pragma once

#include "win/Handle.h"

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;

inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

extern "C" {
// Opens or creates a file; INVALID_HANDLE_VALUE and the last error on
// failure. CREATE_ALWAYS and OPEN_ALWAYS set ERROR_ALREADY_EXISTS when the
// file was there, ERROR_SUCCESS otherwise. Directories cannot be opened
// (ERROR_ACCESS_DENIED). Share modes, attributes, flags, security and
// template are accepted and ignored: POSIX files are not locked against
// other openers.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void* lpSecurityAttributes,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) noexcept;

// The size's low 32 bits, the high ones in *lpFileSizeHigh (optional).
// INVALID_FILE_SIZE with the last error on failure; a size whose low part
// is INVALID_FILE_SIZE sets ERROR_SUCCESS so that callers can tell.
DWORD GetFileSize(HANDLE hFile, DWORD* lpFileSizeHigh) noexcept;

// Synchronous only (lpOverlapped must be null). ReadFile reads until the
// count or the end of the file; at the end it succeeds with 0 bytes.
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              void* lpOverlapped) noexcept;
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               void* lpOverlapped) noexcept;
}
