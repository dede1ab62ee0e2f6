#include "vrxwm/HostRecords.h"

#include <iconv.h>

#include <algorithm>
#include <memory>

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

namespace {

SPlugVideoStreamInfo DefaultVideo() noexcept {
    SPlugVideoStreamInfo v{};
    v.dwSize = sizeof(SPlugVideoStreamInfo);
    v.dwWidth = 720;
    v.dwHeight = 576;
    v.dwAspectX = 4;
    v.dwAspectY = 3;
    v.dwFrameRateNum = 25;
    v.dwFrameRateDen = 1;
    v.dwColorFormat = PLUG_COLOR_FORMAT_I420;
    v.dwColorCodes[0] = v.dwColorCodes[1] = v.dwColorCodes[2] = 5;
    v.dwHostWord56 = 0xFFFFFFFF;
    v.dwKeyFrameInterval = 12;
    v.dwHostWord64 = 2;
    v.dwHostWord68 = 1;
    v.dwRateControl = 1;
    return v;
}

SPlugAudioStreamInfo DefaultAudio() noexcept {
    SPlugAudioStreamInfo a{};
    a.dwSize = sizeof(SPlugAudioStreamInfo);
    a.dwAudioType = PLUG_AUDIO_TYPE_PCM;
    a.dwChannels = 2;
    a.dwBitsPerSample = 16;
    a.dwSampleRate = 48000;
    a.dwBitRate = 1536000;
    a.dwBlockAlign = 2;
    a.dwHostWord32 = 1;
    a.dwHostWord36 = 1;
    a.dwSamplesPerFrame = 1;
    return a;
}

}  // namespace

SPlugMediaInfo DefaultMediaInfo() noexcept {
    SPlugMediaInfo info{};
    info.Video = DefaultVideo();
    info.Audio = DefaultAudio();
    return info;
}

SPlugStreamDesc DefaultStreamDesc() noexcept {
    SPlugStreamDesc desc{};
    desc.dwHostWord0 = 1;
    desc.Video = DefaultVideo();
    desc.Audio = DefaultAudio();
    desc.dwSamplesPerFrame = 1;
    return desc;
}

SPlugFrameInfo EmptyFrameInfo() noexcept {
    SPlugFrameInfo info{};
    info.dwSize = sizeof(SPlugFrameInfo);
    return info;
}

std::u16string Utf16(const std::string& text) {
    struct SIconvCloser {
        void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
    };
    // Little-endian, without a byte-order mark, as the records hold it.
    const iconv_t raw = iconv_open("UTF-16LE", "UTF-8");
    if (raw == reinterpret_cast<iconv_t>(-1)) ThrowErrno("cannot convert names to UTF-16");
    const std::unique_ptr<void, SIconvCloser> cd(raw);
    std::u16string out(text.size(), u'\0');
    std::string in = text;
    char* pIn = in.data();
    size_t cbIn = in.size();
    auto* pOut = reinterpret_cast<char*>(out.data());
    size_t cbOut = out.size() * sizeof(char16_t);
    // UTF-16 never takes more code units than UTF-8 takes bytes.
    if (iconv(static_cast<iconv_t>(cd.get()), &pIn, &cbIn, &pOut, &cbOut) == static_cast<size_t>(-1))
        throw CStatusError(kStatusInvalidArg, "\"" + text + "\" is not UTF-8");
    out.resize(out.size() - cbOut / sizeof(char16_t));
    return out;
}

CSourceList::CSourceList(const std::filesystem::path& file) {
    const std::u16string name = Utf16(std::filesystem::absolute(file).lexically_normal().string());
    constexpr size_t kMaxName = std::size(SPlugSourceItem{}.szFileName) - 1;
    if (name.size() > kMaxName)
        throw CStatusError(kStatusInvalidArg, file.string() + ": the full path is longer than " +
                                                  std::to_string(kMaxName) + " characters");
    std::copy(name.begin(), name.end(), m_item.szFileName);
    m_item.dwKind = 0;
    m_list.dwCount = 1;
    m_list.pItems = &m_item;
}
