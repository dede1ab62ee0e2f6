#include "wmf/CPictureConverter.h"

#include "wmf/WmGuids.h"

namespace {

int ChromaWidth(int width) noexcept { return (width + 1) / 2; }
int ChromaHeight(int height) noexcept { return (height + 1) / 2; }
int RgbStride(int width, int bytesPerPixel) noexcept { return (width * bytesPerPixel + 3) & ~3; }

AVPixelFormat PixelFormatOf(VideoOut format) noexcept {
    switch (format) {
    case VideoOut::NV12: return AV_PIX_FMT_NV12;
    case VideoOut::YV12:
    case VideoOut::IYUV:
    case VideoOut::I420: return AV_PIX_FMT_YUV420P;
    case VideoOut::YUY2: return AV_PIX_FMT_YUYV422;
    case VideoOut::UYVY: return AV_PIX_FMT_UYVY422;
    case VideoOut::YVYU: return AV_PIX_FMT_YVYU422;
    case VideoOut::RGB32: return AV_PIX_FMT_BGR0;
    case VideoOut::RGB24: return AV_PIX_FMT_BGR24;
    case VideoOut::RGB565: return AV_PIX_FMT_RGB565LE;
    case VideoOut::RGB555: return AV_PIX_FMT_RGB555LE;
    }
    return AV_PIX_FMT_NONE;
}

}  // namespace

const GUID& VideoOutSubtype(VideoOut format) noexcept {
    switch (format) {
    case VideoOut::NV12: return MEDIASUBTYPE_NV12;
    case VideoOut::YV12: return MEDIASUBTYPE_YV12;
    case VideoOut::IYUV: return MEDIASUBTYPE_IYUV;
    case VideoOut::I420: return MEDIASUBTYPE_I420;
    case VideoOut::YUY2: return MEDIASUBTYPE_YUY2;
    case VideoOut::UYVY: return MEDIASUBTYPE_UYVY;
    case VideoOut::YVYU: return MEDIASUBTYPE_YVYU;
    case VideoOut::RGB32: return MEDIASUBTYPE_RGB32;
    case VideoOut::RGB24: return MEDIASUBTYPE_RGB24;
    case VideoOut::RGB565: return MEDIASUBTYPE_RGB565;
    case VideoOut::RGB555: return MEDIASUBTYPE_RGB555;
    }
    return MEDIASUBTYPE_RGB24;
}

bool VideoOutFromSubtype(const GUID& subtype, VideoOut& format) noexcept {
    for (const VideoOut f : kVideoOutOrder) {
        if (VideoOutSubtype(f) == subtype) {
            format = f;
            return true;
        }
    }
    return false;
}

WORD VideoOutBitCount(VideoOut format) noexcept {
    switch (format) {
    case VideoOut::NV12:
    case VideoOut::YV12:
    case VideoOut::IYUV:
    case VideoOut::I420: return 12;
    case VideoOut::YUY2:
    case VideoOut::UYVY:
    case VideoOut::YVYU:
    case VideoOut::RGB565:
    case VideoOut::RGB555: return 16;
    case VideoOut::RGB24: return 24;
    case VideoOut::RGB32: return 32;
    }
    return 24;
}

DWORD VideoOutCompression(VideoOut format) noexcept {
    switch (format) {
    case VideoOut::RGB32:
    case VideoOut::RGB24:
    case VideoOut::RGB555: return BI_RGB;
    case VideoOut::RGB565: return BI_BITFIELDS;
    default: return VideoOutSubtype(format).Data1;
    }
}

DWORD VideoOutImageSize(VideoOut format, int width, int height) noexcept {
    const auto w = static_cast<DWORD>(width);
    const auto h = static_cast<DWORD>(height);
    switch (format) {
    case VideoOut::NV12:
    case VideoOut::YV12:
    case VideoOut::IYUV:
    case VideoOut::I420:
        return w * h + 2 * static_cast<DWORD>(ChromaWidth(width) * ChromaHeight(height));
    case VideoOut::YUY2:
    case VideoOut::UYVY:
    case VideoOut::YVYU: return static_cast<DWORD>(ChromaWidth(width)) * 4 * h;
    case VideoOut::RGB32: return w * 4 * h;
    case VideoOut::RGB24: return static_cast<DWORD>(RgbStride(width, 3)) * h;
    case VideoOut::RGB565:
    case VideoOut::RGB555: return static_cast<DWORD>(RgbStride(width, 2)) * h;
    }
    return 0;
}

HRESULT CPictureConverter::Convert(const AVFrame& frame, VideoOut format, int width, int height,
                                   BYTE* pDst) noexcept {
    if (width <= 0 || height <= 0 || frame.width <= 0 || frame.height <= 0) return E_INVALIDARG;
    const AVPixelFormat dstFormat = PixelFormatOf(format);
    if (!m_pScaler || m_srcWidth != frame.width || m_srcHeight != frame.height ||
        m_srcFormat != frame.format || m_dstWidth != width || m_dstHeight != height ||
        m_dstFormat != dstFormat) {
        m_pScaler.reset(sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                                       width, height, dstFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!m_pScaler) return E_OUTOFMEMORY;
        m_srcWidth = frame.width;
        m_srcHeight = frame.height;
        m_srcFormat = frame.format;
        m_dstWidth = width;
        m_dstHeight = height;
        m_dstFormat = dstFormat;
    }
    uint8_t* planes[4] = {};
    int strides[4] = {};
    const int cw = ChromaWidth(width);
    const int ch = ChromaHeight(height);
    switch (format) {
    case VideoOut::NV12:
        planes[0] = pDst;
        strides[0] = width;
        planes[1] = pDst + width * height;
        strides[1] = cw * 2;
        break;
    case VideoOut::YV12:
    case VideoOut::IYUV:
    case VideoOut::I420: {
        uint8_t* y = pDst;
        uint8_t* first = pDst + width * height;
        uint8_t* second = first + cw * ch;
        planes[0] = y;
        strides[0] = width;
        // YV12 stores V before U.
        planes[1] = format == VideoOut::YV12 ? second : first;
        planes[2] = format == VideoOut::YV12 ? first : second;
        strides[1] = strides[2] = cw;
        break;
    }
    case VideoOut::YUY2:
    case VideoOut::UYVY:
    case VideoOut::YVYU:
        planes[0] = pDst;
        strides[0] = cw * 4;
        break;
    case VideoOut::RGB32:
    case VideoOut::RGB24:
    case VideoOut::RGB565:
    case VideoOut::RGB555: {
        const int bytes = format == VideoOut::RGB32 ? 4 : format == VideoOut::RGB24 ? 3 : 2;
        const int stride = RgbStride(width, bytes);
        // Bottom-up: the first row written is the last in memory.
        planes[0] = pDst + static_cast<ptrdiff_t>(stride) * (height - 1);
        strides[0] = -stride;
        break;
    }
    }
    const int rows = sws_scale(m_pScaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return rows > 0 ? S_OK : E_FAIL;
}
