#include "writer/ProfileSnapshot.h"

#include <cstring>

#include <gtest/gtest.h>

#include "wmf/WmAttributes.h"

namespace {

// Reads a string with the runtime's size-query convention.
template <class TCount, class TGetter>
std::u16string ReadString(TGetter get) {
    TCount cch = 0;
    if (FAILED(get(nullptr, &cch)) || cch == 0) return {};
    std::u16string text(cch, u'\0');
    EXPECT_EQ(get(text.data(), &cch), S_OK);
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    return text;
}

template <class T>
std::optional<T> ReadProperty(IWMPropertyVault* pVault, const WCHAR* pszName) {
    WMT_ATTR_DATATYPE type{};
    T value{};
    DWORD cb = sizeof(value);
    if (pVault->GetPropertyByName(pszName, &type, reinterpret_cast<BYTE*>(&value), &cb) != S_OK) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const VIDEOINFOHEADER& SStreamSnapshot::VideoInfo() const {
    static const VIDEOINFOHEADER empty{};
    if (format.size() < sizeof(VIDEOINFOHEADER)) return empty;
    return *reinterpret_cast<const VIDEOINFOHEADER*>(format.data());
}

const WAVEFORMATEX& SStreamSnapshot::WaveFormat() const {
    static const WAVEFORMATEX empty{};
    if (format.size() < sizeof(WAVEFORMATEX)) return empty;
    return *reinterpret_cast<const WAVEFORMATEX*>(format.data());
}

const SStreamSnapshot* SProfileSnapshot::Find(const GUID& type) const {
    for (const SStreamSnapshot& stream : streams) {
        if (stream.type == type) return &stream;
    }
    return nullptr;
}

SStreamSnapshot SnapshotStream(IWMStreamConfig* pConfig) {
    SStreamSnapshot s;
    EXPECT_EQ(pConfig->GetStreamType(&s.type), S_OK);
    EXPECT_EQ(pConfig->GetStreamNumber(&s.wNumber), S_OK);
    s.name = ReadString<WORD>([&](WCHAR* p, WORD* pcch) { return pConfig->GetStreamName(p, pcch); });
    s.connection =
        ReadString<WORD>([&](WCHAR* p, WORD* pcch) { return pConfig->GetConnectionName(p, pcch); });
    EXPECT_EQ(pConfig->GetBitrate(&s.dwBitrate), S_OK);

    ComPtr<IWMStreamConfig> pStream(pConfig);
    ComPtr<IWMMediaProps> pProps;
    if (pStream.As(pProps) == S_OK) {
        DWORD cbType = 0;
        EXPECT_EQ(pProps->GetMediaType(nullptr, &cbType), S_OK);
        std::vector<WM_MEDIA_TYPE> buffer(cbType / sizeof(WM_MEDIA_TYPE) + 2);
        if (pProps->GetMediaType(buffer.data(), &cbType) == S_OK) {
            s.mediaType = buffer[0];
            if (s.mediaType.pbFormat) {
                s.format.assign(s.mediaType.pbFormat, s.mediaType.pbFormat + s.mediaType.cbFormat);
            }
            s.mediaType.pbFormat = nullptr;
        }
    }
    ComPtr<IWMVideoMediaProps> pVideo;
    if (s.type == WMMEDIATYPE_Video && pStream.As(pVideo) == S_OK) {
        DWORD dwQuality = 0;
        LONGLONG llSpacing = 0;
        if (pVideo->GetQuality(&dwQuality) == S_OK) s.quality = dwQuality;
        if (pVideo->GetMaxKeyFrameSpacing(&llSpacing) == S_OK) s.keyFrameSpacing = llSpacing;
    }
    ComPtr<IWMPropertyVault> pVault;
    if (pStream.As(pVault) == S_OK) {
        s.vbrEnabled = ReadProperty<BOOL>(pVault.Get(), g_wszVBREnabled);
        s.peakBitrate = ReadProperty<DWORD>(pVault.Get(), g_wszVBRBitrateMax);
        s.peakBufferMs = ReadProperty<DWORD>(pVault.Get(), g_wszVBRBufferWindowMax);
    }
    ComPtr<IWMStreamConfig2> pConfig2;
    WORD cExtensions = 0;
    if (pStream.As(pConfig2) == S_OK && pConfig2->GetDataUnitExtensionCount(&cExtensions) == S_OK) {
        for (WORD i = 0; i < cExtensions; ++i) {
            GUID id{};
            WORD cbData = 0;
            DWORD cbInfo = 0;
            EXPECT_EQ(pConfig2->GetDataUnitExtension(i, &id, &cbData, nullptr, &cbInfo), S_OK);
            s.extensions.emplace_back(id, cbData);
        }
    }
    return s;
}

SProfileSnapshot SnapshotProfile(IWMProfile* pProfile) {
    SProfileSnapshot snapshot;
    EXPECT_EQ(pProfile->GetVersion(&snapshot.version), S_OK);
    snapshot.name =
        ReadString<DWORD>([&](WCHAR* p, DWORD* pcch) { return pProfile->GetName(p, pcch); });
    DWORD cStreams = 0;
    EXPECT_EQ(pProfile->GetStreamCount(&cStreams), S_OK);
    for (DWORD i = 0; i < cStreams; ++i) {
        ComPtr<IWMStreamConfig> pConfig;
        EXPECT_EQ(pProfile->GetStream(i, pConfig.Put()), S_OK);
        if (pConfig) snapshot.streams.push_back(SnapshotStream(pConfig.Get()));
    }
    EXPECT_EQ(pProfile->GetMutualExclusionCount(&snapshot.cExclusions), S_OK);
    return snapshot;
}
