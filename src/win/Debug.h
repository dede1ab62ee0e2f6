// The debugger output channel. There is no debugger to attach to here: the
// text goes to stderr, as UTF-8 and otherwise unchanged, when the environment
// variable VRX_DEBUG_OUTPUT is "1" at the time of the call, and to an
// in-process hook when one is installed, whether or not stderr is enabled.
#pragma once

#include "win/WinTypes.h"

using VrxDebugOutputHook = void (*)(const WCHAR* text, void* ctx);

extern "C" {
// Null is ignored.
void OutputDebugStringW(LPCWSTR lpOutputString) noexcept;

// Installs the hook (null removes it). The hook runs on the thread that
// calls OutputDebugStringW, possibly on several threads at once; once this
// returns, the previous hook is no longer running and will not be called
// again, so its context may be freed. A hook must not call this function.
void VrxSetDebugOutputHook(VrxDebugOutputHook hook, void* ctx) noexcept;
}
