// Decoded pictures in the uncompressed layouts the reader offers, with the
// platform's memory conventions: YUV formats top-down with tightly packed
// rows and planes, RGB formats bottom-up with rows padded to 4 bytes (BGR
// byte order, RGB565/RGB555 as little-endian words).
#pragma once

#include <cstdint>

#include "wmf/AvPtr.h"
#include "wmf/WmTypes.h"

enum class VideoOut { NV12, YV12, IYUV, I420, YUY2, UYVY, YVYU, RGB32, RGB24, RGB565, RGB555 };

// The offered formats, in the order GetOutputFormat lists them.
inline constexpr VideoOut kVideoOutOrder[] = {VideoOut::NV12, VideoOut::YV12, VideoOut::IYUV,
                                             VideoOut::I420, VideoOut::YUY2, VideoOut::UYVY,
                                             VideoOut::YVYU, VideoOut::RGB32, VideoOut::RGB24,
                                             VideoOut::RGB565, VideoOut::RGB555};

const GUID& VideoOutSubtype(VideoOut format) noexcept;
// The format of a subtype, false when none matches.
bool VideoOutFromSubtype(const GUID& subtype, VideoOut& format) noexcept;
WORD VideoOutBitCount(VideoOut format) noexcept;
// biCompression: BI_RGB, BI_BITFIELDS (RGB565) or the four-character code.
DWORD VideoOutCompression(VideoOut format) noexcept;
// Bytes of one picture.
DWORD VideoOutImageSize(VideoOut format, int width, int height) noexcept;

class CPictureConverter {
public:
    // Writes the picture at pDst (VideoOutImageSize bytes), scaled to
    // width x height when the decoded size differs.
    HRESULT Convert(const AVFrame& frame, VideoOut format, int width, int height, BYTE* pDst) noexcept;

private:
    AvPtr<SwsContext> m_pScaler;
    int m_srcWidth = 0;
    int m_srcHeight = 0;
    int m_srcFormat = -1;
    int m_dstWidth = 0;
    int m_dstHeight = 0;
    int m_dstFormat = -1;
};
