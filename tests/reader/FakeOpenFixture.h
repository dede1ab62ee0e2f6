// Opening a CAsfStream on a scripted file of the fake runtime. The file on
// disk only has to exist (the stream's byte source opens it); what the
// runtime reports comes from Fake().file.
#pragma once

#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "plugin/MediaRecords.h"
#include "reader/CAsfStream.h"
#include "reader/ExtraData.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "FakeWindowsMedia.h"
#include "LogCapture.h"

inline constexpr QWORD kFrame25 = 400000;  // 25 fps in 100 ns units
inline constexpr WORD kVideoStream = 1;
inline constexpr WORD kAudioStream = 2;

// A video stream the runtime decodes; its output offers NV12 and YUY2.
inline FakeOutput DecodedVideo(LONG nWidth = 320, LONG nHeight = 240, LONGLONG cnsAvgTimePerFrame = 0,
                               size_t cFrames = 50, QWORD cnsStep = kFrame25) {
    FakeOutput output;
    output.wStream = kVideoStream;
    output.outputType = PictureType(MEDIASUBTYPE_NV12);
    output.streamType = VideoType(MakeFourCC('W', 'M', 'V', '2'), nWidth, nHeight, cnsAvgTimePerFrame);
    output.dwBitrate = 800000;
    output.formats = {PictureType(MEDIASUBTYPE_NV12), PictureType(MEDIASUBTYPE_YUY2)};
    output.samples = EvenSamples(cFrames, cnsStep);
    return output;
}

// Windows Media Audio, decoded to 16-bit PCM at its own rate and channels.
inline FakeOutput DecodedAudio(WORD wTag = 0x0161, WORD nChannels = 2, DWORD nRate = 44100, WORD wBits = 16) {
    FakeOutput output;
    output.wStream = kAudioStream;
    output.outputType = WaveType(MEDIATYPE_Audio, WAVE_FORMAT_PCM, nChannels, nRate, 16, nChannels * 2);
    output.streamType = WaveType(MEDIATYPE_Audio, wTag, nChannels, nRate, wBits, 2);
    output.dwBitrate = 128000;
    output.formats = {WaveType(MEDIATYPE_Audio, WAVE_FORMAT_PCM, nChannels, nRate, 16, nChannels * 2)};
    output.samples = EvenSamples(20, 1000000);
    return output;
}

class FakeOpenTest : public ::testing::Test {
protected:
    static constexpr size_t kFileBytes = 4321;

    void SetUp() override {
        Fake() = FakeRuntime{};
        m_dir = std::make_unique<TempDir>("fakeopen");
        m_file = Wide((m_dir->Path() / "clip.wmv").string());
        std::ofstream(m_dir->Path() / "clip.wmv", std::ios::binary) << std::string(kFileBytes, 'x');
        InitMediaInfo(m_info);
        m_pStream = CAsfStream::Create();
        ASSERT_TRUE(m_pStream);
    }
    void TearDown() override {
        m_pStream.reset();
        FreeExtraData(m_extra);
    }

    HRESULT Open() { return m_pStream->GetStreamInfo(m_file.c_str(), 0, nullptr, &m_info, &m_extra); }

    LogCapture m_log;
    std::unique_ptr<TempDir> m_dir;
    std::u16string m_file;
    SPlugMediaInfo m_info{};
    SPlugExtraData m_extra{};
    std::unique_ptr<CAsfStream> m_pStream;
};
