#include "wmf/ReaderMediaTypes.h"

#include <algorithm>
#include <cstring>

#include "wmf/WmGuids.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

constexpr GUID kFormatNone{0x0F6417D6, 0xC318, 0x11D0, {0xA4, 0x3F, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

DWORD ChannelMask(int channels) noexcept {
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    const DWORD mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? static_cast<DWORD>(layout.u.mask) : 0;
    av_channel_layout_uninit(&layout);
    return mask;
}

}  // namespace

WmMediaType StoredMediaType(const SAsfStream& stream, bool bDecodedAudio) {
    WmMediaType type;
    if (stream.kind == AsfStreamKind::Video && stream.format.size() >= sizeof(BITMAPINFOHEADER)) {
        VIDEOINFOHEADER vih{};
        std::memcpy(&vih.bmiHeader, stream.format.data(), sizeof(BITMAPINFOHEADER));
        const LONG width = vih.bmiHeader.biWidth;
        const LONG height = vih.bmiHeader.biHeight < 0 ? -vih.bmiHeader.biHeight : vih.bmiHeader.biHeight;
        vih.rcSource = {0, 0, width, height};
        vih.rcTarget = vih.rcSource;
        vih.dwBitRate = stream.dwBitrate;
        vih.AvgTimePerFrame = 0;
        vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        const std::span<const BYTE> codecData(stream.format.data() + sizeof(BITMAPINFOHEADER),
                                              stream.format.size() - sizeof(BITMAPINFOHEADER));
        type = WmMediaType::FromVideoInfo(vih, codecData);
        type.SetSamples(false, true, 0);
        return type;
    }
    if (stream.kind == AsfStreamKind::Audio && stream.format.size() >= sizeof(WAVEFORMATEX)) {
        type.SetMajorType(bDecodedAudio ? MEDIATYPE_Audio : MEDIATYPE_Stream);
        WAVEFORMATEX wfx;
        std::memcpy(&wfx, stream.format.data(), sizeof wfx);
        type.SetSubType(AudioSubtypeFromWave(*reinterpret_cast<const WAVEFORMATEX*>(stream.format.data())));
        type.SetSamples(true, false, wfx.nBlockAlign);
        type.SetFormat(FORMAT_WaveFormatEx, stream.format);
        return type;
    }
    type.SetMajorType(stream.kind == AsfStreamKind::Command ? WMMEDIATYPE_Script : stream.streamType);
    type.SetSamples(false, false, 0);
    type.SetFormat(kFormatNone, {});
    return type;
}

WmMediaType VideoOutputType(VideoOut format, int width, int height) {
    VIDEOINFOHEADER vih{};
    vih.rcSource = {0, 0, width, height};
    vih.rcTarget = vih.rcSource;
    const DWORD image = VideoOutImageSize(format, width, height);
    vih.dwBitRate = image * 8 * 25;
    vih.AvgTimePerFrame = 0;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = VideoOutBitCount(format);
    vih.bmiHeader.biCompression = VideoOutCompression(format);
    vih.bmiHeader.biSizeImage = image;
    std::vector<BYTE> block(sizeof vih);
    std::memcpy(block.data(), &vih, sizeof vih);
    if (format == VideoOut::RGB565) {
        // BI_BITFIELDS: the red, green and blue masks follow the header.
        static constexpr DWORD kMasks[3] = {0xF800, 0x07E0, 0x001F};
        block.resize(block.size() + sizeof kMasks);
        std::memcpy(block.data() + sizeof vih, kMasks, sizeof kMasks);
    }
    WmMediaType type;
    type.SetMajorType(MEDIATYPE_Video);
    type.SetSubType(VideoOutSubtype(format));
    type.SetSamples(true, false, image);
    type.SetFormat(FORMAT_VideoInfo, block);
    return type;
}

WmMediaType AudioOutputType(int sampleRate, const SAudioOut& out) {
    WAVEFORMATEXTENSIBLE wfx{};
    wfx.Format.wFormatTag = WAVE_FORMAT_PCM;
    wfx.Format.nChannels = static_cast<WORD>(out.channels);
    wfx.Format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    wfx.Format.wBitsPerSample = static_cast<WORD>(out.bits);
    wfx.Format.nBlockAlign = static_cast<WORD>(out.channels * out.bits / 8);
    wfx.Format.nAvgBytesPerSec = wfx.Format.nBlockAlign * static_cast<DWORD>(sampleRate);
    size_t size = sizeof(WAVEFORMATEX);
    if (out.channels > 2) {
        wfx.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        wfx.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
        wfx.Samples.wValidBitsPerSample = static_cast<WORD>(out.bits);
        wfx.dwChannelMask = ChannelMask(out.channels);
        wfx.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
        size = sizeof(WAVEFORMATEXTENSIBLE);
    }
    WmMediaType type;
    type.SetMajorType(MEDIATYPE_Audio);
    type.SetSubType(MEDIASUBTYPE_PCM);
    type.SetSamples(true, false, wfx.Format.nBlockAlign);
    type.SetFormat(FORMAT_WaveFormatEx, std::span<const BYTE>(reinterpret_cast<const BYTE*>(&wfx), size));
    return type;
}

std::vector<SAudioOut> AudioOutputChoices(int channels, int storedBits, bool bDiscrete) {
    channels = std::max(channels, 1);
    std::vector<SAudioOut> choices;
    auto add = [&](int c, int bits) {
        const bool known = std::any_of(choices.begin(), choices.end(),
                                       [&](const SAudioOut& o) { return o.channels == c && o.bits == bits; });
        if (!known) choices.push_back({c, bits});
    };
    if (bDiscrete) {
        const int own = storedBits == 24 || storedBits == 32 || storedBits == 8 ? storedBits : 16;
        add(channels, own);
    }
    add(channels, 16);
    if (channels > 2) add(2, 16);
    if (channels == 2) add(1, 16);
    add(channels, 8);
    return choices;
}

bool AudioOutFromType(const WmMediaType& type, int sampleRate, SAudioOut& out) noexcept {
    if (!(type.MajorType() == MEDIATYPE_Audio) || !(type.SubType() == MEDIASUBTYPE_PCM)) return false;
    const WAVEFORMATEX* wfx = type.WaveFormat();
    if (!wfx || static_cast<int>(wfx->nSamplesPerSec) != sampleRate) return false;
    const int bits = wfx->wBitsPerSample;
    if (wfx->nChannels == 0 || wfx->nChannels > 8 || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return false;
    out.channels = wfx->nChannels;
    out.bits = bits;
    return true;
}
