// Threads whose handles can be waited for: a thread's handle becomes
// signalled when its start routine returns, and stays signalled.
#pragma once

#include "win/Handle.h"

inline constexpr DWORD STILL_ACTIVE = 259;
inline constexpr DWORD CREATE_SUSPENDED = 0x00000004;
inline constexpr DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x00010000;

using LPTHREAD_START_ROUTINE = DWORD (*)(void* lpParameter);

extern "C" {
// Starts lpStartAddress(lpParameter) on a new thread; dwStackSize 0 means the
// default. The thread runs on whether or not its handle is closed, and frees
// everything it holds when it ends. Suspended creation is not provided
// (there is no ResumeThread): CREATE_SUSPENDED fails with ERROR_NOT_SUPPORTED.
// Security attributes are ignored. *lpThreadId (optional) receives the new
// thread's id, the value GetCurrentThreadId returns on it.
HANDLE CreateThread(void* lpThreadAttributes, size_t dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    void* lpParameter, DWORD dwCreationFlags, DWORD* lpThreadId) noexcept;

// STILL_ACTIVE while the thread runs, then the start routine's result.
BOOL GetExitCodeThread(HANDLE hThread, DWORD* lpExitCode) noexcept;

// A process-wide number for the calling thread, never 0, unique among the
// threads that asked for one (ids are not the system's thread ids).
DWORD GetCurrentThreadId(void) noexcept;
}
