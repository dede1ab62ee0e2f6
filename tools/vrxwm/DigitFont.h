// Numbers drawn as seven-segment digits into one 8-bit plane (the luma of
// a picture): big enough to read on a thumbnail, plain enough to survive
// lossy compression.
#pragma once

#include <cstdint>

// Width of one digit cell, gap included, for a digit of this height.
int DigitAdvance(int digitHeight) noexcept;

// Draws number with its top-left corner at (x, y), clipped to the plane.
void DrawNumber(uint8_t* pPlane, int stride, int planeWidth, int planeHeight, int x, int y, int digitHeight,
                uint32_t number, uint8_t ink);
