// Uncompressed pictures in FFmpeg's terms: a view of someone else's memory
// (SPicture) and a picture that owns its memory in one contiguous block,
// as the writer takes a frame (CPictureBuffer).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct SPicture {
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int width = 0;
    int height = 0;
    std::array<const uint8_t*, 4> planes{};
    std::array<int, 4> strides{};
};

class CPictureBuffer {
public:
    // Planes packed one after the other without row padding; throws
    // CStatusError for a size FFmpeg cannot lay out.
    void Allocate(AVPixelFormat format, int width, int height);

    SPicture View() const noexcept;
    uint8_t* Plane(int i) noexcept { return m_planes[static_cast<std::size_t>(i)]; }
    int Stride(int i) const noexcept { return m_strides[static_cast<std::size_t>(i)]; }
    const uint8_t* Data() const noexcept { return m_bytes.data(); }
    uint32_t Size() const noexcept { return static_cast<uint32_t>(m_bytes.size()); }
    AVPixelFormat Format() const noexcept { return m_format; }
    int Width() const noexcept { return m_width; }
    int Height() const noexcept { return m_height; }

private:
    AVPixelFormat m_format = AV_PIX_FMT_NONE;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_bytes;
    std::array<uint8_t*, 4> m_planes{};
    std::array<int, 4> m_strides{};
};
