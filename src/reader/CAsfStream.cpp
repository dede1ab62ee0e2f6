#include "reader/CAsfStream.h"

#include <new>
#include <utility>

#include "plugin/Diagnostics.h"
#include "plugin/MediaRecords.h"
#include "plugin/PlugStatus.h"
#include "plugin/WMSdkProbe.h"
#include "reader/FrameTiming.h"
#include "vrx/VRXHost.h"
#include "win/MulDiv.h"

namespace {

// The host's format code for a file this reader describes.
constexpr uint32_t kAsfFormatCode = 25;

// The host parser rejected the first compressed picture's headers.
constexpr HRESULT kHrBadVideoHeaders = MakeHr(0x80000300);

// Sample times measured for a frame duration the header does not state.
constexpr DWORD kMeasuredSamples = 10;

// The widest and tallest picture whose frame buffer the reader sizes; a
// larger one is refused before any buffer is sized from it.
constexpr uint32_t kMaxPictureSide = 16384;
constexpr uint32_t kFrameBufferBytesPerPixel = 4;

std::unique_ptr<BYTE[]> AllocateBuffer(size_t cb) noexcept {
    return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[cb]);
}

std::unique_ptr<CVRXAudioAnalyser> CreateAudioAnalyser() noexcept {
    return std::unique_ptr<CVRXAudioAnalyser>(new (std::nothrow) CVRXAudioAnalyser());
}

// Both terms reduced by their greatest common divisor, the way the host
// wants a rate: 10'000'000 / 400'000 becomes 25 / 1. A zero term leaves
// the other at 1.
void ReduceFraction(uint32_t& dwNum, uint32_t& dwDen) noexcept {
    uint32_t a = dwNum;
    uint32_t b = dwDen;
    while (b != 0) a = std::exchange(b, a % b);
    if (a > 1) {
        dwNum /= a;
        dwDen /= a;
    }
}

}  // namespace

std::unique_ptr<CAsfStream> CAsfStream::Create() noexcept {
    return std::unique_ptr<CAsfStream>(new (std::nothrow) CAsfStream());
}

CAsfStream::CAsfStream() noexcept {
    InitMediaInfo(m_Info);
}

CAsfStream::~CAsfStream() {
    Close();
}

HRESULT CAsfStream::Close() noexcept {
    if (!m_bOpened) return S_OK;
    m_bOpened = 0;
    if (m_pReader) m_pReader->Close();
    m_pVideoSample[0].Reset();
    m_pVideoSample[1].Reset();
    m_pAudioSample.Reset();
    m_pReader.Reset();
    // The reader has dropped its references with its last release; the
    // stream is ours alone now.
    m_pStream.reset();
    m_pAudioBuffer.reset();
    m_wVideoStream = 0;
    m_wAudioStream = 0;
    m_nAudioBufferFill = 0;
    m_nAudioPos = 0;
    m_pFrameBuffer.reset();
    m_pAudioFrame[0].Reset();
    m_pAudioFrame[1].Reset();
    return S_OK;
}

HRESULT CAsfStream::GetStreamInfo(const WCHAR* pwszFileName, DWORD dwReserved,
                                  const WCHAR* pwszSecondName, SPlugMediaInfo* pInfo,
                                  SPlugExtraData* pExtra) noexcept {
    if (m_bOpened) Close();
    // Set first, so that Close releases whatever a failing open leaves.
    m_bOpened = 1;
    if (!pwszFileName || !*pwszFileName || !pInfo) return E_INVALIDARG;
    SPlugMediaInfo& info = *pInfo;

    if (!IsWMSDKAvailable()) {
        DebugOutput(kNeedComInitText);
        return MakeHr(PLUG_E_WINMEDIA_UNUSABLE);
    }
    HRESULT hr = S_OK;
    if (!m_pReader) {
        hr = WMCreateSyncReader(/*pUnkCert=*/nullptr, /*dwRights=*/0, m_pReader.Put());
        if (FAILED(hr)) return hr;
        if (!m_pReader) return E_UNEXPECTED;
    }
    m_pStream = CROStream::Create();
    if (!m_pStream) return E_OUTOFMEMORY;
    hr = m_pStream->OpenSource(pwszFileName, dwReserved, pwszSecondName);
    if (hr < 0) return hr;
    hr = m_pReader->OpenStream(m_pStream.get());
    if (FAILED(hr)) return hr;
    STATSTG stat{};
    hr = m_pStream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    info.qwFileSize = stat.cbSize.QuadPart;
    info.dwFormatCode = kAsfFormatCode;

    hr = GetMediaProps(info, pExtra);
    if (hr < 0) return hr;
    m_cnsFirstVideoTime = 0;

    if (m_wVideoStream != 0) {
        WMT_STREAM_SELECTION selection = WMT_ON;
        hr = m_pReader->SetStreamsSelected(1, &m_wVideoStream, &selection);
        if (FAILED(hr)) return hr;
        hr = info.Video.dwCodecType == PLUG_VIDEO_CODEC_WINMEDIA ? SettleDecodedVideoTiming(info)
                                                                  : SettleCompressedVideoTiming(info);
        if (FAILED(hr)) return hr;
    }
    if (m_wAudioStream != 0) {
        WMT_STREAM_SELECTION selection = WMT_ON;
        hr = m_pReader->SetStreamsSelected(1, &m_wAudioStream, &selection);
        if (FAILED(hr)) return hr;
        if (info.Audio.dwAudioType == PLUG_AUDIO_TYPE_WINMEDIA) {
            hr = m_pReader->SetReadStreamSamples(m_wAudioStream, /*fCompressed=*/FALSE);
            if (FAILED(hr)) return hr;
        } else if (info.Audio.dwAudioType == PLUG_AUDIO_TYPE_AAC) {
            AnalyseAacAudio(info);
        }
    }
    return FinishOpen(info);
}

DWORD CAsfStream::IsSeekable() noexcept {
    return m_bSeekable;
}

HRESULT CAsfStream::NextSample(WORD wStream, ComPtr<INSSBuffer>& pSample, QWORD& cnsTime,
                               QWORD* pcnsDuration, DWORD* pdwFlags) noexcept {
    QWORD cnsDuration = 0;
    DWORD dwFlags = 0;
    const HRESULT hr = m_pReader->GetNextSample(wStream, pSample.Put(), &cnsTime, &cnsDuration, &dwFlags,
                                                /*pdwOutputNum=*/nullptr, /*pwStreamNum=*/nullptr);
    if (FAILED(hr)) return hr;
    if (!pSample) return E_UNEXPECTED;
    if (pcnsDuration) *pcnsDuration = cnsDuration;
    if (pdwFlags) *pdwFlags = dwFlags;
    return hr;
}

HRESULT CAsfStream::SettleDecodedVideoTiming(SPlugMediaInfo& info) noexcept {
    HRESULT hr = m_pReader->SetReadStreamSamples(m_wVideoStream, /*fCompressed=*/FALSE);
    if (FAILED(hr)) return hr;
    if (info.Video.dwFrameRateNum == 0 || info.Video.dwFrameRateDen == 0) MeasureFrameDuration(info);
    m_bSeekable = SUCCEEDED(m_pReader->SetRange(m_dwAvgTimePerFrame, 0)) ? 1 : 0;
    CheckFrameCount(info);
    hr = m_pReader->SetRange(0, 0);
    if (FAILED(hr)) return hr;
    ReadFieldOrder(info);
    return S_OK;
}

void CAsfStream::MeasureFrameDuration(SPlugMediaInfo& info) noexcept {
    m_pReader->SetRange(0, 0);
    DWORD cRead = 0;
    QWORD cnsLast = 0;
    for (; cRead < kMeasuredSamples; ++cRead) {
        ComPtr<INSSBuffer> pSample;
        QWORD cnsTime = 0;
        if (FAILED(NextSample(m_wVideoStream, pSample, cnsTime))) break;
        if (cRead == 0) m_cnsFirstVideoTime = cnsTime;
        cnsLast = cnsTime;
    }
    if (cRead >= 2) {
        m_dwAvgTimePerFrame = static_cast<DWORD>((cnsLast - m_cnsFirstVideoTime) / (cRead - 1));
        HostLogF(INFOTYPE_DIAGNOSTIC,
                 u"CAsfStream::GetStreamInfo()--pVIH->AvgTimePerFrame is Zero, Calc FrameRate by "
                 u"SampleTime:%d(m_dwAvgTimePerFrame) = %lld/%d",
                 static_cast<int>(m_dwAvgTimePerFrame), static_cast<long long>(cnsLast),
                 static_cast<int>(cRead - 1));
    } else {
        m_dwAvgTimePerFrame = kNtscFrameDuration;
        HostLog(INFOTYPE_WARNING,
                u"CAsfStream::GetStreamInfo()--pVIH->AvgTimePerFrame is Zero, and can't get SampleTime "
                u"by m_pReader->GetNextSample(),assum  AvgTimePerFrame is 333667(NTSC)");
    }
    FrameRateFromDuration(m_dwAvgTimePerFrame, info.Video.dwFrameRateNum, info.Video.dwFrameRateDen);
    info.dwVideoFrameCount = TruncatedRatio(static_cast<double>(m_cnsDuration), m_dwAvgTimePerFrame);
}

void CAsfStream::CheckFrameCount(SPlugMediaInfo& info) noexcept {
    // Signed, as the count may drop below zero when not even the first
    // frame can be reached.
    auto nCount = static_cast<int32_t>(info.dwVideoFrameCount);
    while (info.dwVideoPresent && nCount >= 0 && m_bSeekable) {
        const QWORD cnsTarget = QWORD{static_cast<uint32_t>(nCount - 1)} * m_dwAvgTimePerFrame;
        ComPtr<INSSBuffer> pSample;
        QWORD cnsTime = 0;
        if (FAILED(m_pReader->SetRange(cnsTarget, 0)) || FAILED(NextSample(m_wVideoStream, pSample, cnsTime))) {
            --nCount;
            continue;
        }
        // A sample before the target means the count overshot: the last
        // sample up to the target is the last frame.
        if (cnsTime < cnsTarget) {
            while (SUCCEEDED(NextSample(m_wVideoStream, pSample, cnsTime)) && cnsTime <= cnsTarget) {
                const double cnsFromFirst = static_cast<double>(cnsTime - m_cnsFirstVideoTime);
                nCount = static_cast<int32_t>(TruncatedRatio(cnsFromFirst, m_dwAvgTimePerFrame) + 1);
            }
        }
        break;
    }
    info.dwVideoFrameCount = static_cast<uint32_t>(nCount);
}

void CAsfStream::ReadFieldOrder(SPlugMediaInfo& info) noexcept {
    ComPtr<INSSBuffer> pSample;
    QWORD cnsTime = 0;
    if (FAILED(NextSample(m_wVideoStream, pSample, cnsTime))) return;
    ComPtr<INSSBuffer3> pSample3;
    if (pSample.As(pSample3) != S_OK || !pSample3) return;
    DWORD cbProperty = 0;
    if (pSample3->GetProperty(WM_SampleExtensionGUID_ContentType, nullptr, &cbProperty) != S_OK) return;
    BYTE bContentType = 0;
    cbProperty = sizeof(bContentType);
    if (pSample3->GetProperty(WM_SampleExtensionGUID_ContentType, &bContentType, &cbProperty) != S_OK) return;
    info.Video.dwFieldOrder = (bContentType & WM_CT_TOP_FIELD_FIRST)      ? 0
                              : (bContentType & WM_CT_BOTTOM_FIELD_FIRST) ? 1
                                                                          : 2;
}

HRESULT CAsfStream::SettleCompressedVideoTiming(SPlugMediaInfo& info) noexcept {
    HRESULT hr = m_pReader->SetReadStreamSamples(m_wVideoStream, /*fCompressed=*/TRUE);
    if (FAILED(hr)) return hr;
    m_dwAvgTimePerFrame = 0;
    hr = m_pReader->SetRange(0, 0);
    if (FAILED(hr)) return hr;

    SPlugVideoStreamInfo& video = info.Video;
    DWORD cCounted = 0;
    QWORD cnsLast = 0;
    ComPtr<INSSBuffer> pSample;
    QWORD cnsTime = 0;
    while (SUCCEEDED(NextSample(m_wVideoStream, pSample, cnsTime))) {
        cnsLast = cnsTime;
        BYTE* pData = nullptr;
        DWORD cbData = 0;
        if (FAILED(pSample->GetBufferAndLength(&pData, &cbData))) continue;
        if (cCounted == 0) {
            // The picture size, aspect, rate and field order come from the
            // stream's own headers, which lead its first sample.
            int32_t nParsed = 1;
            if (video.dwCodecType == PLUG_VIDEO_CODEC_MPEG4)
                nParsed = GetMpeg4VideoInfo(pData, static_cast<int32_t>(cbData), &video);
            else if (video.dwCodecType == PLUG_VIDEO_CODEC_H264)
                nParsed = GetH264VideoInfo(pData, static_cast<int32_t>(cbData), &video);
            if (nParsed < 1) return kHrBadVideoHeaders;
        }
        if (video.dwFrameRateDen != 0) {
            m_dwAvgTimePerFrame = static_cast<DWORD>(MulDiv(10000000, static_cast<int>(video.dwFrameRateDen),
                                                            static_cast<int>(video.dwFrameRateNum)));
            break;
        }
        if (++cCounted == kMeasuredSamples) break;
    }
    pSample.Reset();

    if (video.dwFrameRateDen == 0 && cCounted > 1) {
        // The first sample's time is not subtracted: compressed samples
        // carry grid times from 0.
        m_dwAvgTimePerFrame = static_cast<DWORD>(cnsLast / (cCounted - 1));
        video.dwFrameRateNum = 10000000;
        video.dwFrameRateDen = m_dwAvgTimePerFrame;
        ReduceFraction(video.dwFrameRateNum, video.dwFrameRateDen);
    }
    if (m_dwAvgTimePerFrame == 0) {
        info.dwVideoFrameCount = 0;
        m_bSeekable = 0;
        return S_OK;
    }
    m_bSeekable = SUCCEEDED(m_pReader->SetRange(m_dwAvgTimePerFrame, 0)) ? 1 : 0;

    // From the last key frame before the file's end the remaining samples
    // are few; without a duration the whole stream is counted once.
    DWORD dwCount = 0;
    if (m_cnsDuration != 0 && SUCCEEDED(m_pReader->SetRange(m_cnsDuration, 0)) &&
        SUCCEEDED(NextSample(m_wVideoStream, pSample, cnsTime))) {
        dwCount = TruncatedRatio(static_cast<double>(cnsTime), m_dwAvgTimePerFrame) + 1;
    } else {
        hr = m_pReader->SetRange(0, 0);
        if (FAILED(hr)) return hr;
    }
    while (SUCCEEDED(NextSample(m_wVideoStream, pSample, cnsTime)))
        dwCount = TruncatedRatio(static_cast<double>(cnsTime), m_dwAvgTimePerFrame) + 1;
    info.dwVideoFrameCount = dwCount;
    return S_OK;
}

void CAsfStream::AnalyseAacAudio(SPlugMediaInfo& info) noexcept {
    m_pReader->SetReadStreamSamples(m_wAudioStream, /*fCompressed=*/TRUE);
    m_pReader->SetRange(0, 0);
    ComPtr<INSSBuffer> pSample;
    QWORD cnsTime = 0;
    BYTE* pData = nullptr;
    DWORD cbData = 0;
    if (FAILED(NextSample(m_wAudioStream, pSample, cnsTime)) ||
        FAILED(pSample->GetBufferAndLength(&pData, &cbData)) || cbData == 0) {
        info.Audio.dwAudioType = PLUG_AUDIO_TYPE_NONE;
        return;
    }
    // The analyser reads the bit rate off one frame; the stream's own
    // figure is the better one.
    const uint32_t dwBitRate = info.Audio.dwBitRate;
    // Without an analyser the description stays as the stored format gave it.
    if (auto pAnalyser = CreateAudioAnalyser()) {
        pAnalyser->InitAudioAnalyser(PLUG_AUDIO_TYPE_AAC, /*flags=*/0);
        pAnalyser->GetAudioInfo(/*index=*/0, pData, static_cast<int32_t>(cbData), &info.Audio,
                                /*extra=*/nullptr);
        pAnalyser->Release();
    }
    info.Audio.dwBitRate = dwBitRate;
}

HRESULT CAsfStream::FinishOpen(const SPlugMediaInfo& info) noexcept {
    CopyMediaInfoForReader(m_Info, info);
    const uint32_t dwWidth = m_Info.Video.dwWidth;
    const uint32_t dwHeight = m_Info.Video.dwHeight;
    const uint64_t cbFrame = uint64_t{dwWidth} * dwHeight * kFrameBufferBytesPerPixel;
    if (dwWidth > kMaxPictureSide || dwHeight > kMaxPictureSide || cbFrame > static_cast<uint64_t>(INT32_MAX))
        return MakeHr(PLUG_E_OUT_OF_RANGE);

    m_pAudioBuffer = AllocateBuffer(kAudioBufferBytes);
    if (!m_pAudioBuffer) return E_OUTOFMEMORY;
    m_nAudioBufferFill = 0;
    m_nAudioBufferOffset = 0;
    m_nAudioPos = 0;
    m_nVideoPos = 0;
    m_bAudioEnd = 0;
    m_nFrameBufferSize = static_cast<LONG>(cbFrame);
    m_pFrameBuffer = AllocateBuffer(cbFrame);
    if (!m_pFrameBuffer) return E_OUTOFMEMORY;
    m_pAudioFrame[0].Reset();
    m_pAudioFrame[1].Reset();
    for (int i = 0; i < 2; ++i) {
        m_cnsAudioFrameTime[i] = 0;
        m_cnsAudioFrameDuration[i] = 0;
    }
    m_nAudioFrameSlot = 0;
    return m_pReader->SetRange(0, 0);
}
