// Basic Windows types with the widths the Windows ABI gives them, so that
// records and interfaces keep the layout the host and the plug-in agree on.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using QWORD = uint64_t;
using BOOL = int32_t;
using WCHAR = char16_t;  // UTF-16 everywhere, never wchar_t
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using HANDLE = void*;
using HLOCAL = void*;
using HRESULT = int32_t;
using LPVOID = void*;
using LPCVOID = const void*;
using SIZE_T = size_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr size_t MAX_PATH = 260;

constexpr bool SUCCEEDED(HRESULT hr) noexcept { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) noexcept { return hr < 0; }

// HRESULT literals are written as the unsigned numbers the platform documents.
constexpr HRESULT MakeHr(uint32_t value) noexcept { return static_cast<HRESULT>(value); }

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};
static_assert(sizeof(LARGE_INTEGER) == 8 && sizeof(ULARGE_INTEGER) == 8);

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
