#include "vrxwm/CContactSheet.h"

#include <cstddef>
#include <algorithm>
#include <cstring>

#include "vrxwm/CPngWriter.h"
#include "vrxwm/DigitFont.h"

namespace {

constexpr int kGap = 8;
constexpr uint8_t kBackgroundLuma = 40;
constexpr uint8_t kLabelLuma = 235;
constexpr uint8_t kNeutral = 128;

}  // namespace

CContactSheet::CContactSheet(int columns, int rows, int thumbWidth, int thumbHeight)
    : m_columns(columns),
      m_thumbWidth(thumbWidth & ~1),
      m_thumbHeight(thumbHeight & ~1),
      m_labelHeight(std::max(thumbHeight / 6, 12) & ~1) {
    m_thumb.Allocate(AV_PIX_FMT_YUV420P, m_thumbWidth, m_thumbHeight);
    const int width = kGap + columns * (m_thumbWidth + kGap);
    const int height = kGap + rows * (m_thumbHeight + m_labelHeight + 2 * kGap);
    m_sheet.Allocate(AV_PIX_FMT_YUV420P, width, height);
    std::memset(m_sheet.Plane(0), kBackgroundLuma, static_cast<size_t>(m_sheet.Stride(0)) * height);
    std::memset(m_sheet.Plane(1), kNeutral, static_cast<size_t>(m_sheet.Stride(1)) * ((height + 1) / 2));
    std::memset(m_sheet.Plane(2), kNeutral, static_cast<size_t>(m_sheet.Stride(2)) * ((height + 1) / 2));
}

void CContactSheet::Place(int slot, const SPicture& picture, uint32_t label) {
    m_converter.Convert(picture, m_thumb);
    const int x = kGap + slot % m_columns * (m_thumbWidth + kGap);
    const int y = kGap + slot / m_columns * (m_thumbHeight + m_labelHeight + 2 * kGap);
    // Every offset is even, so the half-size chroma planes copy row by row too.
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        for (int row = 0; row < m_thumbHeight >> shift; ++row) {
            const std::ptrdiff_t sheetRow = (y >> shift) + row;
            std::memcpy(m_sheet.Plane(plane) + sheetRow * m_sheet.Stride(plane) + (x >> shift),
                        m_thumb.Plane(plane) + static_cast<std::ptrdiff_t>(row) * m_thumb.Stride(plane),
                        static_cast<size_t>(m_thumbWidth >> shift));
        }
    }
    DrawNumber(m_sheet.Plane(0), m_sheet.Stride(0), m_sheet.Width(), m_sheet.Height(), x,
               y + m_thumbHeight + kGap, m_labelHeight, label, kLabelLuma);
}

void CContactSheet::Save(const std::filesystem::path& file) {
    CPngWriter().Write(m_sheet.View(), file);
}
