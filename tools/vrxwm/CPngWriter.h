// Pictures as 8-bit RGB PNG files, made by FFmpeg's PNG encoder.
#pragma once

#include <filesystem>

#include "vrxwm/AvPtr.h"
#include "vrxwm/CVideoConverter.h"
#include "vrxwm/Picture.h"

class CPngWriter {
public:
    // Converts the picture to RGB and writes it; throws CStatusError.
    void Write(const SPicture& picture, const std::filesystem::path& file);

private:
    void OpenEncoder(int width, int height);

    CVideoConverter m_converter;
    CPictureBuffer m_rgb;
    AvPtr<AVCodecContext> m_pEncoder;
    AvPtr<AVFrame> m_pFrame;
    AvPtr<AVPacket> m_pPacket;
};
