// The reader's frame-rate arithmetic. The host works with rates truncated to
// thousandths, the runtime with frame durations in 100 ns units; these keep
// the conversions in one place so that every path rounds the same way.
#pragma once

#include <cstdint>

#include "win/WinTypes.h"

// 30000/1001 frames per second (NTSC): 333667 x 100 ns, the duration the
// runtime gives such frames. It is the one rate not written in thousandths.
inline constexpr DWORD kNtscFrameDuration = 333667;

// 100 ns units per second.
inline constexpr double kUnitsPerSecond = 10000000.0;

// a / b in double precision, truncated towards zero and held to 32 bits: 0
// for a negative or undefined quotient, UINT32_MAX above it. 25 fps over a
// duration of 2.04 s: 20'400'000 / 400'000 gives 51.
uint32_t TruncatedRatio(double a, double b) noexcept;

// The host's frame rate for a frame duration: 30000/1001 for 333667,
// otherwise frames per second x 1000 (truncated) over 1000, so 400'000
// gives 25000/1000 and 666'666 gives 15000/1000.
void FrameRateFromDuration(double cnsFrame, uint32_t& dwNum, uint32_t& dwDen) noexcept;
