// Raw video in the YUV4MPEG2 format: a one-line header (size, frame rate,
// interlacing, pixel aspect, colour space) and frames each behind a FRAME
// line. 8-bit 4:2:0, 4:2:2, 4:4:4 and greyscale, and their 10-bit forms.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "vrxwm/CFile.h"
#include "vrxwm/MediaSource.h"
#include "vrxwm/Picture.h"

extern "C" {
#include <libavutil/rational.h>
}

class CY4mReader final : public IVideoSource {
public:
    // "-" reads the standard input. Throws CStatusError for a file that is
    // missing or is not YUV4MPEG2.
    explicit CY4mReader(const std::filesystem::path& file);

    int Width() const noexcept { return m_width; }
    int Height() const noexcept { return m_height; }
    AVRational FrameRate() const noexcept { return m_rate; }
    // 1:1 when the file says nothing (A0:0).
    AVRational PixelAspect() const noexcept { return m_pixelAspect; }
    // The host's code: 0 top field first, 1 bottom field first, 2 progressive.
    uint32_t FieldOrder() const noexcept { return m_dwFieldOrder; }
    AVPixelFormat PixelFormat() const noexcept { return m_format; }

    // The display aspect follows from the size and the pixel aspect.
    SVideoFormat Format() const override;
    // False for a pipe, which cannot be read twice.
    bool CanRewind() const noexcept { return m_bSeekable; }
    // From the file's length, -1 for a pipe.
    int64_t FrameCount() const override { return m_nFrames; }
    // The next frame, valid until the next call; null after the last.
    const SPicture* Next() override;
    // Back to the first frame; throws for a pipe.
    void Rewind() override;

private:
    void ParseHeader(const std::string& header);
    bool ReadLine(std::string& line, size_t maxLength, const char* what);

    CFile m_file;
    int m_width = 0;
    int m_height = 0;
    AVRational m_rate{0, 0};
    AVRational m_pixelAspect{1, 1};
    uint32_t m_dwFieldOrder = 2;
    AVPixelFormat m_format = AV_PIX_FMT_YUV420P;
    int64_t m_nFrames = -1;
    bool m_bSeekable = false;
    int64_t m_cbHeader = 0;
    int64_t m_iFrame = 0;
    CPictureBuffer m_frame;
    SPicture m_view;
};
