// Frame-rate arithmetic shared by the profile builder and the encoder, so
// that the profile's frame duration and the samples' times agree.
#pragma once

#include <cstdint>

// One frame's duration in 100 ns units for num/den frames per second:
// (1000 / fps + 0.00005) ms, computed in double precision and truncated to
// 100 ns. 25/1 gives 400000, 30000/1001 gives 333667, 30/1 gives 333333.
// A rate with a zero numerator or denominator gives 0.
uint64_t FrameDurationFromRate(uint32_t dwNum, uint32_t dwDen) noexcept;

// Whole seconds between key frames for a key-frame interval in frames:
// interval / (num / den), both divisions on whole numbers, at least 1. At
// 12 frames and 25/1 that is 0, so 1; at 100 frames and 30000/1001 it is
// 100 / 29 = 3. Below one frame per second (num / den truncates to 0) it is
// interval x den / num instead.
uint32_t KeyFrameSeconds(uint32_t dwInterval, uint32_t dwNum, uint32_t dwDen) noexcept;
