// Helpers for the writer's tests: profiles built the way the host's profile
// builder builds them (profile manager, codec formats, stream
// configurations), source media made with the ffmpeg tool, and questions
// to ffprobe about the written files.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/Media.h"
#include "wmf/CWmProfileManager.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmInterfaces.h"
#include "wmf/WmMediaType.h"
#include "wmf/WmTestSupport.h"

struct SVideoSpec {
    uint32_t fourCC = MakeFourCC('W', 'M', 'V', '2');
    LONG width = 160;
    LONG height = 120;
    int rateNum = 25;
    int rateDen = 1;
    DWORD bitrate = 1'000'000;  // 0: constant quality
    DWORD quality = 90;
    LONGLONG cnsKeyFrameSpacing = 10'000'000;
    bool bVbr = false;
    DWORD peakRate = 0;
    DWORD msPeakBuffer = 0;
};

struct SAudioSpec {
    DWORD sampleRate = 44100;
    WORD channels = 2;
    DWORD bitrate = 128'000;  // the offered format nearest to this is taken
};

// The frame duration the host's profile builder puts into the profile:
// 25 gives 400000, 30000/1001 gives 333667.
inline LONGLONG FrameDuration(int num, int den) {
    return static_cast<LONGLONG>((1000.0 / (static_cast<double>(num) / den) + 0.00005) * 10000.0);
}

// Finds an offered format; the audio one nearest the requested bit rate.
inline ComPtr<IWMStreamConfig> FindCodecFormat(IWMCodecInfo* pInfo, const GUID& type,
                                               const std::function<int64_t(const WmMediaType&)>& score) {
    ComPtr<IWMStreamConfig> pBest;
    int64_t bestScore = INT64_MAX;
    DWORD cCodecs = 0;
    EXPECT_EQ(pInfo->GetCodecInfoCount(type, &cCodecs), S_OK);
    for (DWORD c = 0; c < cCodecs; ++c) {
        DWORD cFormats = 0;
        EXPECT_EQ(pInfo->GetCodecFormatCount(type, c, &cFormats), S_OK);
        for (DWORD f = 0; f < cFormats; ++f) {
            ComPtr<IWMStreamConfig> pConfig;
            EXPECT_EQ(pInfo->GetCodecFormat(type, c, f, pConfig.Put()), S_OK);
            ComPtr<IWMMediaProps> pProps;
            EXPECT_EQ(pConfig.As(pProps), S_OK);
            const int64_t s = score(ReadMediaType(pProps.Get()));
            if (s >= 0 && s < bestScore) {
                bestScore = s;
                pBest = pConfig;
            }
        }
    }
    return pBest;
}

inline void SetBasics(IWMStreamConfig* pConfig, WORD wStreamNum, const char16_t* name,
                      const char16_t* connection, DWORD bitrate) {
    EXPECT_EQ(pConfig->SetStreamNumber(wStreamNum), S_OK);
    EXPECT_EQ(pConfig->SetStreamName(name), S_OK);
    EXPECT_EQ(pConfig->SetConnectionName(connection), S_OK);
    EXPECT_EQ(pConfig->SetBitrate(bitrate), S_OK);
}

// A profile with an audio stream 1 and a video stream 2 (either optional).
inline ComPtr<IWMProfile> MakeProfile(const SVideoSpec* pVideo, const SAudioSpec* pAudio) {
    ComPtr<IWMProfileManager> pManager;
    EXPECT_EQ(CWmProfileManager::Create(pManager.Put()), S_OK);
    ComPtr<IWMProfile> pProfile;
    EXPECT_EQ(pManager->CreateEmptyProfile(WMT_VER_8_0, pProfile.Put()), S_OK);
    ComPtr<IWMCodecInfo> pInfo;
    EXPECT_EQ(pManager.As(pInfo), S_OK);
    if (pAudio) {
        const SAudioSpec a = *pAudio;
        ComPtr<IWMStreamConfig> pConfig = FindCodecFormat(pInfo.Get(), WMMEDIATYPE_Audio, [&](const WmMediaType& t) -> int64_t {
            const WAVEFORMATEX* w = t.WaveFormat();
            if (!w || w->nSamplesPerSec != a.sampleRate || w->nChannels != a.channels) return -1;
            return std::llabs(int64_t{w->nAvgBytesPerSec} * 8 - a.bitrate);
        });
        EXPECT_TRUE(pConfig) << "no audio format " << a.sampleRate << " Hz x" << a.channels;
        if (!pConfig) return {};
        ComPtr<IWMMediaProps> pProps;
        EXPECT_EQ(pConfig.As(pProps), S_OK);
        const DWORD bitrate = ReadMediaType(pProps.Get()).WaveFormat()->nAvgBytesPerSec * 8;
        SetBasics(pConfig.Get(), 1, u"Audio Stream", u"Audio", bitrate);
        EXPECT_EQ(pProfile->AddStream(pConfig.Get()), S_OK);
    }
    if (pVideo) {
        const SVideoSpec v = *pVideo;
        ComPtr<IWMStreamConfig> pConfig = FindCodecFormat(pInfo.Get(), WMMEDIATYPE_Video, [&](const WmMediaType& t) -> int64_t {
            const VIDEOINFOHEADER* vih = t.VideoInfo();
            return vih && vih->bmiHeader.biCompression == v.fourCC ? 0 : -1;
        });
        EXPECT_TRUE(pConfig);
        if (!pConfig) return {};
        ComPtr<IWMVideoMediaProps> pProps;
        EXPECT_EQ(pConfig.As(pProps), S_OK);
        WmMediaType type = ReadMediaType(pProps.Get());
        VIDEOINFOHEADER* vih = type.VideoInfo();
        vih->dwBitRate = v.bitrate;
        vih->rcSource.right = vih->rcTarget.right = v.width;
        vih->rcSource.bottom = vih->rcTarget.bottom = v.height;
        vih->bmiHeader.biWidth = v.width;
        vih->bmiHeader.biHeight = v.height;
        vih->AvgTimePerFrame = FrameDuration(v.rateNum, v.rateDen);
        WM_MEDIA_TYPE mt = type.Get();
        EXPECT_EQ(pProps->SetMediaType(&mt), S_OK);
        EXPECT_EQ(pProps->SetQuality(v.quality), S_OK);
        EXPECT_EQ(pProps->SetMaxKeyFrameSpacing(v.cnsKeyFrameSpacing), S_OK);
        SetBasics(pConfig.Get(), 2, u"Video Stream", u"Video", v.bitrate);
        EXPECT_EQ(pProfile->AddStream(pConfig.Get()), S_OK);
        if (v.bVbr) {
            ComPtr<IWMStreamConfig> pStream;
            EXPECT_EQ(pProfile->GetStreamByNumber(2, pStream.Put()), S_OK);
            ComPtr<IWMPropertyVault> pVault;
            EXPECT_EQ(pStream.As(pVault), S_OK);
            BOOL bTrue = TRUE;
            DWORD peak = v.peakRate;
            DWORD buffer = v.msPeakBuffer;
            EXPECT_EQ(pVault->SetProperty(g_wszVBREnabled, WMT_TYPE_BOOL, reinterpret_cast<BYTE*>(&bTrue), 4), S_OK);
            EXPECT_EQ(pVault->SetProperty(g_wszVBRBitrateMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&peak), 4), S_OK);
            EXPECT_EQ(pVault->SetProperty(g_wszVBRBufferWindowMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&buffer), 4), S_OK);
            EXPECT_EQ(pProfile->ReconfigStream(pStream.Get()), S_OK);
        }
    }
    return pProfile;
}

inline std::vector<BYTE> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Raw testsrc2 pictures (yuv420p unless said otherwise).
inline std::vector<BYTE> MakeRawVideo(const std::filesystem::path& path, int width, int height,
                                      const std::string& rate, int frames,
                                      const std::string& pixFmt = "yuv420p",
                                      const std::string& filter = "") {
    std::string error;
    std::vector<std::string> args{"-f", "lavfi", "-i",
                                  "testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) + ":rate=" + rate,
                                  "-frames:v", std::to_string(frames)};
    if (!filter.empty()) {
        args.push_back("-vf");
        args.push_back(filter);
    }
    for (const char* a : {"-f", "rawvideo", "-pix_fmt"}) args.push_back(a);
    args.push_back(pixFmt);
    args.push_back(path.string());
    EXPECT_TRUE(RunFfmpeg(args, &error)) << error;
    return ReadFileBytes(path);
}

// A 440 Hz tone as interleaved PCM (s16le or u8).
inline std::vector<BYTE> MakeTone(const std::filesystem::path& path, int rate, int channels,
                                  double seconds, const std::string& format = "s16le") {
    std::string error;
    EXPECT_TRUE(RunFfmpeg({"-f", "lavfi", "-i",
                           "sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds),
                           "-ac", std::to_string(channels), "-f", format, path.string()},
                          &error))
        << error;
    return ReadFileBytes(path);
}

inline std::string Ffprobe(const std::string& args, const std::filesystem::path& file) {
    std::string out;
    RunCommand("ffprobe -v error " + args + " '" + file.string() + "' 2>&1", &out);
    return out;
}

// Lines of ffprobe's csv output (p=0), split at commas.
inline std::vector<std::vector<std::string>> FfprobeRows(const std::string& args,
                                                         const std::filesystem::path& file) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(Ffprobe(args + " -of csv=p=0", file));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string f; std::getline(parts, f, ',');) fields.push_back(f);
        rows.push_back(fields);
    }
    return rows;
}

// A stream's packets: pts in seconds, duration in seconds, key flag.
struct SPacketInfo {
    double pts;
    double duration;
    bool bKey;
};
inline std::vector<SPacketInfo> Packets(const std::filesystem::path& file, const char* selector) {
    std::vector<SPacketInfo> packets;
    for (const auto& row : FfprobeRows(std::string("-select_streams ") + selector +
                                           " -show_entries packet=pts_time,duration_time,flags",
                                       file)) {
        if (row.size() < 3) continue;
        packets.push_back({std::atof(row[0].c_str()),
                           row[1] == "N/A" ? 0.0 : std::atof(row[1].c_str()),
                           row[2].find('K') != std::string::npos});
    }
    return packets;
}

// Average PSNR (dB) of the file's pictures against raw yuv420p source
// pictures, paired in order.
inline double VideoPsnr(const std::filesystem::path& file, const std::filesystem::path& rawSource,
                        int width, int height) {
    std::string out;
    RunCommand("ffmpeg -nostdin -hide_banner -i '" + file.string() + "' -f rawvideo -pix_fmt yuv420p -s " +
                   std::to_string(width) + "x" + std::to_string(height) + " -i '" + rawSource.string() +
                   "' -lavfi '[0:v]setpts=N/TB[a];[1:v]setpts=N/TB[b];[a][b]psnr' -an -f null - 2>&1",
               &out);
    const size_t at = out.find("average:");
    if (at == std::string::npos) return 0.0;
    return std::atof(out.c_str() + at + 8);
}

// Plays every stream of the file to fake sinks. A lone decodebin linked to
// one sink leaves the other stream unlinked, and under load that pipeline
// sometimes never reaches its end; playbin gives each stream a sink.
inline bool GstreamerPlays(const std::filesystem::path& file) {
    return RunCommand("timeout 60 gst-launch-1.0 -q playbin uri='file://" + std::filesystem::absolute(file).string() +
                      "' video-sink=fakesink audio-sink=fakesink > /dev/null 2>&1") == 0;
}

// Counts the status callbacks it hears, keeping the last error.
class CStatusRecorder final : public IWMStatusCallback {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IWMStatusCallback)) return E_NOINTERFACE;
        *ppv = static_cast<IWMStatusCallback*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override { return --m_cRef; }  // lives on the test's stack
    HRESULT OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*, void*) noexcept override {
        if (status == WMT_ERROR) {
            ++m_cErrors;
            m_hrLast = hr;
        }
        return S_OK;
    }
    int Errors() const noexcept { return m_cErrors; }
    HRESULT LastError() const noexcept { return m_hrLast; }
    ULONG References() const noexcept { return m_cRef; }

private:
    std::atomic<ULONG> m_cRef{1};
    int m_cErrors = 0;
    HRESULT m_hrLast = S_OK;
};

// The writer's input numbers by kind (-1 when absent).
struct SInputs {
    int video = -1;
    int audio = -1;
};
inline SInputs FindInputs(IWMWriter* pWriter) {
    SInputs inputs;
    DWORD cInputs = 0;
    EXPECT_EQ(pWriter->GetInputCount(&cInputs), S_OK);
    for (DWORD i = 0; i < cInputs; ++i) {
        ComPtr<IWMInputMediaProps> pProps;
        EXPECT_EQ(pWriter->GetInputProps(i, pProps.Put()), S_OK);
        GUID type{};
        EXPECT_EQ(pProps->GetType(&type), S_OK);
        (type == WMMEDIATYPE_Video ? inputs.video : inputs.audio) = static_cast<int>(i);
    }
    return inputs;
}

inline HRESULT WriteBytes(IWMWriter* pWriter, DWORD input, QWORD cnsTime, const BYTE* pData, DWORD cb,
                          bool bPreprocess = false) {
    ComPtr<INSSBuffer> pSample;
    HRESULT hr = pWriter->AllocateSample(cb, pSample.Put());
    if (FAILED(hr)) return hr;
    BYTE* pBuffer = nullptr;
    DWORD cbBuffer = 0;
    hr = pSample->GetBufferAndLength(&pBuffer, &cbBuffer);
    if (FAILED(hr)) return hr;
    std::memcpy(pBuffer, pData, cb);
    if (!bPreprocess) return pWriter->WriteSample(input, cnsTime, 0, pSample.Get());
    ComPtr<IWMWriterPreprocess> pPre;
    hr = ComPtr<IWMWriter>(pWriter).As(pPre);
    if (FAILED(hr)) return hr;
    return pPre->PreprocessSample(input, cnsTime, 0, pSample.Get());
}

// Source media and how to deliver it, as the plug-in does: one picture per
// sample at frame n x duration, and after each picture the audio up to that
// picture's end in blocks, at times truncated to whole milliseconds.
struct SDelivery {
    const std::vector<BYTE>* pVideo = nullptr;
    DWORD cbFrame = 0;
    int frames = 0;
    LONGLONG cnsFrame = 400'000;
    const std::vector<BYTE>* pAudio = nullptr;
    DWORD cbBlock = 4;  // bytes per sample frame
    DWORD sampleRate = 44100;
    bool bVideoPreprocessOnly = false;  // a preprocessing pass: no audio
    bool bSkipAudio = false;
};
inline HRESULT Deliver(IWMWriter* pWriter, const SInputs& inputs, const SDelivery& d) {
    size_t audioDone = 0;  // sample frames
    const size_t audioTotal = d.pAudio ? d.pAudio->size() / d.cbBlock : 0;
    auto audioUpTo = [&](size_t end) -> HRESULT {
        while (audioDone < std::min(end, audioTotal)) {
            const size_t n = std::min<size_t>(1152, std::min(end, audioTotal) - audioDone);
            const QWORD cnsTime = static_cast<QWORD>(audioDone * 1000 / d.sampleRate) * 10000;
            const HRESULT hr = WriteBytes(pWriter, inputs.audio, cnsTime,
                                          d.pAudio->data() + audioDone * d.cbBlock,
                                          static_cast<DWORD>(n * d.cbBlock));
            if (FAILED(hr)) return hr;
            audioDone += n;
        }
        return S_OK;
    };
    for (int n = 0; n < d.frames; ++n) {
        if (d.pVideo) {
            const HRESULT hr = WriteBytes(pWriter, inputs.video, static_cast<QWORD>(n) * d.cnsFrame,
                                          d.pVideo->data() + static_cast<size_t>(n) * d.cbFrame, d.cbFrame,
                                          d.bVideoPreprocessOnly);
            if (FAILED(hr)) return hr;
        }
        if (d.pAudio && !d.bSkipAudio) {
            const auto end = static_cast<size_t>((n + 1) * d.cnsFrame * static_cast<int64_t>(d.sampleRate) / 10'000'000);
            const HRESULT hr = audioUpTo(end);
            if (FAILED(hr)) return hr;
        }
    }
    return d.pAudio && !d.bSkipAudio ? audioUpTo(audioTotal) : S_OK;
}
