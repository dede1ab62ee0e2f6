#include "vrx/VRXHost.h"

#include "host/Fraction.h"

// display = sample x width / height, so with 32-bit terms every product
// below fits in 64 bits before it is reduced.

int32_t DARtoSAR(uint32_t width, uint32_t height, uint32_t x, uint32_t y, uint32_t* outX,
                 uint32_t* outY) {
    if (!outX || !outY || width == 0 || height == 0) return 0;
    if (x == 0 || y == 0) {
        *outX = 1;
        *outY = 1;
        return 1;
    }
    return vrx::host::ReduceFraction(uint64_t{x} * height, uint64_t{y} * width, outX, outY) ? 1 : 0;
}

int32_t SARtoDAR(uint32_t width, uint32_t height, uint32_t x, uint32_t y, uint32_t* outX,
                 uint32_t* outY) {
    if (!outX || !outY || width == 0 || height == 0) return 0;
    if (x == 0 || y == 0) x = y = 1;
    return vrx::host::ReduceFraction(uint64_t{x} * width, uint64_t{y} * height, outX, outY) ? 1 : 0;
}
