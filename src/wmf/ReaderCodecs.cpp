#include "wmf/ReaderCodecs.h"

#include <cstring>

#include "win/NsError.h"
#include "wmf/HrFromAv.h"
#include "wmf/WmGuids.h"

namespace {

SCodecChoice Decoded(AVCodecID id, int warmup, bool fromStart = false) noexcept {
    SCodecChoice choice;
    // A listed codec that this FFmpeg build cannot decode is delivered as
    // stored, as on a machine without the codec.
    choice.bDecoded = avcodec_find_decoder(id) != nullptr;
    choice.id = id;
    choice.warmupObjects = warmup;
    choice.bWarmupFromStart = fromStart;
    return choice;
}

DWORD Upper(DWORD fourCC) noexcept {
    DWORD out = 0;
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<char>((fourCC >> (8 * i)) & 0xFF);
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        out |= static_cast<DWORD>(static_cast<uint8_t>(c)) << (8 * i);
    }
    return out;
}

}  // namespace

SCodecChoice VideoCodecFor(DWORD fourCC) noexcept {
    switch (Upper(fourCC)) {
    case MakeFourCC('W', 'M', 'V', '1'):
        return Decoded(AV_CODEC_ID_WMV1, 0);
    case MakeFourCC('W', 'M', 'V', '2'):
        return Decoded(AV_CODEC_ID_WMV2, 0);
    case MakeFourCC('W', 'M', 'V', '3'):
        return Decoded(AV_CODEC_ID_WMV3, 0);
    case MakeFourCC('W', 'V', 'C', '1'):
    case MakeFourCC('W', 'M', 'V', 'A'):
        return Decoded(AV_CODEC_ID_VC1, 0);
    case MakeFourCC('M', 'P', '4', '2'):
        return Decoded(AV_CODEC_ID_MSMPEG4V2, 0);
    case MakeFourCC('M', 'P', '4', '3'):
        return Decoded(AV_CODEC_ID_MSMPEG4V3, 0);
    default:
        return {};
    }
}

SCodecChoice AudioCodecFor(const WAVEFORMATEX& wfx, const BYTE* pExtra, size_t cbExtra) noexcept {
    WORD tag = wfx.wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE && pExtra && cbExtra >= 22) {
        GUID sub;
        std::memcpy(&sub, pExtra + 6, sizeof sub);
        if (sub == KSDATAFORMAT_SUBTYPE_PCM) tag = WAVE_FORMAT_PCM;
        else if (sub == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) tag = WAVE_FORMAT_IEEE_FLOAT;
    }
    // Warm-up measured on each decoder with one more object for margin:
    // MDCT overlap and bit reservoirs reach one or two objects back.
    switch (tag) {
    case WAVE_FORMAT_PCM:
        switch (wfx.wBitsPerSample) {
        case 8: return Decoded(AV_CODEC_ID_PCM_U8, 0);
        case 16: return Decoded(AV_CODEC_ID_PCM_S16LE, 0);
        case 24: return Decoded(AV_CODEC_ID_PCM_S24LE, 0);
        case 32: return Decoded(AV_CODEC_ID_PCM_S32LE, 0);
        default: return {};
        }
    case WAVE_FORMAT_IEEE_FLOAT:
        return wfx.wBitsPerSample == 64 ? Decoded(AV_CODEC_ID_PCM_F64LE, 0)
                                        : Decoded(AV_CODEC_ID_PCM_F32LE, 0);
    case 0x0050:
        return Decoded(AV_CODEC_ID_MP2, 2);
    case 0x0055:
        return Decoded(AV_CODEC_ID_MP3, 4);
    case WAVE_FORMAT_WMAUDIO2:
        return Decoded(AV_CODEC_ID_WMAV2, 3);
    case WAVE_FORMAT_MSAUDIO1:
        return Decoded(AV_CODEC_ID_WMAV1, 3);
    case WAVE_FORMAT_WMAUDIO3:
        return Decoded(AV_CODEC_ID_WMAPRO, 3);
    case WAVE_FORMAT_WMAUDIO_LOSSLESS:
        return Decoded(AV_CODEC_ID_WMALOSSLESS, 16);
    case WAVE_FORMAT_WMAVOICE9:
        return Decoded(AV_CODEC_ID_WMAVOICE, 8, /*fromStart=*/true);
    case 0x0130:
        return Decoded(AV_CODEC_ID_SIPR, 8);
    default:
        return {};
    }
}

HRESULT OpenDecoder(const AVCodecParameters& parameters, AVCodecID id, AvPtr<AVCodecContext>& decoder) noexcept {
    const AVCodec* codec = avcodec_find_decoder(id);
    const bool video = parameters.codec_type == AVMEDIA_TYPE_VIDEO;
    if (!codec) return video ? NS_E_VIDEO_CODEC_NOT_INSTALLED : NS_E_AUDIO_CODEC_NOT_INSTALLED;
    AvPtr<AVCodecContext> context(avcodec_alloc_context3(codec));
    if (!context) return E_OUTOFMEMORY;
    int err = avcodec_parameters_to_context(context.get(), &parameters);
    if (err < 0) return HrFromAv(err, AvStage::Decode, parameters.codec_type);
    context->codec_id = id;
    context->thread_count = 1;
    err = avcodec_open2(context.get(), codec, nullptr);
    if (err < 0) return video ? NS_E_VIDEO_CODEC_NOT_INSTALLED : NS_E_AUDIO_CODEC_NOT_INSTALLED;
    decoder = std::move(context);
    return S_OK;
}
