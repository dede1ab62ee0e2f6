// Kernel object handles. A HANDLE is an opaque number naming an entry of the
// process's handle table, never a pointer: a closed or made-up handle is
// recognised and refused, never dereferenced.
#pragma once

#include <cstdint>

#include "win/WinError.h"

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

extern "C" {
// Closes an event, thread, file or find handle. Closing a thread's handle
// neither waits for nor stops the thread. FALSE with ERROR_INVALID_HANDLE for
// null, closed or unknown handles.
BOOL CloseHandle(HANDLE hObject) noexcept;
}
