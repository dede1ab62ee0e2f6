// In-process capture of the host log, for tests and embedding hosts.
#pragma once

#include <cstdint>

// Type handed to the hook for a VRXMSGW message; the log types of
// VRX_OutputW (INFOTYPE) are all below it.
inline constexpr uint32_t VRX_HOST_LOG_MESSAGE = 0x10000;

// Receives every host log entry after formatting: the source, the entry's
// type and the text as the caller formatted it (trailing newline included).
// The strings live only for the call.
using VrxHostLogHook = void (*)(const char16_t* source, uint32_t type, const char16_t* text,
                                void* ctx);

extern "C" {

// Installs hook (null removes it) with ctx passed back on every call. Calls
// are serialised with the log's other channels, so the hook must not log
// itself; once this returns the previous hook is not running and is never
// called again.
void VRX_SetHostLogHook(VrxHostLogHook hook, void* ctx);

}  // extern "C"
