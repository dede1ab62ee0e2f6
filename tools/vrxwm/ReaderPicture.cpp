#include "vrxwm/ReaderPicture.h"

#include <cstddef>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "vrxwm/CStatusError.h"
#include "vrxwm/MediaNames.h"
#include "vrxwm/StatusText.h"

namespace {

SPicture Packed(AVPixelFormat format, int width, int height, const uint8_t* pData, int stride) {
    SPicture picture;
    picture.format = format;
    picture.width = width;
    picture.height = height;
    picture.planes[0] = pData;
    picture.strides[0] = stride;
    return picture;
}

// A bottom-up picture is a top-down one read from its last row backwards.
SPicture BottomUp(AVPixelFormat format, int width, int height, const uint8_t* pData, int stride) {
    return Packed(format, width, height, pData + static_cast<std::ptrdiff_t>(stride) * (height - 1), -stride);
}

}  // namespace

bool IsDecodedVideo(const SPlugVideoStreamInfo& video) noexcept {
    return video.dwCodecType == PLUG_VIDEO_CODEC_WINMEDIA;
}

void RequireDecodedVideo(const SPlugVideoStreamInfo& video) {
    if (!IsDecodedVideo(video))
        throw CStatusError(kStatusVideoCodecMissing,
                           "the reader hands out " + VideoCodecName(video) + " video compressed");
}

SPicture PictureOfFrame(const SPlugVideoStreamInfo& video, const SPlugFrame& frame) {
    RequireDecodedVideo(video);
    const int width = static_cast<int>(video.dwWidth);
    const int height = static_cast<int>(video.dwHeight);
    const uint64_t cbFrame = frame.cbData;
    const auto tooShort = [&](uint64_t cbNeeded) {
        return CStatusError(kStatusInvalidData, "frame " + std::to_string(frame.info.qwFrameNumber) + " holds " +
                                                    std::to_string(cbFrame) + " bytes, a " +
                                                    std::to_string(width) + "x" + std::to_string(height) + " " +
                                                    ColourFormatName(video.dwColorFormat) + " picture needs " +
                                                    std::to_string(cbNeeded));
    };
    switch (video.dwColorFormat) {
    case PLUG_COLOR_FORMAT_YUY2:
    case PLUG_COLOR_FORMAT_UYVY: {
        // Two pixels share four bytes, so an odd width takes a whole pair.
        const int stride = (width + 1) / 2 * 4;
        const uint64_t cbNeeded = uint64_t{static_cast<uint32_t>(stride)} * height;
        if (cbFrame < cbNeeded) throw tooShort(cbNeeded);
        return Packed(video.dwColorFormat == PLUG_COLOR_FORMAT_YUY2 ? AV_PIX_FMT_YUYV422 : AV_PIX_FMT_UYVY422,
                      width, height, frame.pData, stride);
    }
    case PLUG_COLOR_FORMAT_I420: {
        SPicture picture;
        uint8_t* planes[4] = {};
        int strides[4] = {};
        const int cbNeeded = av_image_fill_arrays(planes, strides, frame.pData, AV_PIX_FMT_YUV420P, width, height,
                                                  /*align=*/1);
        if (cbNeeded < 0 || cbFrame < static_cast<uint64_t>(cbNeeded)) throw tooShort(cbNeeded < 0 ? 0 : cbNeeded);
        picture.format = AV_PIX_FMT_YUV420P;
        picture.width = width;
        picture.height = height;
        for (size_t i = 0; i < 4; ++i) {
            picture.planes[i] = planes[i];
            picture.strides[i] = strides[i];
        }
        return picture;
    }
    case PLUG_COLOR_FORMAT_RGB32: {
        // Both shapes share the format code; only the length tells them apart
        // (for any picture wider than 3 pixels).
        const uint64_t cb32 = uint64_t{4} * width * height;
        if (cbFrame == cb32) return Packed(AV_PIX_FMT_BGR0, width, height, frame.pData, 4 * width);
        const int stride24 = (3 * width + 3) & ~3;
        const uint64_t cb24 = uint64_t{static_cast<uint32_t>(stride24)} * height;
        if (cbFrame < cb24) throw tooShort(cb24);
        return BottomUp(AV_PIX_FMT_BGR24, width, height, frame.pData, stride24);
    }
    default:
        throw CStatusError(kStatusVideoCodecMissing,
                           "the reader delivers colour format " + std::to_string(video.dwColorFormat) +
                               ", which this tool cannot read");
    }
}
