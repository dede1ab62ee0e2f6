// The entry points whose answer never depends on anything. Each serves
// every ordinal listed with it, takes any arguments, reads none of them and
// touches no state.
#pragma once

#include <cstdint>

extern "C" {
// 402, 403, 405, 436, 502, 503, 506.
uint32_t PluginStubZero(...) noexcept;
// 415, 507.
uint32_t PluginStubOne(...) noexcept;
// 419, 430, 510, 511: 0x80000002.
uint32_t PluginNotSupported(...) noexcept;
// 601: 0xFFFFFFFF.
uint32_t PluginStubAllOnes(...) noexcept;
}  // extern "C"
