// The reader handle against a scripted stream object: what it opens, how it
// describes the streams, and how every read reaches the stream object and
// comes back to the host.
#include "reader/CAsfReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/MediaRecords.h"
#include "reader/ExtraData.h"
#include "reader/ReaderExports.h"
#include "win/Debug.h"

namespace {

constexpr HRESULT kNotSupported = MakeHr(0x80000002);
constexpr HRESULT kOutOfRange = MakeHr(0x80000006);
constexpr HRESULT kNoVideo = MakeHr(0x80000305);
constexpr HRESULT kNoAudio = MakeHr(0x80000404);
constexpr HRESULT kNoSample = MakeHr(0x80000107);

uint8_t FrameByte(uint64_t index, size_t offset) {
    return static_cast<uint8_t>(index * 7 + offset);
}

uint8_t AudioByte(uint64_t sample, size_t offset) {
    return static_cast<uint8_t>(sample * 3 + offset);
}

// What every stream object of one test answers, and what they were asked.
struct StreamScript {
    SPlugMediaInfo info{};
    std::vector<BYTE> extra{1, 2, 3, 4};
    DWORD bSeekable = 1;
    // Stream objects deliver no audio at all, as a file whose audio fails.
    bool bAudioFails = false;

    int nCreated = 0;
    int nOpened = 0;
    int nClosed = 0;
    int nDestroyed = 0;
    std::vector<std::string> calls;

    int Count(const std::string& prefix) const {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                              [&](const std::string& c) { return c.starts_with(prefix); }));
    }
};

// Serves frames and audio whose bytes tell where they came from.
class FakeAsfStream final : public CAsfStream {
public:
    explicit FakeAsfStream(StreamScript& script) : m_script(script) { ++m_script.nCreated; }
    ~FakeAsfStream() override { ++m_script.nDestroyed; }

    HRESULT Close() noexcept override {
        ++m_script.nClosed;
        return S_OK;
    }
    HRESULT GetStreamInfo(const WCHAR* pwszFileName, DWORD, const WCHAR* pwszSecondName,
                          SPlugMediaInfo* pInfo, SPlugExtraData* pExtra) noexcept override {
        ++m_script.nOpened;
        m_script.calls.push_back("Open " + Narrow(pwszFileName) + " " +
                                 (pwszSecondName ? Narrow(pwszSecondName) : "-"));
        if (!pwszFileName || !*pwszFileName) return E_INVALIDARG;
        CopyMediaInfo(*pInfo, m_script.info);
        m_info = m_script.info;
        if (pExtra) SetBitmapExtraData(*pExtra, m_script.extra.data(), m_script.extra.size());
        m_own.assign(FrameBytes(), 0);
        m_ownAudio.assign(256, 0);
        return S_OK;
    }
    DWORD IsSeekable() noexcept override { return m_script.bSeekable; }

    HRESULT ReadFrame(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pInfo) noexcept override {
        m_script.calls.push_back("ReadFrame " + std::to_string(dwIndex));
        return Deliver(dwIndex, pBuffer, *pInfo);
    }
    HRESULT ReadFrameBySeek(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pInfo) noexcept override {
        m_script.calls.push_back("ReadFrameBySeek " + std::to_string(dwIndex));
        return Deliver(dwIndex, pBuffer, *pInfo);
    }
    HRESULT GetNextFrame(BYTE** ppBuffer, SPlugFrameInfo* pInfo) noexcept override {
        m_script.calls.push_back("GetNextFrame");
        *ppBuffer = m_own.data();
        return Deliver(m_dwNext, m_own.data(), *pInfo);
    }
    DWORD ReadAudio(LONG nFirst, DWORD dwCount, BYTE* pBuffer, DWORD* pcbBytes) noexcept override {
        m_script.calls.push_back("ReadAudio " + std::to_string(nFirst) + " " + std::to_string(dwCount));
        const auto dwTotal = m_info.dwAudioSampleCount;
        if (m_script.bAudioFails || nFirst < 0 || static_cast<DWORD>(nFirst) >= dwTotal) return 0;
        dwCount = std::min(dwCount, dwTotal - static_cast<DWORD>(nFirst));
        const size_t cbAlign = m_info.Audio.dwBlockAlign;
        for (DWORD s = 0; s < dwCount; ++s)
            for (size_t b = 0; b < cbAlign; ++b) pBuffer[s * cbAlign + b] = AudioByte(nFirst + s, b);
        *pcbBytes = static_cast<DWORD>(dwCount * cbAlign);
        return dwCount;
    }
    HRESULT ReadAudioFrame(LONG nIndex, DWORD, BYTE** ppBuffer, SPlugFrameInfo* pInfo) noexcept override {
        m_script.calls.push_back("ReadAudioFrame " + std::to_string(nIndex));
        return DeliverAac(static_cast<DWORD>(nIndex), ppBuffer, *pInfo);
    }
    HRESULT ReadNextAudioFrame(DWORD, BYTE** ppBuffer, SPlugFrameInfo* pInfo) noexcept override {
        m_script.calls.push_back("ReadNextAudioFrame");
        return DeliverAac(m_dwNextAac, ppBuffer, *pInfo);
    }

private:
    static std::string Narrow(const WCHAR* psz) {
        std::string s;
        for (; psz && *psz; ++psz) s += static_cast<char>(*psz);
        return s;
    }
    size_t FrameBytes() const { return size_t{m_info.Video.dwWidth} * m_info.Video.dwHeight * 4; }

    HRESULT Deliver(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo& info) {
        if (dwIndex >= m_info.dwVideoFrameCount) return kOutOfRange;
        if (pBuffer)
            for (size_t i = 0; i < FrameBytes(); ++i) pBuffer[i] = FrameByte(dwIndex, i);
        info.nDataLength = static_cast<int32_t>(FrameBytes());
        info.dwKind = 1;
        info.qwFrameNumber = dwIndex;
        info.qwFrameNumber2 = dwIndex;
        info.dwContinuation = dwIndex + 1 < m_info.dwVideoFrameCount ? 1 : 2;
        m_dwNext = dwIndex + 1;
        return S_OK;
    }
    // AAC frame i holds 10 + i bytes.
    HRESULT DeliverAac(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo& info) {
        info.dwKind = 2;
        info.nDataLength = 0;
        if (dwIndex >= m_info.dwAudioSampleCount / m_info.Audio.dwSamplesPerFrame) return kOutOfRange;
        *ppBuffer = m_ownAudio.data();
        const size_t cb = 10 + dwIndex;
        for (size_t i = 0; i < cb; ++i) m_ownAudio[i] = AudioByte(dwIndex, i);
        info.nDataLength = static_cast<int32_t>(cb);
        info.qwFrameNumber = dwIndex;
        info.dwSampleCount = 1;
        m_dwNextAac = dwIndex + 1;
        return S_OK;
    }

    StreamScript& m_script;
    SPlugMediaInfo m_info{};
    std::vector<BYTE> m_own;
    std::vector<BYTE> m_ownAudio;
    DWORD m_dwNext = 0;
    DWORD m_dwNextAac = 0;
};

// One source item in its list, as the host lays them out.
struct Sources {
    explicit Sources(const std::u16string& name, uint32_t dwKind = 0, uint32_t dwCount = 1) {
        item.dwKind = dwKind;
        std::copy(name.begin(), name.end(), item.szFileName);
        list.dwCount = dwCount;
        list.pItems = &item;
    }
    Sources(const Sources&) = delete;
    SPlugSourceItem item{};
    SPlugSourceList list{};
};

class DebugCapture {
public:
    DebugCapture() { VrxSetDebugOutputHook(&DebugCapture::Hook, this); }
    ~DebugCapture() { VrxSetDebugOutputHook(nullptr, nullptr); }
    std::u16string Text() const { return m_text; }

private:
    static void Hook(const WCHAR* text, void* ctx) { static_cast<DebugCapture*>(ctx)->m_text += text; }
    std::u16string m_text;
};

class CAsfReaderTest : public ::testing::Test {
protected:
    // A 100-frame 25 fps picture of 8 x 4 and two seconds of 48 kHz stereo.
    void SetUp() override {
        SPlugMediaInfo& info = m_script.info;
        InitMediaInfo(info);
        info.dwVideoPresent = 1;
        info.Video.dwCodecType = 12;
        info.Video.dwWidth = 8;
        info.Video.dwHeight = 4;
        info.Video.dwFrameRateNum = 25;
        info.Video.dwFrameRateDen = 1;
        info.dwVideoFrameCount = 100;
        info.dwAudioPresent = 1;
        info.Audio.dwAudioType = 11;
        info.Audio.dwBlockAlign = 4;
        info.dwAudioSampleCount = 96000;
        info.qwFileSize = 123456789012ull;
        m_info.dwSize = sizeof(SPlugFrameInfo);
    }

    std::unique_ptr<CAsfReader> MakeReader() {
        auto pReader = CAsfReader::Create([this] { return std::make_unique<FakeAsfStream>(m_script); });
        EXPECT_NE(pReader, nullptr);
        return pReader;
    }
    std::unique_ptr<CAsfReader> OpenReader(HRESULT hrExpected = S_OK) {
        auto pReader = MakeReader();
        Sources sources(u"clip.wmv");
        EXPECT_EQ(pReader->Open(sources.list, 0, nullptr), hrExpected);
        return pReader;
    }
    void MakeAudioOnly() { m_script.info.dwVideoPresent = 0; }
    void MakeAac(DWORD dwFrames) {
        m_script.info.Audio.dwAudioType = 7;
        m_script.info.Audio.dwSamplesPerFrame = 1024;
        m_script.info.dwAudioSampleCount = dwFrames * 1024;
    }
    static bool IsFrame(const BYTE* p, uint64_t index, size_t cb) {
        for (size_t i = 0; i < cb; ++i)
            if (p[i] != FrameByte(index, i)) return false;
        return true;
    }
    static bool IsAudio(const BYTE* p, uint64_t first, size_t samples, size_t cbAlign) {
        for (size_t s = 0; s < samples; ++s)
            for (size_t b = 0; b < cbAlign; ++b)
                if (p[s * cbAlign + b] != AudioByte(first + s, b)) return false;
        return true;
    }

    StreamScript m_script;
    SPlugFrameInfo m_info{};
    BYTE* m_pBuffer = nullptr;
};

// --- Open ---------------------------------------------------------------------------------

struct RefusedSource { const char* name; uint32_t dwKind; uint32_t dwCount; bool bTerminated; };
constexpr RefusedSource kRefusedSources[] = {
    {"TwoSources", 0, 2, true}, {"NoSources", 0, 0, true},
    {"NotAFileName", 1, 1, true}, {"NameWithoutTerminator", 0, 1, false}};

class RefusedSourceTest : public CAsfReaderTest, public ::testing::WithParamInterface<RefusedSource> {};

TEST_P(RefusedSourceTest, IsNotSupportedAndOpensNothing) {
    const RefusedSource& c = GetParam();
    auto pReader = MakeReader();
    Sources sources(u"clip.wmv", c.dwKind, c.dwCount);
    if (!c.bTerminated) std::fill(std::begin(sources.item.szFileName), std::end(sources.item.szFileName), u'a');
    EXPECT_EQ(pReader->Open(sources.list, 7, nullptr), kNotSupported);
    EXPECT_EQ(pReader->GetProgramCount(), 1u);
    EXPECT_EQ(pReader->GetVideoStreamCount(), 0u);
    EXPECT_EQ(pReader->GetAudioStreamCount(), 0u);
    EXPECT_EQ(pReader->GetState(), 1u);
    EXPECT_EQ(m_script.nCreated, 0);
}

INSTANTIATE_TEST_SUITE_P(Sources, RefusedSourceTest, ::testing::ValuesIn(kRefusedSources),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CAsfReaderTest, OpenDescribesVideoAndAudioReadThroughOneObject) {
    m_script.bSeekable = 0;
    auto pReader = OpenReader();
    EXPECT_EQ(m_script.nCreated, 1);
    EXPECT_EQ(m_script.calls.at(0), "Open clip.wmv -");
    EXPECT_EQ(pReader->GetProgramCount(), 1u);
    EXPECT_EQ(pReader->GetVideoStreamCount(), 1u);
    EXPECT_EQ(pReader->GetAudioStreamCount(), 1u);
    // Not seekable, but there are frames to read.
    EXPECT_EQ(pReader->GetState(), 1u);
    EXPECT_EQ(pReader->GetFrameBufferSize(), 8u * 4 * 4);
    EXPECT_EQ(pReader->GetAudioBufferSize(), 0u);

    SPlugStreamDesc video{};
    ASSERT_EQ(pReader->GetVideoStreamDesc(0, 0, &video), S_OK);
    EXPECT_EQ(video.dwFormatCode, 25u);
    EXPECT_EQ(video.dwStreamKind, 1u);
    EXPECT_EQ(video.dwStreamNumber, 0u);
    EXPECT_EQ(video.qwFileSize, 123456789012ull);
    EXPECT_EQ(video.dwVideoFrameCount, 100u);
    EXPECT_EQ(video.Video.dwSize, 108u);
    EXPECT_EQ(video.Video.dwWidth, 8u);
    EXPECT_EQ(video.Video.dwFrameRateNum, 25u);
    EXPECT_EQ(video.dwHostWord0, 1u) << "the host's words of a fresh description";
    ASSERT_EQ(video.ExtraData.nSize, 4);
    EXPECT_EQ(std::vector<BYTE>(video.ExtraData.pData, video.ExtraData.pData + 4), m_script.extra);
    SPlugStreamDesc again{};
    ASSERT_EQ(pReader->GetVideoStreamDesc(0, 0, &again), S_OK);
    EXPECT_EQ(again.ExtraData.pData, video.ExtraData.pData) << "the block stays the handle's";

    SPlugStreamDesc audio{};
    ASSERT_EQ(pReader->GetAudioStreamDesc(0, 0, &audio), S_OK);
    EXPECT_EQ(audio.dwStreamKind, 2u);
    EXPECT_EQ(audio.dwStreamNumber, 1u);
    EXPECT_EQ(audio.dwAudioFrameCount, 96000u);
    EXPECT_EQ(audio.Audio.dwBlockAlign, 4u);
    EXPECT_EQ(audio.Audio.dwSize, 60u);
    EXPECT_EQ(audio.ExtraData.dwKind, 0u);
    EXPECT_EQ(audio.dwFormatCode, 25u);
}

TEST_F(CAsfReaderTest, SecondSourceNameReachesTheStreamAndStays) {
    auto pReader = MakeReader();
    Sources sources(u"a.wmv");
    Sources second(u"b.idx", 0, /*dwCount=*/0);
    ASSERT_EQ(pReader->Open(sources.list, 0, &second.list), S_OK);
    ASSERT_EQ(pReader->Open(sources.list, 0, nullptr), S_OK);
    EXPECT_EQ(m_script.calls.at(0), "Open a.wmv b.idx");
    EXPECT_EQ(m_script.calls.at(1), "Open a.wmv b.idx");
}

TEST_F(CAsfReaderTest, AudioOnlyFileIsStreamZeroAndSelectsNoVideo) {
    MakeAudioOnly();
    auto pReader = OpenReader();
    EXPECT_EQ(pReader->GetVideoStreamCount(), 0u);
    EXPECT_EQ(pReader->GetAudioStreamCount(), 1u);
    EXPECT_EQ(pReader->GetFrameBufferSize(), 0u);
    SPlugStreamDesc audio{};
    ASSERT_EQ(pReader->GetAudioStreamDesc(0, 0, &audio), S_OK);
    EXPECT_EQ(audio.dwStreamNumber, 0u);
    EXPECT_EQ(pReader->SelectStreams(0, -1, 0), S_OK);
    EXPECT_EQ(pReader->SelectStreams(0, 0, 0), kOutOfRange);
    EXPECT_EQ(pReader->SelectStreams(1, -1, 0), kOutOfRange);
    EXPECT_EQ(pReader->GetVideoStreamDesc(0, 0, nullptr), kOutOfRange);
    EXPECT_EQ(pReader->GetAudioStreamDesc(0, 1, nullptr), kOutOfRange);
    EXPECT_EQ(pReader->GetAudioStreamDesc(0, 0, nullptr), S_OK);
    EXPECT_EQ(pReader->ReadFrame(0, m_info), kNoVideo);
}

TEST_F(CAsfReaderTest, AacIsCountedInFrames) {
    MakeAac(10);
    auto pReader = OpenReader();
    SPlugStreamDesc audio{};
    ASSERT_EQ(pReader->GetAudioStreamDesc(0, 0, &audio), S_OK);
    EXPECT_EQ(audio.dwAudioFrameCount, 10u);
    EXPECT_EQ(audio.dwSamplesPerFrame, 1024u);
}

TEST_F(CAsfReaderTest, StateIsSeekabilityWhenNothingCanBeRead) {
    m_script.bSeekable = 0;
    m_script.info.dwVideoFrameCount = 0;
    m_script.info.dwAudioPresent = 0;
    auto pReader = OpenReader();
    EXPECT_EQ(pReader->GetState(), 0u);
}

TEST_F(CAsfReaderTest, FailedOpenKeepsItsObjectUntilTheNextOpen) {
    auto pReader = MakeReader();
    Sources empty(u"");
    EXPECT_EQ(pReader->Open(empty.list, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(m_script.nCreated, 1);
    EXPECT_EQ(m_script.nDestroyed, 0);
    EXPECT_EQ(pReader->GetVideoStreamCount(), 0u);
    EXPECT_EQ(pReader->ReadFrame(0, m_info), kNoVideo) << "nothing to deliver into";

    Sources sources(u"clip.wmv");
    ASSERT_EQ(pReader->Open(sources.list, 0, nullptr), S_OK);
    EXPECT_EQ(m_script.nDestroyed, 1);
    EXPECT_EQ(m_script.nClosed, 1);
    ASSERT_EQ(pReader->Open(sources.list, 0, nullptr), S_OK) << "double open drops the first file";
    EXPECT_EQ(m_script.nDestroyed, 2);
    pReader.reset();
    EXPECT_EQ(m_script.nDestroyed, 3);
    EXPECT_EQ(m_script.nClosed, 3);
}

// --- Ranges and options -------------------------------------------------------------------

struct RangeCase { const char* name; DWORD dwStart, dwEnd, dwWantStart, dwWantEnd; };
constexpr RangeCase kRangeCases[] = {
    {"StartPastEnd", 50, 10, 0, 10}, {"EndPastCount", 5, 500, 5, 100},
    {"Empty", 0, 0, 0, 0}, {"StartAtEnd", 10, 10, 0, 10}};

class RangeTest : public CAsfReaderTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeTest, NarrowsVideo) {
    const RangeCase& c = GetParam();
    auto pReader = OpenReader();
    DWORD dwStart = c.dwStart, dwEnd = c.dwEnd;
    ASSERT_EQ(pReader->SetRange(dwStart, dwEnd, 0), S_OK);
    EXPECT_EQ(dwStart, c.dwWantStart);
    EXPECT_EQ(dwEnd, c.dwWantEnd);
    EXPECT_EQ(pReader->GetVideoPosition(), c.dwWantStart);
    EXPECT_EQ(pReader->ProbeFrame(c.dwWantEnd, m_info), kOutOfRange);
    if (c.dwWantEnd > 0) {
        EXPECT_EQ(pReader->ProbeFrame(c.dwWantEnd - 1, m_info), S_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, RangeTest, ::testing::ValuesIn(kRangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CAsfReaderTest, RangeOfUnknownKindIsRefused) {
    auto pReader = OpenReader();
    DWORD dwStart = 1, dwEnd = 2;
    EXPECT_EQ(pReader->SetRange(dwStart, dwEnd, 2), kOutOfRange);
    EXPECT_EQ(dwEnd, 2u);
}

TEST_F(CAsfReaderTest, FrameRangeOfAudioOnlyFileNarrowsTheAudio) {
    MakeAudioOnly();
    auto pReader = OpenReader();
    DWORD dwStart = 1000, dwEnd = 200000;
    ASSERT_EQ(pReader->SetRange(dwStart, dwEnd, 0), S_OK);
    EXPECT_EQ(dwStart, 1000u);
    EXPECT_EQ(dwEnd, 96000u);
    EXPECT_EQ(pReader->GetAudioPosition(), 1000u);
    dwStart = 0;
    dwEnd = 2000;
    ASSERT_EQ(pReader->SetRange(dwStart, dwEnd, 1), S_OK);
    // The last block now ends the narrowed stream.
    ASSERT_EQ(pReader->GetAudio(0, 1999, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_info.dwContinuation, 2u);
}

TEST_F(CAsfReaderTest, OptionsAreKeptWordForWord) {
    auto pReader = MakeReader();
    const SPlugReadOptions defaults = {{1, 1, 0, 0x100000, 0x20000080, 0, 0, 0, 0, 0}};
    EXPECT_EQ(std::memcmp(&pReader->GetOptions(), &defaults, sizeof defaults), 0);
    pReader = OpenReader();
    const SPlugReadOptions options = {{1, 1, 2, 3, 4, 5, 6, 7, 8, 9}};
    ASSERT_EQ(pReader->SetOptions(options), S_OK);
    EXPECT_EQ(std::memcmp(&pReader->GetOptions(), &options, sizeof options), 0);
    EXPECT_EQ(m_script.nCreated, 1) << "nothing to reopen";
}

TEST_F(CAsfReaderTest, VideoOffBeforeOpenReadsAudioThroughItsOwnObject) {
    auto pReader = MakeReader();
    // Before an open there is no name: the stream object refuses it.
    EXPECT_EQ(pReader->SetOptions({{0, 1}}), E_INVALIDARG);
    Sources sources(u"clip.wmv");
    ASSERT_EQ(pReader->Open(sources.list, 0, nullptr), S_OK);
    EXPECT_EQ(m_script.nCreated, 3);
    EXPECT_EQ(m_script.nDestroyed, 2) << "the refused object and the dropped video object";
    EXPECT_EQ(pReader->GetVideoStreamCount(), 1u);
    EXPECT_EQ(pReader->GetFrame(0, &m_pBuffer, m_info), kNoVideo);
    ASSERT_EQ(pReader->GetAudio(0, 100, &m_pBuffer, m_info), S_OK);
    EXPECT_TRUE(IsAudio(m_pBuffer, 0, 100, 4));
}

TEST_F(CAsfReaderTest, AudioOffLeavesTheSharedObjectToVideo) {
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->SetOptions({{1, 0}}), S_OK);
    EXPECT_EQ(m_script.nClosed, 0);
    ASSERT_EQ(pReader->GetFrame(3, &m_pBuffer, m_info), S_OK);
    EXPECT_TRUE(IsFrame(m_pBuffer, 3, 128));
    BYTE block[16];
    EXPECT_EQ(pReader->ReadAudio(0, 4, block, m_info), kNoAudio);
    EXPECT_EQ(pReader->GetAudio(5000, 4, &m_pBuffer, m_info), kNoAudio);
}

TEST_F(CAsfReaderTest, VideoOffThenOnOpensTheFileAgain) {
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->SetOptions({{0, 1}}), S_OK);
    EXPECT_EQ(m_script.nClosed, 0) << "audio still reads through it";
    EXPECT_EQ(pReader->GetFrame(0, &m_pBuffer, m_info), kNoVideo);
    BYTE block[16];
    EXPECT_EQ(pReader->ReadAudio(0, 4, block, m_info), S_OK);
    ASSERT_EQ(pReader->SetOptions({{1, 1}}), S_OK);
    EXPECT_EQ(m_script.nCreated, 2);
    ASSERT_EQ(pReader->GetFrame(7, &m_pBuffer, m_info), S_OK);
    EXPECT_TRUE(IsFrame(m_pBuffer, 7, 128));
}

// --- Frames -------------------------------------------------------------------------------

TEST_F(CAsfReaderTest, FramesByIndexArriveInTheHandlesBuffer) {
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->GetFrame(42, &m_pBuffer, m_info), S_OK);
    BYTE* pFrameBuffer = m_pBuffer;
    EXPECT_TRUE(IsFrame(m_pBuffer, 42, 128));
    EXPECT_EQ(m_info.qwFrameNumber, 42u);
    EXPECT_EQ(pReader->GetVideoPosition(), 42u);
    ASSERT_EQ(pReader->ReadFrame(43, m_info), S_OK);
    EXPECT_TRUE(IsFrame(pFrameBuffer, 43, 128));
    EXPECT_EQ(pReader->ReadFrame(100, m_info), kOutOfRange);
    EXPECT_EQ(pReader->GetVideoPosition(), 100u) << "set whatever the read gave";
    ASSERT_EQ(pReader->SeekFrame(60, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_pBuffer, pFrameBuffer);
    EXPECT_TRUE(IsFrame(m_pBuffer, 60, 128));
    EXPECT_EQ(m_script.calls.back(), "ReadFrameBySeek 60");
    EXPECT_EQ(pReader->GetVideoPosition(), 100u) << "a seek leaves the position";
}

TEST_F(CAsfReaderTest, SeekOnUnseekableFileReadsForwardFromTheStart) {
    m_script.bSeekable = 0;
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->SeekFrame(5, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_info.qwFrameNumber, 5u);
    EXPECT_TRUE(IsFrame(m_pBuffer, 5, 128));
    EXPECT_EQ(m_script.Count("ReadFrameBySeek 0"), 1);
    EXPECT_EQ(m_script.Count("GetNextFrame"), 5);
    ASSERT_EQ(pReader->SeekFrame(500, &m_pBuffer, m_info), S_OK) << "stops at the last frame";
    EXPECT_EQ(m_info.qwFrameNumber, 99u);
    EXPECT_EQ(m_info.dwContinuation, 2u);
}

TEST_F(CAsfReaderTest, ProbeChecksTheIndexAndDeliversNoPicture) {
    auto pReader = OpenReader();
    m_info.nDataLength = 77;
    EXPECT_EQ(pReader->ProbeFrame(100, m_info), kOutOfRange);
    EXPECT_EQ(m_info.nDataLength, 77) << "refused before anything else";
    EXPECT_EQ(m_script.calls.size(), 1u);
    ASSERT_EQ(pReader->ProbeFrame(99, m_info), S_OK);
    EXPECT_EQ(m_info.qwFrameNumber, 99u);
    EXPECT_EQ(m_script.calls.back(), "ReadFrameBySeek 99");
}

TEST_F(CAsfReaderTest, NextFrameArrivesInTheObjectsBuffer) {
    auto pReader = OpenReader();
    BYTE* pFrameBuffer = nullptr;
    ASSERT_EQ(pReader->SeekFrame(10, &pFrameBuffer, m_info), S_OK);
    ASSERT_EQ(pReader->GetNextFrame(&m_pBuffer, m_info), S_OK);
    EXPECT_NE(m_pBuffer, pFrameBuffer);
    EXPECT_TRUE(IsFrame(m_pBuffer, 11, 128));
    EXPECT_EQ(pReader->GetVideoPosition(), 0u);
}

TEST_F(CAsfReaderTest, PeeksNumberAheadOfTheFrameRead) {
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->ReadFrame(10, m_info), S_OK);
    ASSERT_EQ(pReader->PeekNextFrame(m_info), S_OK);
    EXPECT_EQ(m_script.calls.back(), "ReadFrame 11");
    EXPECT_EQ(m_info.qwFrameNumber, 12u);
    EXPECT_EQ(m_info.qwFrameNumber2, 12u);
    EXPECT_EQ(pReader->GetVideoPosition(), 10u);

    EXPECT_EQ(pReader->PeekFrame(10, m_info), S_OK);
    EXPECT_EQ(m_script.calls.back(), "ReadFrame 11");
    EXPECT_EQ(m_info.qwFrameNumber, 15u);
    EXPECT_EQ(m_info.qwFrameNumber2, 15u);
    EXPECT_EQ(pReader->GetVideoPosition(), 11u);
    EXPECT_EQ(pReader->PeekFrame(99, m_info), S_OK) << "frame 100 does not exist";
    EXPECT_EQ(m_info.qwFrameNumber, 104u);
}

TEST_F(CAsfReaderTest, VideoReadsWithoutVideoObjectSayNoVideo) {
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->SetOptions({{0, 1}}), S_OK);
    DWORD dwStream = 9;
    EXPECT_EQ(pReader->GetNextSample(&dwStream, &m_pBuffer, m_info), kNoVideo);
    EXPECT_EQ(dwStream, 0u);
    EXPECT_EQ(pReader->ReadFrame(1, m_info), kNoVideo);
    EXPECT_EQ(pReader->GetFrame(1, &m_pBuffer, m_info), kNoVideo);
    EXPECT_EQ(pReader->SeekFrame(1, &m_pBuffer, m_info), kNoVideo);
    EXPECT_EQ(pReader->ProbeFrame(1, m_info), kNoVideo);
    EXPECT_EQ(pReader->GetNextFrame(&m_pBuffer, m_info), kNoVideo);
    EXPECT_EQ(pReader->PeekNextFrame(m_info), kNoVideo);
}

// --- Interleaved --------------------------------------------------------------------------

TEST_F(CAsfReaderTest, NextSampleInterleavesByTime) {
    auto pReader = OpenReader();
    std::string order;
    for (int i = 0; i < 29; ++i) {
        DWORD dwStream = 9;
        ASSERT_EQ(pReader->GetNextSample(&dwStream, &m_pBuffer, m_info), S_OK) << i;
        order += dwStream == 0 ? 'v' : 'a';
        if (dwStream == 0) EXPECT_TRUE(IsFrame(m_pBuffer, m_info.qwFrameNumber, 128));
        else EXPECT_TRUE(IsAudio(m_pBuffer, pReader->GetAudioPosition() - m_info.dwSampleCount, 48000, 4));
    }
    // Frame 0 at 0 ms, one second of audio, then frames 1 to 25 up to 1000 ms.
    EXPECT_EQ(order, "va" + std::string(25, 'v') + "av");
    EXPECT_EQ(pReader->GetVideoPosition(), 27u);
    EXPECT_EQ(pReader->GetAudioPosition(), 96000u);
}

TEST_F(CAsfReaderTest, NextSampleOfOneStreamReadsOnlyIt) {
    MakeAudioOnly();
    auto pReader = OpenReader();
    DWORD dwStream = 9;
    ASSERT_EQ(pReader->GetNextSample(&dwStream, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(dwStream, 0u);
    EXPECT_EQ(m_info.dwSampleCount, 48000u);
    ASSERT_EQ(pReader->GetNextSample(&dwStream, &m_pBuffer, m_info), S_OK);
    EXPECT_TRUE(IsAudio(m_pBuffer, 48000, 48000, 4));
    EXPECT_EQ(m_info.dwContinuation, 2u);
}

TEST_F(CAsfReaderTest, NextSampleRefusesZeroRates) {
    m_script.info.Video.dwFrameRateNum = 0;
    auto pReader = OpenReader();
    DWORD dwStream = 9;
    EXPECT_EQ(pReader->GetNextSample(&dwStream, &m_pBuffer, m_info), kOutOfRange);
    m_script.info.Video.dwFrameRateNum = 25;
    m_script.info.Audio.dwSampleRate = 0;
    pReader = OpenReader();
    EXPECT_EQ(pReader->GetNextSample(&dwStream, &m_pBuffer, m_info), kOutOfRange);
}

TEST_F(CAsfReaderTest, NextSampleOfNothingIsNothing) {
    auto pReader = MakeReader();
    DWORD dwStream = 9;
    EXPECT_EQ(pReader->GetNextSample(&dwStream, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(dwStream, 0u);
    EXPECT_TRUE(m_script.calls.empty());
}

// --- PCM audio ----------------------------------------------------------------------------

TEST_F(CAsfReaderTest, ReadAudioFillsTheCallersBuffer) {
    auto pReader = OpenReader();
    std::vector<BYTE> block(1000 * 4);
    ASSERT_EQ(pReader->ReadAudio(500, 1000, block.data(), m_info), S_OK);
    EXPECT_TRUE(IsAudio(block.data(), 500, 1000, 4));
    EXPECT_EQ(m_info.dwKind, 2u);
    EXPECT_EQ(m_info.dwFrameType, 5u);
    EXPECT_EQ(m_info.dwSampleCount, 1000u);
    EXPECT_EQ(m_info.nDataLength, 4000);
    EXPECT_EQ(m_info.dwContinuation, 1u);
    EXPECT_EQ(pReader->GetAudioPosition(), 1500u);
    ASSERT_EQ(pReader->ReadAudio(95000, 1000, block.data(), m_info), S_OK);
    EXPECT_EQ(m_info.dwContinuation, 2u);
}

TEST_F(CAsfReaderTest, ReadAudioOfNothingFailsWithItsLine) {
    auto pReader = OpenReader();
    DebugCapture debug;
    std::vector<BYTE> block(16);
    EXPECT_EQ(pReader->ReadAudio(96000, 4, block.data(), m_info), kNoSample);
    EXPECT_EQ(debug.Text(), u"IWMSyncReader::GetNextSample() Failed\n");
    EXPECT_EQ(m_info.nDataLength, 0);
}

TEST_F(CAsfReaderTest, GetAudioReadsAtMostOneSecondAndServesRepeatsFromItsCache) {
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->GetAudio(1000, 100000, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_info.dwSampleCount, 48000u);
    EXPECT_EQ(m_info.nDataLength, 48000 * 4);
    EXPECT_TRUE(IsAudio(m_pBuffer, 1000, 48000, 4));
    EXPECT_EQ(m_script.Count("ReadAudio"), 1);

    ASSERT_EQ(pReader->GetAudio(2000, 3000, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_script.Count("ReadAudio"), 1) << "inside the last block";
    EXPECT_TRUE(IsAudio(m_pBuffer, 2000, 3000, 4));
    EXPECT_EQ(m_info.nDataLength, 12000);
    EXPECT_EQ(m_info.dwFrameType, 5u);
    ASSERT_EQ(pReader->GetAudio(48000, 1001, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_script.Count("ReadAudio"), 2) << "one sample past the block";
    EXPECT_TRUE(IsAudio(m_pBuffer, 48000, 1001, 4));
}

TEST_F(CAsfReaderTest, LargeBlocksBypassTheCache) {
    m_script.info.Audio.dwBlockAlign = 24;
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->GetAudio(0, 48000, &m_pBuffer, m_info), S_OK);
    ASSERT_EQ(pReader->GetAudio(0, 10, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_script.Count("ReadAudio"), 2);
    EXPECT_TRUE(IsAudio(m_pBuffer, 0, 10, 24));
}

TEST_F(CAsfReaderTest, GetAudioInsideTheStreamNeverFails) {
    m_script.bAudioFails = true;
    auto pReader = OpenReader();
    ASSERT_EQ(pReader->GetAudio(95000, 2000, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_info.dwSampleCount, 1000u);
    EXPECT_EQ(m_info.nDataLength, 4000);
    EXPECT_EQ(m_info.dwContinuation, 2u);
    EXPECT_NE(m_pBuffer, nullptr);
    EXPECT_EQ(pReader->GetAudio(96000, 10, &m_pBuffer, m_info), kNoSample);
}

// --- AAC audio ----------------------------------------------------------------------------

class AacReaderTest : public CAsfReaderTest {
protected:
    void SetUp() override {
        CAsfReaderTest::SetUp();
        MakeAac(30);
    }
    void ExpectFrame(CAsfReader& reader, DWORD dwIndex) {
        SCOPED_TRACE(dwIndex);
        ASSERT_EQ(reader.GetAudio(dwIndex, 1, &m_pBuffer, m_info), S_OK);
        ASSERT_EQ(m_info.nDataLength, static_cast<int32_t>(10 + dwIndex));
        EXPECT_EQ(m_info.qwFrameNumber, dwIndex);
        EXPECT_TRUE(IsAudio(m_pBuffer, dwIndex, 1, 10 + dwIndex));
    }
};

TEST_F(AacReaderTest, FrameAskedAgainIsServedFromTheRing) {
    auto pReader = OpenReader();
    ExpectFrame(*pReader, 3);
    ExpectFrame(*pReader, 3);
    EXPECT_EQ(m_script.Count("ReadAudioFrame 3"), 1);
    EXPECT_EQ(m_script.calls.size(), 2u);
    EXPECT_EQ(pReader->GetAudioPosition(), 4u);
}

TEST_F(AacReaderTest, FollowingFramesAreReadInSequence) {
    auto pReader = OpenReader();
    for (DWORD i = 0; i < 12; ++i) ExpectFrame(*pReader, i);
    EXPECT_EQ(m_script.Count("ReadAudioFrame"), 1) << "frame 0 is read by index";
    EXPECT_EQ(m_script.Count("ReadNextAudioFrame"), 11);
    // The ring holds the last nine frames: 3 to 11.
    ExpectFrame(*pReader, 3);
    EXPECT_EQ(m_script.calls.size(), 13u);
    ExpectFrame(*pReader, 2);
    EXPECT_EQ(m_script.calls.back(), "ReadAudioFrame 2");
    // Reading out of order emptied the ring: 7 is read again, 8 follows it.
    ExpectFrame(*pReader, 7);
    EXPECT_EQ(m_script.calls.back(), "ReadAudioFrame 7");
    ExpectFrame(*pReader, 8);
    EXPECT_EQ(m_script.calls.back(), "ReadNextAudioFrame");
}

TEST_F(AacReaderTest, FailedReadIsRememberedToo) {
    auto pReader = OpenReader();
    EXPECT_EQ(pReader->GetAudio(40, 1, &m_pBuffer, m_info), kOutOfRange);
    EXPECT_EQ(pReader->GetAudio(40, 1, &m_pBuffer, m_info), S_OK);
    EXPECT_EQ(m_info.nDataLength, 0);
    EXPECT_EQ(m_script.Count("ReadAudioFrame 40"), 1);
}

// --- Entry points -------------------------------------------------------------------------

TEST(ReaderExportsTest, NullHandleAndNullRecordsGetStatuses) {
    SPlugFrameInfo info{};
    SPlugSourceList sources{};
    SPlugReadOptions options{};
    uint8_t* pBuffer = nullptr;
    uint8_t block[4];
    uint32_t a = 0, b = 0;
    EXPECT_EQ(ReaderDestroy(nullptr), 0u);
    EXPECT_EQ(ReaderOpen(nullptr, &sources, 0, nullptr), 0x80000004u);
    EXPECT_EQ(ReaderGetProgramCount(nullptr), 0x80000004u);
    EXPECT_EQ(ReaderGetVideoStreamDesc(nullptr, 0, 0, nullptr), 0x80000004u);
    EXPECT_EQ(ReaderSetRange(nullptr, &a, &b, 0), 0x80000004u);
    EXPECT_EQ(ReaderGetOptions(nullptr, &options), 0x80000004u);
    EXPECT_EQ(ReaderGetFrame(nullptr, 0, &pBuffer, &info), 0x80000004u);
    EXPECT_EQ(ReaderGetAudio(nullptr, 0, 1, &pBuffer, &info), 0x80000004u);

    void* hReader = ReaderCreate();
    ASSERT_NE(hReader, nullptr);
    EXPECT_EQ(ReaderOpen(hReader, nullptr, 0, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderSetRange(hReader, nullptr, &b, 0), 0x80000005u);
    EXPECT_EQ(ReaderSetOptions(hReader, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderGetOptions(hReader, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderReadFrame(hReader, 0, nullptr, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderGetFrame(hReader, 0, nullptr, &info), 0x80000005u);
    EXPECT_EQ(ReaderSeekFrame(hReader, 0, &pBuffer, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderProbeFrame(hReader, 0, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderGetNextFrame(hReader, nullptr, &info), 0x80000005u);
    EXPECT_EQ(ReaderPeekNextFrame(hReader, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderPeekFrame(hReader, 0, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderGetNextSample(hReader, nullptr, nullptr, &pBuffer, &info), 0x80000005u);
    EXPECT_EQ(ReaderReadAudio(hReader, 0, 1, nullptr, &info), 0x80000005u);
    EXPECT_EQ(ReaderReadAudio(hReader, 0, 1, block, nullptr), 0x80000005u);
    EXPECT_EQ(ReaderGetAudio(hReader, 0, 1, nullptr, &info), 0x80000005u);
    // A description asked for without a record only checks the range.
    EXPECT_EQ(ReaderGetVideoStreamDesc(hReader, 0, 0, nullptr), 0x80000006u);
    EXPECT_EQ(ReaderDestroy(hReader), 0u);
}

TEST(ReaderExportsTest, ReadsBeforeAnyOpenGiveStatuses) {
    void* hReader = ReaderCreate();
    ASSERT_NE(hReader, nullptr);
    SPlugFrameInfo info{};
    uint8_t* pBuffer = nullptr;
    uint8_t block[16];
    uint32_t dwStream = 0;
    EXPECT_EQ(ReaderGetProgramCount(hReader), 0u);
    EXPECT_EQ(ReaderGetFrame(hReader, 0, &pBuffer, &info), 0x80000305u);
    EXPECT_EQ(ReaderProbeFrame(hReader, 0, &info), 0x80000006u);
    EXPECT_EQ(ReaderReadAudio(hReader, 0, 4, block, &info), 0x80000404u);
    EXPECT_EQ(ReaderGetAudio(hReader, 0, 4, &pBuffer, &info), 0x80000404u);
    EXPECT_EQ(ReaderGetNextSample(hReader, nullptr, &dwStream, &pBuffer, &info), 0u);
    EXPECT_EQ(ReaderDestroy(hReader), 0u);
}

}  // namespace
