// Raw video out as YUV4MPEG2, 8-bit 4:2:0 (C420jpeg, what FFmpeg and most
// tools take by default), to a file or the standard output.
#pragma once

#include <filesystem>

#include "vrxwm/CFile.h"
#include "vrxwm/CVideoConverter.h"
#include "vrxwm/Picture.h"

extern "C" {
#include <libavutil/rational.h>
}

struct SY4mFormat {
    int width = 0;
    int height = 0;
    AVRational frameRate{25, 1};
    AVRational pixelAspect{1, 1};
    uint32_t dwFieldOrder = 2;  // the host's code: 0 top first, 1 bottom first, 2 progressive
};

class CY4mWriter {
public:
    // "-" writes to the standard output. Writes the header at once.
    CY4mWriter(const std::filesystem::path& file, const SY4mFormat& format);

    // Converts the picture to the header's size in 4:2:0 and appends it.
    void Write(const SPicture& picture);
    void Close();

private:
    CFile m_file;
    CVideoConverter m_converter;
    CPictureBuffer m_frame;
};
