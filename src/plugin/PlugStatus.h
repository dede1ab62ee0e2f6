// Status codes the entry points hand back to the host. The host compares
// them as unsigned 32-bit numbers; Windows Media and COM results are passed
// through unchanged where an operation says so.
#pragma once

#include <cstdint>

inline constexpr uint32_t PLUG_S_OK = 0;
inline constexpr uint32_t PLUG_E_NOT_SUPPORTED = 0x80000002;
inline constexpr uint32_t PLUG_E_NO_HANDLE = 0x80000004;
inline constexpr uint32_t PLUG_E_NULL_ARGUMENT = 0x80000005;
inline constexpr uint32_t PLUG_E_OUT_OF_RANGE = 0x80000006;
inline constexpr uint32_t PLUG_E_WINMEDIA_UNUSABLE = 0x8000000C;
inline constexpr uint32_t PLUG_E_DRIVE_OR_TIMEOUT = 0x8000000D;
