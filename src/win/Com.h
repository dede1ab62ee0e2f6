// COM apartments and task memory, as far as the plug-in and its layers use
// them. Nothing here marshals: an "apartment" is only the per-thread record
// that COM was initialised, which the Windows Media layer checks before it
// creates objects.
#pragma once

#include <cstdint>

#include "win/WinError.h"

inline constexpr uint32_t COINIT_MULTITHREADED = 0x0;
inline constexpr uint32_t COINIT_APARTMENTTHREADED = 0x2;
inline constexpr uint32_t COINIT_DISABLE_OLE1DDE = 0x4;
inline constexpr uint32_t COINIT_SPEED_OVER_MEMORY = 0x8;

extern "C" {
// S_OK the first time on a thread, S_FALSE for each further call in the same
// mode (each must be matched by CoUninitialize), RPC_E_CHANGED_MODE when the
// thread is already in the other mode, E_INVALIDARG for a non-null reserved
// argument or unknown flags.
int32_t CoInitializeEx(void* reserved, uint32_t flags) noexcept;
// Undoes one successful CoInitializeEx of the calling thread; extra calls are
// ignored.
void CoUninitialize(void) noexcept;

// Memory handed across interfaces (STATSTG::pwcsName, for example).
void* CoTaskMemAlloc(size_t cb) noexcept;
void CoTaskMemFree(void* pv) noexcept;
}

// True on a thread that holds COM (more CoInitializeEx than CoUninitialize
// calls) and on every thread while any thread of the process holds the
// multithreaded apartment: threads that never initialise COM belong to the
// process's implicit multithreaded apartment then, as on the platform.
//
// A thread that ends without CoUninitialize gives up what it held when it
// exits: threads started with CreateThread before their handle is signalled,
// other threads while their thread-local storage is destroyed.
bool VrxComIsInitialized() noexcept;

namespace vrx {
// Gives up the calling thread's COM initialisation at once; CreateThread's
// threads call it when their start routine returns.
void ReleaseThreadApartment() noexcept;
}  // namespace vrx
