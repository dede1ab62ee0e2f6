#include "vrxwm/DigitFont.h"

#include <cstddef>
#include <algorithm>
#include <string>

namespace {

// Segments a-g as bits 0-6: a top, b upper right, c lower right, d bottom,
// e lower left, f upper left, g middle.
constexpr uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

struct SPlane {
    uint8_t* p;
    int stride;
    int width;
    int height;
    void Fill(int x0, int y0, int w, int h, uint8_t ink) const {
        const int x1 = std::min(x0 + w, width);
        const int y1 = std::min(y0 + h, height);
        for (int y = std::max(y0, 0); y < y1; ++y)
            for (int x = std::max(x0, 0); x < x1; ++x) p[static_cast<std::ptrdiff_t>(y) * stride + x] = ink;
    }
};

void DrawDigit(const SPlane& plane, int x, int y, int height, int digit, uint8_t ink) {
    const int w = height / 2;
    const int t = std::max(height / 8, 1);  // stroke thickness
    const int half = height / 2;
    const uint8_t segments = kSegments[digit];
    if (segments & 0x01) plane.Fill(x, y, w, t, ink);
    if (segments & 0x02) plane.Fill(x + w - t, y, t, half, ink);
    if (segments & 0x04) plane.Fill(x + w - t, y + half, t, height - half, ink);
    if (segments & 0x08) plane.Fill(x, y + height - t, w, t, ink);
    if (segments & 0x10) plane.Fill(x, y + half, t, height - half, ink);
    if (segments & 0x20) plane.Fill(x, y, t, half, ink);
    if (segments & 0x40) plane.Fill(x, y + half - t / 2, w, t, ink);
}

}  // namespace

int DigitAdvance(int digitHeight) noexcept {
    return digitHeight / 2 + std::max(digitHeight / 5, 1);
}

void DrawNumber(uint8_t* pPlane, int stride, int planeWidth, int planeHeight, int x, int y, int digitHeight,
                uint32_t number, uint8_t ink) {
    const SPlane plane{pPlane, stride, planeWidth, planeHeight};
    for (const char c : std::to_string(number)) {
        DrawDigit(plane, x, y, digitHeight, c - '0', ink);
        x += DigitAdvance(digitHeight);
    }
}
