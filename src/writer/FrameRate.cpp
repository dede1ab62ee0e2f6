#include "writer/FrameRate.h"

#include <algorithm>

uint64_t FrameDurationFromRate(uint32_t dwNum, uint32_t dwDen) noexcept {
    if (dwNum == 0 || dwDen == 0) return 0;
    const double fps = static_cast<double>(dwNum) / dwDen;
    // The 0.00005 ms keeps 29.97 fps at 333667 rather than 333666.
    return static_cast<uint64_t>((1000.0 / fps + 0.00005) * 10000.0);
}

uint32_t KeyFrameSeconds(uint32_t dwInterval, uint32_t dwNum, uint32_t dwDen) noexcept {
    if (dwNum == 0 || dwDen == 0) return 1;
    const uint32_t dwWholeFps = dwNum / dwDen;
    const uint64_t seconds = dwWholeFps != 0
                                 ? dwInterval / dwWholeFps
                                 : uint64_t{dwInterval} * dwDen / dwNum;
    return static_cast<uint32_t>(std::clamp<uint64_t>(seconds, 1, UINT32_MAX));
}
