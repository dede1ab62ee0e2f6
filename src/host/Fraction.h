// Reduced fractions in the 32-bit fields of the host records.
#pragma once

#include <cstdint>

namespace vrx::host {

// An aspect ratio as the bitstreams and the host records carry it.
struct Ratio {
    uint32_t x;
    uint32_t y;
};

// Writes num/den in lowest terms. When the reduced terms do not fit in 32
// bits both are halved until they do, which keeps the ratio to about one
// part in 10^7; a ratio beyond what 32-bit terms can express at all comes
// out near the largest (or smallest) one they can. Returns false, writing
// nothing, when either term is 0.
bool ReduceFraction(uint64_t num, uint64_t den, uint32_t* pOutNum, uint32_t* pOutDen) noexcept;

}  // namespace vrx::host
