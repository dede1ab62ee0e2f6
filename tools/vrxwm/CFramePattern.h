// The demo's moving test pattern: colour bars scrolling sideways, a white
// square bouncing across them, the frame number in large digits, and the
// frame number again as black and white cells along the bottom edge,
// which a program reads back after lossy compression to tell which frame
// it holds.
#pragma once

#include <cstdint>

#include "vrxwm/MediaSource.h"
#include "vrxwm/Picture.h"

class CFramePattern final : public IVideoSource {
public:
    // width and height even, at least kMinWidth x kMinHeight, so that the
    // cells fit.
    CFramePattern(int width, int height, AVRational frameRate, uint32_t nFrames);

    SVideoFormat Format() const override;
    int64_t FrameCount() const override { return m_nFrames; }
    const SPicture* Next() override;
    void Rewind() override { m_iNext = 0; }

    // Frame index into an I420 picture of the pattern's size.
    void Draw(uint32_t index, CPictureBuffer& picture) const;

    // The number in the bottom row of cells of a picture's luma plane (of
    // the pattern's size), or -1 when the cells are not clearly black and
    // white.
    static int64_t ReadIndex(const uint8_t* pLuma, int stride, int width, int height);

    static constexpr int kIndexBits = 16;
    static constexpr int kMinWidth = 144;
    static constexpr int kMinHeight = 96;

private:
    int m_width;
    int m_height;
    AVRational m_rate;
    uint32_t m_nFrames;
    uint32_t m_iNext = 0;
    CPictureBuffer m_frame;
    SPicture m_view;
};
