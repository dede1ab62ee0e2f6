// Parsing of ASF header objects from their bytes: objects FFmpeg's muxer
// writes (read back from its files) and objects it does not (built here):
// extended stream properties, metadata, stream bit rates, bit-rate mutual
// exclusion and hidden streams; damaged headers never crash the parser.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/TempDir.h"
#include "wmf/CAsfHeaderInfo.h"
#include "wmf/ReaderTestSupport.h"

namespace {

class CBytes {
public:
    CBytes& U8(uint8_t v) { m_b.push_back(v); return *this; }
    CBytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    CBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    CBytes& U64(uint64_t v) { return U32(v & 0xFFFFFFFF).U32(v >> 32); }
    CBytes& Guid(const GUID& g) {
        U32(g.Data1).U16(g.Data2).U16(g.Data3);
        for (const BYTE b : g.Data4) U8(b);
        return *this;
    }
    CBytes& Text(const std::u16string& s) {
        for (const char16_t c : s) U16(c);
        return U16(0);
    }
    CBytes& Append(const std::vector<BYTE>& b) { m_b.insert(m_b.end(), b.begin(), b.end()); return *this; }
    // This content as an object: its GUID and size first.
    std::vector<BYTE> Object(const GUID& id) const {
        CBytes o;
        o.Guid(id).U64(24 + m_b.size()).Append(m_b);
        return o.m_b;
    }
    const std::vector<BYTE>& Get() const { return m_b; }

private:
    std::vector<BYTE> m_b;
};

constexpr GUID kHeader{0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kFileProperties{0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kStreamProperties{0xB7DC0791, 0xA9B7, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kHeaderExtension{0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kExtendedStream{0x14E6A5CB, 0xC672, 0x4332, {0x83, 0x99, 0xA9, 0x69, 0x52, 0x06, 0x5B, 0x5A}};
constexpr GUID kMetadata{0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA}};
constexpr GUID kStreamBitrates{0x7BF875CE, 0x468D, 0x11D1, {0x8D, 0x82, 0x00, 0x60, 0x97, 0xC9, 0xA2, 0xB2}};
constexpr GUID kExclusion{0xD6E229DC, 0x35DA, 0x11D1, {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE}};
constexpr GUID kVideoMedia{0xBC19EFC0, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr GUID kAudioMedia{0xF8699E40, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr GUID kCommandMedia{0x59DACFC0, 0x59E6, 0x11D0, {0xA3, 0xAC, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0xF6}};

std::vector<BYTE> FileProperties(uint64_t playDuration, uint64_t prerollMs) {
    CBytes b;
    b.Guid(GUID_NULL).U64(0).U64(0).U64(0).U64(playDuration).U64(playDuration).U64(prerollMs);
    b.U32(0x2).U32(3200).U32(3200).U32(1'000'000);
    return b.Object(kFileProperties);
}

std::vector<BYTE> VideoStream(WORD number, DWORD fourCC, const std::vector<BYTE>& codecData) {
    CBytes bih;
    bih.U32(40 + static_cast<uint32_t>(codecData.size())).U32(320).U32(240).U16(1).U16(24).U32(fourCC);
    bih.U32(0).U32(0).U32(0).U32(0).U32(0).Append(codecData);
    CBytes ts;
    ts.U32(320).U32(240).U8(2).U16(static_cast<uint16_t>(bih.Get().size())).Append(bih.Get());
    CBytes b;
    b.Guid(kVideoMedia).Guid(GUID_NULL).U64(0).U32(static_cast<uint32_t>(ts.Get().size())).U32(0);
    b.U16(number).U32(0).Append(ts.Get());
    return b.Object(kStreamProperties);
}

std::vector<BYTE> AudioStream(WORD number, WORD tag, bool shortForm) {
    CBytes wfx;
    wfx.U16(tag).U16(2).U32(44100).U32(16000).U16(1487).U16(16);
    if (!shortForm) wfx.U16(2).U8(0xAB).U8(0xCD);
    CBytes b;
    b.Guid(kAudioMedia).Guid(GUID_NULL).U64(0).U32(static_cast<uint32_t>(wfx.Get().size())).U32(0);
    b.U16(number).U32(0).Append(wfx.Get());
    return b.Object(kStreamProperties);
}

std::vector<BYTE> CommandStream(WORD number) {
    CBytes b;
    b.Guid(kCommandMedia).Guid(GUID_NULL).U64(0).U32(0).U32(0).U16(number).U32(0);
    return b.Object(kStreamProperties);
}

std::vector<BYTE> ExtendedStream(WORD number, uint64_t avgTimePerFrame, const std::vector<BYTE>& embedded = {}) {
    CBytes b;
    b.U64(0).U64(0).U32(500'000).U32(3000).U32(0).U32(0).U32(0).U32(0).U32(65536).U32(0);
    b.U16(number).U16(0).U64(avgTimePerFrame).U16(1).U16(0);
    b.U16(0).U16(10).U8('V').U8(0).U8('i').U8(0).U8('d').U8(0).U8('e').U8(0).U8('o').U8(0);
    b.Append(embedded);
    return b.Object(kExtendedStream);
}

std::vector<BYTE> Metadata(WORD number, const std::u16string& name, DWORD value) {
    CBytes b;
    b.U16(1).U16(0).U16(number).U16(static_cast<uint16_t>((name.size() + 1) * 2)).U16(3).U32(4);
    b.Text(name).U32(value);
    return b.Object(kMetadata);
}

std::vector<BYTE> HeaderExtension(const std::vector<std::vector<BYTE>>& objects) {
    CBytes data;
    for (const auto& o : objects) data.Append(o);
    CBytes b;
    b.Guid(GUID_NULL).U16(6).U32(static_cast<uint32_t>(data.Get().size())).Append(data.Get());
    return b.Object(kHeaderExtension);
}

std::vector<BYTE> Header(const std::vector<std::vector<BYTE>>& objects) {
    CBytes body;
    body.U32(static_cast<uint32_t>(objects.size())).U8(1).U8(2);
    for (const auto& o : objects) body.Append(o);
    return body.Object(kHeader);
}

TEST(CAsfHeaderInfoTest, ParsesObjectsThatFfmpegDoesNotKeep) {
    CBytes bitrates;
    bitrates.U16(2).U16(1).U32(700'000).U16(3).U32(64'000);
    CBytes exclusion;
    exclusion.Guid(CLSID_WMMUTEX_Bitrate).U16(2).U16(1).U16(2);
    const auto hidden = VideoStream(2, MakeFourCC('W', 'M', 'V', '3'), {});
    const auto header = Header({
        FileProperties(50'000'000, 3000),
        VideoStream(1, MakeFourCC('W', 'M', 'V', '2'), {1, 2, 3, 4}),
        AudioStream(3, WAVE_FORMAT_WMAUDIO2, false),
        CommandStream(4),
        bitrates.Object(kStreamBitrates),
        exclusion.Object(kExclusion),
        HeaderExtension({ExtendedStream(1, 333'667), ExtendedStream(2, 400'000, hidden),
                         Metadata(1, u"AspectRatioX", 4), Metadata(1, u"AspectRatioY", 3)}),
    });
    CAsfHeaderInfo info;
    ASSERT_EQ(info.Parse(header.data(), header.size()), S_OK);
    EXPECT_EQ(info.m_qwPrerollMs, 3000u);
    EXPECT_EQ(info.PlayDuration(), 50'000'000u - 30'000'000u);
    EXPECT_EQ(info.m_dwFlags, 0x2u);
    ASSERT_EQ(info.m_streams.size(), 4u);
    const SAsfStream* video = info.FindStream(1);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->kind, AsfStreamKind::Video);
    EXPECT_EQ(video->qwAvgTimePerFrame, 333'667u);
    EXPECT_EQ(video->dwBitrate, 700'000u);
    EXPECT_EQ(video->name, u"Video");
    ASSERT_EQ(video->format.size(), 44u);
    EXPECT_EQ(video->format[40], 1);
    const SAsfStream* hiddenStream = info.FindStream(2);
    ASSERT_NE(hiddenStream, nullptr) << "a stream defined inside its extended properties";
    EXPECT_EQ(hiddenStream->qwAvgTimePerFrame, 400'000u);
    EXPECT_EQ(hiddenStream->dwBitrate, 500'000u) << "the extended data bit rate stands in";
    const SAsfStream* audio = info.FindStream(3);
    ASSERT_NE(audio, nullptr);
    ASSERT_EQ(audio->format.size(), 20u);
    EXPECT_EQ(audio->dwBitrate, 64'000u);
    EXPECT_EQ(info.FindStream(4)->kind, AsfStreamKind::Command);
    ASSERT_EQ(info.m_exclusions.size(), 1u);
    EXPECT_EQ(info.m_exclusions[0].type, CLSID_WMMUTEX_Bitrate);
    EXPECT_EQ(info.m_exclusions[0].streams, (std::vector<WORD>{1, 2}));
    const SAsfAttribute* x = info.FindAttribute(1, u"AspectRatioX");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->type, WMT_TYPE_DWORD);
    DWORD value = 0;
    std::memcpy(&value, x->value.data(), 4);
    EXPECT_EQ(value, 4u);
    EXPECT_EQ(info.FindAttribute(0, u"AspectRatioX"), nullptr);
}

TEST(CAsfHeaderInfoTest, ShortWaveFormatGetsAnEmptyExtension) {
    const auto header = Header({FileProperties(0, 0), AudioStream(1, WAVE_FORMAT_PCM, true)});
    CAsfHeaderInfo info;
    ASSERT_EQ(info.Parse(header.data(), header.size()), S_OK);
    ASSERT_EQ(info.m_streams.size(), 1u);
    ASSERT_EQ(info.m_streams[0].format.size(), sizeof(WAVEFORMATEX));
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, info.m_streams[0].format.data(), sizeof wfx);
    EXPECT_EQ(wfx.cbSize, 0);
    EXPECT_EQ(info.PlayDuration(), 0u);
}

TEST(CAsfHeaderInfoTest, HeaderWithoutFilePropertiesIsDamaged) {
    const auto header = Header({VideoStream(1, MakeFourCC('W', 'M', 'V', '2'), {})});
    CAsfHeaderInfo info;
    EXPECT_EQ(info.Parse(header.data(), header.size()), NS_E_INVALID_DATA);
    std::vector<BYTE> notAsf(64, 0x11);
    EXPECT_EQ(info.Parse(notAsf.data(), notAsf.size()), NS_E_INVALID_INPUT_FORMAT);
}

TEST(CAsfHeaderInfoTest, ReadsFfmpegFilesThroughTheStream) {
    TempDir dir("header");
    const auto path = dir.Path() / "clip.wmv";
    std::string error;
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25:duration=1", "-f", "lavfi", "-i",
                           "sine=duration=1", "-c:v", "wmv2", "-c:a", "wmav2", "-metadata", "title=Sine",
                           "-metadata", "author=Test", path.string()},
                          &error))
        << error;
    ComPtr<IStream> stream = ComPtr<IStream>::Adopt(CMemoryStream::FromFile(path));
    std::shared_ptr<CStreamSource> source;
    ASSERT_EQ(CStreamSource::Create(stream.Get(), source), S_OK);
    CAsfHeaderInfo info;
    ASSERT_EQ(info.Read(*source), S_OK);
    ASSERT_EQ(info.m_streams.size(), 2u);
    EXPECT_EQ(info.m_cbFirstPacket, info.m_cbHeader + 50);
    EXPECT_EQ(info.m_qwFileSize, source->Size());
    const SAsfAttribute* title = info.FindAttribute(0, u"Title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->type, WMT_TYPE_STRING);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(title->value.data())), u"Sine");
    ASSERT_NE(info.FindAttribute(0, u"Author"), nullptr);

    // Cut inside the header: damaged, never ASF-less.
    auto bytes = FileBytes(path);
    for (const size_t cut : {size_t{10}, size_t{40}, static_cast<size_t>(info.m_cbHeader - 1)}) {
        std::vector<BYTE> part(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
        ComPtr<IStream> cutStream = ComPtr<IStream>::Adopt(CMemoryStream::Create(part));
        std::shared_ptr<CStreamSource> cutSource;
        ASSERT_EQ(CStreamSource::Create(cutStream.Get(), cutSource), S_OK);
        CAsfHeaderInfo cutInfo;
        EXPECT_EQ(cutInfo.Read(*cutSource), cut < 30 ? NS_E_INVALID_INPUT_FORMAT : NS_E_INVALID_DATA) << cut;
    }
}

TEST(CAsfHeaderInfoTest, DamagedBytesNeverCrashTheParser) {
    const auto good = Header({
        FileProperties(50'000'000, 3000),
        VideoStream(1, MakeFourCC('W', 'M', 'V', '2'), {1, 2, 3, 4}),
        AudioStream(2, WAVE_FORMAT_WMAUDIO2, false),
        HeaderExtension({ExtendedStream(1, 333'667), Metadata(1, u"AspectRatioX", 4)}),
    });
    std::mt19937 rng(3);
    int parsed = 0;
    for (int k = 0; k < 3000; ++k) {
        auto bytes = good;
        for (int f = 0; f < 1 + k % 6; ++f) bytes[rng() % bytes.size()] = static_cast<BYTE>(rng());
        CAsfHeaderInfo info;
        const HRESULT hr = info.Parse(bytes.data(), bytes.size());
        if (SUCCEEDED(hr)) {
            ++parsed;
            for (const auto& s : info.m_streams) {
                EXPECT_TRUE(s.wStreamNum >= 1 && s.wStreamNum < 128);
                if (s.kind == AsfStreamKind::Video) {
                    EXPECT_GE(s.format.size(), sizeof(BITMAPINFOHEADER));
                }
                if (s.kind == AsfStreamKind::Audio) {
                    EXPECT_GE(s.format.size(), sizeof(WAVEFORMATEX));
                }
            }
        } else {
            EXPECT_TRUE(hr == NS_E_INVALID_DATA || hr == NS_E_INVALID_INPUT_FORMAT);
        }
    }
    EXPECT_GT(parsed, 100);
}

}  // namespace
