// Events and waits with the platform's semantics, which the writer's hand-off
// between the host's thread and its worker relies on:
//
// - An auto-reset event wakes exactly one waiter per SetEvent and is consumed
//   only by the wait that returns it; set with nobody waiting, it stays set
//   until one wait takes it. A manual-reset event wakes every waiter and stays
//   set until ResetEvent.
// - WaitForMultipleObjects waits for any one of its handles; when several are
//   signalled the lowest index wins, and only that object is consumed.
// - SetEvent followed by a wait that it satisfies orders memory like a lock's
//   release and acquire: what the setter wrote before SetEvent, the waiter
//   sees after its wait returns.
// - A null, closed or unknown handle makes SetEvent/ResetEvent fail and a
//   wait return WAIT_FAILED at once, with ERROR_INVALID_HANDLE.
//
// Event and thread handles can be waited on; other handles cannot.
#pragma once

#include "win/Handle.h"

inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

extern "C" {
// Security attributes are ignored. Named events are not provided: a non-empty
// name fails with ERROR_NOT_SUPPORTED.
HANDLE CreateEventW(void* lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName) noexcept;
BOOL SetEvent(HANDLE hEvent) noexcept;
BOOL ResetEvent(HANDLE hEvent) noexcept;

// dwMilliseconds may be 0 (poll) or INFINITE. Result: WAIT_OBJECT_0,
// WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) noexcept;

// Wait-any over 1 to MAXIMUM_WAIT_OBJECTS handles: WAIT_OBJECT_0 + index,
// WAIT_TIMEOUT or WAIT_FAILED. Waiting for all of several handles is not
// provided: bWaitAll with more than one handle fails at once with
// ERROR_NOT_SUPPORTED.
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) noexcept;
}
