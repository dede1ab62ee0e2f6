#include "reader/FrameTiming.h"

uint32_t TruncatedRatio(double a, double b) noexcept {
    const double q = a / b;
    if (!(q >= 0.0)) return 0;  // negative, or NaN from 0 / 0
    if (q >= 4294967296.0) return UINT32_MAX;
    return static_cast<uint32_t>(q);
}

void FrameRateFromDuration(double cnsFrame, uint32_t& dwNum, uint32_t& dwDen) noexcept {
    if (cnsFrame == kNtscFrameDuration) {
        dwNum = 30000;
        dwDen = 1001;
        return;
    }
    // Frames per second first, then thousandths: 666'666 gives
    // 15.000015 x 1000, truncated to 15000.
    dwNum = TruncatedRatio(kUnitsPerSecond / cnsFrame * 1000.0, 1.0);
    dwDen = 1000;
}
