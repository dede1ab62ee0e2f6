#include "vrxwm/CFramePattern.h"

#include <cstddef>
#include <algorithm>
#include <cstdlib>

#include "vrxwm/DigitFont.h"

namespace {

// Studio-range black and white, and the neutral chroma value.
constexpr uint8_t kBlack = 16;
constexpr uint8_t kWhite = 235;
constexpr uint8_t kNeutral = 128;
// A cell must be darker or lighter than these to count as 0 or 1.
constexpr int kDarkLimit = 90;
constexpr int kLightLimit = 160;

// Y, U, V of 75% colour bars: white, yellow, cyan, green, magenta, red, blue, black.
constexpr uint8_t kBars[8][3] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                                 {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};

// The cells: two rows of eight, one 16x16 macroblock each, on the codec's
// macroblock grid, so that every cell is coded as a whole and a cell that
// flips between frames is not left half-way by a starved predicted frame.
constexpr int kCellSize = 16;
constexpr int kCellColumns = 8;

struct SCells {
    int left;
    int top;
};

SCells CellsOf(int height) noexcept {
    return {kCellSize, (height - 2 * kCellSize) & ~(kCellSize - 1)};
}

void Fill(CPictureBuffer& p, int x0, int y0, int w, int h, uint8_t y, uint8_t u, uint8_t v) {
    const int x1 = std::min(x0 + w, p.Width());
    const int y1 = std::min(y0 + h, p.Height());
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    for (int row = y0; row < y1; ++row)
        std::fill_n(p.Plane(0) + static_cast<std::ptrdiff_t>(row) * p.Stride(0) + x0, std::max(x1 - x0, 0), y);
    const int chromaWidth = std::max((x1 - x0) / 2, 0);
    for (int row = y0 / 2; row < (y1 + 1) / 2; ++row) {
        std::fill_n(p.Plane(1) + static_cast<std::ptrdiff_t>(row) * p.Stride(1) + x0 / 2, chromaWidth, u);
        std::fill_n(p.Plane(2) + static_cast<std::ptrdiff_t>(row) * p.Stride(2) + x0 / 2, chromaWidth, v);
    }
}

}  // namespace

CFramePattern::CFramePattern(int width, int height, AVRational frameRate, uint32_t nFrames)
    : m_width(width), m_height(height), m_rate(frameRate), m_nFrames(nFrames) {
    m_frame.Allocate(AV_PIX_FMT_YUV420P, width, height);
    m_view = m_frame.View();
}

SVideoFormat CFramePattern::Format() const {
    SVideoFormat format;
    format.width = m_width;
    format.height = m_height;
    format.frameRate = m_rate;
    format.displayAspect = {m_width, m_height};
    return format;
}

const SPicture* CFramePattern::Next() {
    if (m_iNext >= m_nFrames) return nullptr;
    Draw(m_iNext++, m_frame);
    return &m_view;
}

void CFramePattern::Draw(uint32_t index, CPictureBuffer& picture) const {
    const int w = m_width;
    const int h = m_height;
    // Bars scrolling by four pixels a frame, on even columns so that the
    // chroma planes line up.
    const int barWidth = std::max(w / 8 & ~1, 2);
    const int shift = static_cast<int>(index * 4 % static_cast<uint32_t>(8 * barWidth));
    for (int x = 0; x < w; x += 2) {
        const uint8_t* bar = kBars[((x + shift) / barWidth) % 8];
        Fill(picture, x, 0, 2, h, bar[0], bar[1], bar[2]);
    }
    // A square bouncing between the left and right edges.
    const int side = h / 4 & ~1;
    const int travel = std::max(w - side, 2);
    const int phase = static_cast<int>(index * 6 % static_cast<uint32_t>(2 * travel));
    const int x = (phase < travel ? phase : 2 * travel - phase) & ~1;
    Fill(picture, x, h / 2 - side / 2, side, side, kWhite, kNeutral, kNeutral);

    // The number in digits on a black plate, top left.
    const int digitHeight = std::max(h / 6 & ~1, 8);
    const int plateWidth = DigitAdvance(digitHeight) * 5 + digitHeight / 2;
    Fill(picture, 0, 0, plateWidth, digitHeight * 3 / 2, kBlack, kNeutral, kNeutral);
    const int margin = digitHeight / 4;
    DrawNumber(picture.Plane(0), picture.Stride(0), w, h, margin, margin, digitHeight, index, kWhite);

    // The number in cells, least significant bit first.
    const SCells cells = CellsOf(h);
    Fill(picture, 0, cells.top, w, 2 * kCellSize, kBlack, kNeutral, kNeutral);
    for (int bit = 0; bit < kIndexBits; ++bit) {
        if (index >> bit & 1)
            Fill(picture, cells.left + bit % kCellColumns * kCellSize, cells.top + bit / kCellColumns * kCellSize,
                 kCellSize, kCellSize, kWhite, kNeutral, kNeutral);
    }
}

int64_t CFramePattern::ReadIndex(const uint8_t* pLuma, int stride, int width, int height) {
    if (width < kMinWidth || height < kMinHeight) return -1;
    const SCells cells = CellsOf(height);
    // The middle half of each cell, away from edges that compression blurs.
    constexpr int kInset = kCellSize / 4;
    constexpr int kSpan = kCellSize / 2;
    int64_t index = 0;
    for (int bit = 0; bit < kIndexBits; ++bit) {
        const int x0 = cells.left + bit % kCellColumns * kCellSize + kInset;
        const int y0 = cells.top + bit / kCellColumns * kCellSize + kInset;
        int sum = 0;
        for (int y = y0; y < y0 + kSpan; ++y)
            for (int x = x0; x < x0 + kSpan; ++x) sum += pLuma[static_cast<std::ptrdiff_t>(y) * stride + x];
        const int mean = sum / (kSpan * kSpan);
        if (mean > kLightLimit) index |= int64_t{1} << bit;
        else if (mean >= kDarkLimit) return -1;
    }
    return index;
}
