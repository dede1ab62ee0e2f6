#include "wmf/HrFromAv.h"

#include <array>

extern "C" {
#include <libavutil/error.h>
}

HRESULT HrFromAv(int err, AvStage stage, AVMediaType type) noexcept {
    if (err >= 0) return S_OK;
    // Whatever stops FFmpeg from reading a header is damage to the file.
    if (stage == AvStage::Open && err != AVERROR(ENOMEM) && err != AVERROR(EIO)) return NS_E_INVALID_DATA;
    switch (err) {
    case AVERROR(ENOMEM):
        return E_OUTOFMEMORY;
    case AVERROR_EOF:
        // Bytes running out inside the header mean a damaged file.
        return stage == AvStage::Open ? NS_E_INVALID_DATA : NS_E_NO_MORE_SAMPLES;
    case AVERROR_INVALIDDATA:
        return stage == AvStage::Decode
                   ? (type == AVMEDIA_TYPE_AUDIO ? NS_E_AUDIO_CODEC_ERROR : NS_E_VIDEO_CODEC_ERROR)
                   : NS_E_INVALID_DATA;
    case AVERROR_DECODER_NOT_FOUND:
    case AVERROR_ENCODER_NOT_FOUND:
    case AVERROR_PATCHWELCOME:
        return type == AVMEDIA_TYPE_AUDIO ? NS_E_AUDIO_CODEC_NOT_INSTALLED
                                          : NS_E_VIDEO_CODEC_NOT_INSTALLED;
    case AVERROR_DEMUXER_NOT_FOUND:
        return NS_E_INVALID_INPUT_FORMAT;
    case AVERROR(EIO):
        return NS_E_FILE_READ;
    case AVERROR(EINVAL):
        return E_INVALIDARG;
    default:
        return E_FAIL;
    }
}

std::string AvErrorText(int err) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    if (av_strerror(err, text.data(), text.size()) < 0) return "error " + std::to_string(err);
    return text.data();
}
