// MulDiv: a * b / c through a 64-bit intermediate, as the plug-in's time and
// size arithmetic expects it from the platform.
#pragma once

#include "win/WinTypes.h"

extern "C" {
// The quotient rounded half away from zero (MulDiv(3, 1, 2) == 2,
// MulDiv(-3, 1, 2) == -2). -1 when c is 0 or the result lies outside the
// 32-bit range.
int MulDiv(int nNumber, int nNumerator, int nDenominator) noexcept;
}
