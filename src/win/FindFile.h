// Listing a folder by pattern, as the profile store looks for its files.
// Attributes are the FILE_ATTRIBUTE_* values of Files.h.
#pragma once

#include "win/Files.h"

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAW) == 592);

extern "C" {
// lpFileName is a folder and a pattern, "folder/*.prx" (backslashes count as
// separators; no folder means the current one). The pattern applies to the
// last component only: * matches any run of characters, ? exactly one UTF-16
// unit, and letters match ASCII case-insensitively, as names do on the
// platform's file systems. Entries come in the folder's own order, "." and
// ".." included when they match. Attributes are FILE_ATTRIBUTE_DIRECTORY,
// FILE_ATTRIBUTE_READONLY (no write permission for anybody) or
// FILE_ATTRIBUTE_NORMAL; the status-change time stands in for the creation
// time, which POSIX does not keep. Names of MAX_PATH units or more are
// skipped; there is no short name.
//
// INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when nothing matches, or
// ERROR_PATH_NOT_FOUND when the folder does not exist.
HANDLE FindFirstFileW(LPCWSTR lpFileName, WIN32_FIND_DATAW* lpFindFileData) noexcept;
// FALSE with ERROR_NO_MORE_FILES after the last match.
BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData) noexcept;
// Closes a handle from FindFirstFileW (CloseHandle does too).
BOOL FindClose(HANDLE hFindFile) noexcept;
}
