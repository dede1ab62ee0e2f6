// Sample access of CAsfStream: frames by index, by seek and in sequence,
// decoded PCM from any sample, compressed AAC frames.
#include "reader/CAsfStream.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "plugin/Diagnostics.h"
#include "plugin/PlugStatus.h"
#include "reader/FrameTiming.h"
#include "reader/ReaderStatus.h"
#include "win/NsError.h"

namespace {

constexpr HRESULT kHrOutOfRange = MakeHr(PLUG_E_OUT_OF_RANGE);
constexpr HRESULT kHrFrameNotFound = MakeHr(PLUG_E_FRAME_NOT_FOUND);
constexpr HRESULT kHrSeekFailed = MakeHr(PLUG_E_SEEK_FAILED);
constexpr HRESULT kHrNoSample = MakeHr(PLUG_E_NO_SAMPLE);

constexpr WCHAR kGetNextSampleFailed[] = u"IWMSyncReader::GetNextSample() Failed\n";

// A time word with no time in it, and a frame number with no number.
constexpr QWORD kNoTime = ~QWORD{0};
constexpr QWORD kNoFrameNumber = 0xFFFFFFFF;
// Where the scan puts the end of the stream: later than any frame's time.
constexpr QWORD kEndOfStream = 0xEFFFFFFFFFFFFFFF;
// A sequential frame more than 10 s after the one before is damaged.
constexpr QWORD kMaxFrameStep = 100000000;

constexpr uint32_t kStreamKindVideo = 1;
constexpr uint32_t kStreamKindAudio = 2;
constexpr uint32_t kContinues = 1;
constexpr uint32_t kLast = 2;
constexpr uint32_t kFrameTypeKey = 1;
constexpr uint32_t kFrameTypeDelta = 2;
constexpr uint32_t kFrameTypeDecoded = 5;

constexpr QWORD kTimeUnitsPerSecond = 10000000;

// 100 ns units to the host's 90 kHz ticks: 400'000 (40 ms) is 3600.
QWORD Ticks90k(QWORD cns) noexcept {
    return cns * 90 / 10000;
}

// An ADTS header ahead of a raw AAC frame: 7 bytes, or 9 with a checksum.
size_t AdtsHeaderBytes(const BYTE* pData, size_t cbData) noexcept {
    if (cbData < 2 || pData[0] != 0xFF || (pData[1] & 0xF0) != 0xF0) return 0;
    return std::min<size_t>(cbData, (pData[1] & 0x01) ? 7 : 9);
}

// An AAC read starts from an audio record that describes no frame.
void StartAacInfo(SPlugFrameInfo& info) noexcept {
    info.dwKind = kStreamKindAudio;
    info.nDataLength = 0;
    info.dwSampleCount = 0;
    info.dwFrameType = kFrameTypeKey;
}

}  // namespace

bool CAsfStream::IsIndexInRange(DWORD dwIndex) noexcept {
    if (dwIndex < m_Info.dwVideoFrameCount) return true;
    std::u16string text;
    FormatString(text, u"CAsfStream:: Index: %d TotalFrame: %d(dwQZRVELMORA_OverMaxValue)\n",
                 static_cast<int>(dwIndex), static_cast<int>(m_Info.dwVideoFrameCount));
    DebugOutput(text.c_str());
    return false;
}

QWORD CAsfStream::FrameTime(DWORD dwIndex) const noexcept {
    return QWORD{dwIndex} * m_dwAvgTimePerFrame;
}

DWORD CAsfStream::FrameNumber(QWORD cnsTime) const noexcept {
    return TruncatedRatio(static_cast<double>(cnsTime - m_cnsFirstVideoTime), m_dwAvgTimePerFrame);
}

DWORD CAsfStream::FrameNumberFromZero(QWORD cnsTime) const noexcept {
    return TruncatedRatio(static_cast<double>(cnsTime), m_dwAvgTimePerFrame);
}

DWORD CAsfStream::FrameType(DWORD dwFlags) const noexcept {
    switch (m_Info.Video.dwCodecType) {
    case PLUG_VIDEO_CODEC_MPEG4:
    case PLUG_VIDEO_CODEC_H264: return (dwFlags & WM_SF_CLEANPOINT) ? kFrameTypeKey : kFrameTypeDelta;
    case PLUG_VIDEO_CODEC_WINMEDIA: return kFrameTypeDecoded;
    default: return 0;
    }
}

bool CAsfStream::FitsFrameBuffer(size_t cbFrame) const noexcept {
    const size_t cbBuffer = m_nFrameBufferSize > 0 ? static_cast<size_t>(m_nFrameBufferSize) : 0;
    if (cbFrame <= cbBuffer) return true;
    // A sample larger than the picture allows is damaged; copying it would
    // run past the caller's buffer.
    DebugOutputF(u"CAsfStream:: sample of %u bytes exceeds the frame buffer of %u bytes\n",
                 static_cast<unsigned>(cbFrame), static_cast<unsigned>(cbBuffer));
    return false;
}

HRESULT CAsfStream::NextVideoSample(LONG nSlot) noexcept {
    return NextSample(m_wVideoStream, m_pVideoSample[nSlot], m_cnsVideoTime[nSlot], &m_cnsVideoDuration[nSlot],
                      &m_dwVideoFlags[nSlot]);
}

void CAsfStream::ResetVideoWindow() noexcept {
    for (int i = 0; i < 2; ++i) {
        m_pVideoSample[i].Reset();
        m_cnsVideoTime[i] = 0;
    }
    m_nVideoSlot = 0;
}

bool CAsfStream::DeliverPicture(const BYTE* pData, DWORD cbData, BYTE* pBuffer, SPlugFrameInfo& info) noexcept {
    const size_t cxPicture = m_Info.Video.dwWidth;
    const size_t cyPicture = m_Info.Video.dwHeight;
    // Decoded 24-bit pictures reach the host as 32-bit bottom-up bitmaps.
    const bool bWiden = m_Info.Video.dwCodecType == PLUG_VIDEO_CODEC_WINMEDIA &&
                        m_Info.Video.dwColorFormat == PLUG_COLOR_FORMAT_RGB32 &&
                        cbData >= cxPicture * cyPicture * 3;
    const size_t cbOut = bWiden ? size_t{cbData} * 4 / 3 : cbData;
    if (!FitsFrameBuffer(cbOut)) return false;
    info.nDataLength = static_cast<int32_t>(cbOut);
    if (!pBuffer) return true;
    if (!bWiden) {
        std::memcpy(pBuffer, pData, cbData);
        return true;
    }
    for (size_t y = 0; y < cyPicture; ++y) {
        const BYTE* pSrc = pData + y * cxPicture * 3;
        BYTE* pDest = pBuffer + (cyPicture - 1 - y) * cxPicture * 4;
        for (size_t x = 0; x < cxPicture; ++x, pSrc += 3, pDest += 4) {
            pDest[0] = pSrc[0];
            pDest[1] = pSrc[1];
            pDest[2] = pSrc[2];
            pDest[3] = 0xFF;
        }
    }
    return true;
}

HRESULT CAsfStream::GetFrame(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = m_pFrameBuffer.get();
    return ReadFrame(dwIndex, *ppBuffer, pFrameInfo);
}

HRESULT CAsfStream::ReadFrame(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept {
    if (!pFrameInfo) return E_POINTER;
    if (!IsIndexInRange(dwIndex)) return kHrOutOfRange;
    if (!m_pReader) return kHrSeekFailed;
    const QWORD cnsTarget = FrameTime(dwIndex);

    // An empty current entry (the stream ended there, or a seek delivered
    // its frame and kept only the look-ahead) leaves nothing to scan from:
    // the seek is due.
    if (m_nVideoPos == 0 || m_nVideoSlot < 0 || !m_pVideoSample[m_nVideoSlot] ||
        cnsTarget < m_cnsVideoTime[m_nVideoSlot]) {
        if (FAILED(m_pReader->SetRange(cnsTarget, 0))) return kHrSeekFailed;
        ResetVideoWindow();
        if (FAILED(NextVideoSample(0))) return kHrSeekFailed;
        m_nVideoPos = FrameNumberFromZero(m_cnsVideoTime[0]) + 1;
        if (cnsTarget < m_cnsVideoTime[0]) return kHrFrameNotFound;
    }
    for (;;) {
        const LONG nOther = 1 - m_nVideoSlot;
        if (!m_pVideoSample[nOther]) {
            const HRESULT hr = NextVideoSample(nOther);
            if (hr == NS_E_NO_MORE_SAMPLES) {
                m_cnsVideoTime[nOther] = kEndOfStream;
            } else if (hr != S_OK) {
                DebugOutput(kGetNextSampleFailed);
                return kHrNoSample;
            }
        }
        if (cnsTarget == m_cnsVideoTime[m_nVideoSlot] || cnsTarget < m_cnsVideoTime[nOther]) break;
        // Past the end of the stream there is no frame to move on to.
        if (!m_pVideoSample[nOther]) return kHrFrameNotFound;
        m_pVideoSample[m_nVideoSlot].Reset();
        m_cnsVideoTime[m_nVideoSlot] = 0;
        m_nVideoSlot = nOther;
    }

    BYTE* pData = nullptr;
    DWORD cbData = 0;
    if (FAILED(m_pVideoSample[m_nVideoSlot]->GetBufferAndLength(&pData, &cbData)) || cbData == 0 || !pData)
        return kHrFrameNotFound;
    if (!FitsFrameBuffer(cbData)) return kHrFrameNotFound;
    m_nVideoPos = FrameNumberFromZero(m_cnsVideoTime[m_nVideoSlot]) + 1;
    if (pBuffer) std::memcpy(pBuffer, pData, cbData);
    SPlugFrameInfo& info = *pFrameInfo;
    info.nDataLength = static_cast<int32_t>(cbData);
    info.dwKind = kStreamKindVideo;
    info.dwFrameType = FrameType(m_dwVideoFlags[m_nVideoSlot]);
    info.qwFrameNumber2 = 0;
    info.qwFrameNumber = m_nVideoPos - 1;
    info.dwContinuation = info.qwFrameNumber < QWORD{m_Info.dwVideoFrameCount} - 1 ? kContinues : kLast;
    return S_OK;
}

HRESULT CAsfStream::GetFrameBySeek(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = m_pFrameBuffer.get();
    return ReadFrameBySeek(dwIndex, *ppBuffer, pFrameInfo);
}

HRESULT CAsfStream::ReadFrameBySeek(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept {
    if (!pFrameInfo) return E_POINTER;
    if (!IsIndexInRange(dwIndex)) return kHrOutOfRange;
    if (!m_pReader || FAILED(m_pReader->SetRange(FrameTime(dwIndex), 0))) return kHrSeekFailed;
    ResetVideoWindow();
    if (FAILED(NextVideoSample(0))) return kHrSeekFailed;
    const bool bLast = FAILED(NextVideoSample(1));

    BYTE* pData = nullptr;
    DWORD cbData = 0;
    if (FAILED(m_pVideoSample[0]->GetBufferAndLength(&pData, &cbData)) || cbData == 0 || !pData)
        return kHrFrameNotFound;
    SPlugFrameInfo& info = *pFrameInfo;
    info.dwFrameType = m_Info.Video.dwCodecType == PLUG_VIDEO_CODEC_WINMEDIA ? kFrameTypeDecoded : kFrameTypeKey;
    if (!DeliverPicture(pData, cbData, pBuffer, info)) return kHrFrameNotFound;
    info.dwKind = kStreamKindVideo;
    info.qwPts = Ticks90k(m_cnsVideoTime[0]);
    info.qwDts = info.qwPts;
    m_nVideoPos = FrameNumber(m_cnsVideoTime[0]);
    info.qwFrameNumber = m_nVideoPos;
    info.qwFrameNumber2 = m_nVideoPos;
    info.dwContinuation = bLast ? kLast : kContinues;

    m_pVideoSample[0].Reset();
    m_nVideoSlot = 1;
    ++m_nVideoPos;
    return S_OK;
}

HRESULT CAsfStream::GetNextFrame(BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = m_pFrameBuffer.get();
    return ReadNextFrame(*ppBuffer, pFrameInfo);
}

HRESULT CAsfStream::ReadNextFrame(BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept {
    if (!pFrameInfo) return E_POINTER;
    if (m_nVideoSlot < 0 || !m_pVideoSample[m_nVideoSlot]) return kHrOutOfRange;
    const LONG nCurrent = m_nVideoSlot;
    const LONG nOther = 1 - nCurrent;
    m_pVideoSample[nOther].Reset();
    const bool bLast = NextVideoSample(nOther) != S_OK;
    // Damaged times lose their meaning, and so does every one after them.
    QWORD& cnsNext = m_cnsVideoTime[nOther];
    const QWORD cnsTime = m_cnsVideoTime[nCurrent];
    if (cnsNext < cnsTime || cnsNext - cnsTime > kMaxFrameStep) cnsNext = kNoTime;

    BYTE* pData = nullptr;
    DWORD cbData = 0;
    if (FAILED(m_pVideoSample[nCurrent]->GetBufferAndLength(&pData, &cbData)) || !pData) cbData = 0;
    SPlugFrameInfo& info = *pFrameInfo;
    if (cbData == 0 || !DeliverPicture(pData, cbData, pBuffer, info)) {
        m_pVideoSample[nCurrent].Reset();
        return kHrFrameNotFound;
    }
    if (cnsTime != kNoTime) {
        info.qwPts = Ticks90k(cnsTime);
        m_nVideoPos = FrameNumber(cnsTime);
        info.qwFrameNumber = m_nVideoPos;
    } else {
        info.qwPts = kNoTime;
        info.qwFrameNumber = kNoFrameNumber;
    }
    info.qwDts = info.qwPts;
    info.qwFrameNumber2 = info.qwFrameNumber;
    info.dwFrameType = FrameType(m_dwVideoFlags[nCurrent]);
    info.dwKind = kStreamKindVideo;
    info.dwContinuation = bLast ? kLast : kContinues;

    m_pVideoSample[nCurrent].Reset();
    m_nVideoSlot = nOther;
    return S_OK;
}

DWORD CAsfStream::GetAudio(LONG nFirstSample, DWORD dwCount, BYTE** ppBuffer, DWORD* pcbBytes) noexcept {
    if (!ppBuffer) return 0;
    *ppBuffer = m_pFrameBuffer.get();
    const DWORD dwAlign = m_Info.Audio.dwBlockAlign;
    // The own frame buffer bounds what fits into it.
    if (!m_pFrameBuffer || dwAlign == 0) return 0;
    dwCount = std::min(dwCount, static_cast<DWORD>(std::max<LONG>(m_nFrameBufferSize, 0)) / dwAlign);
    return ReadAudio(nFirstSample, dwCount, *ppBuffer, pcbBytes);
}

DWORD CAsfStream::ReadAudio(LONG nFirstSample, DWORD dwCount, BYTE* pBuffer, DWORD* pcbBytes) noexcept {
    const DWORD dwTotal = m_Info.dwAudioSampleCount;
    const DWORD dwAlign = m_Info.Audio.dwBlockAlign;
    const DWORD dwRate = m_Info.Audio.dwSampleRate;
    if (nFirstSample < 0 || static_cast<DWORD>(nFirstSample) >= dwTotal) return 0;
    if (!m_pReader || !m_pAudioBuffer || !pBuffer || dwAlign == 0 || dwRate == 0) return 0;
    const auto dwFirst = static_cast<DWORD>(nFirstSample);
    // The byte count the host gets back is a 32-bit signed length.
    dwCount = std::min({dwCount, dwTotal - dwFirst, static_cast<DWORD>(INT32_MAX) / dwAlign});
    const size_t cbWant = size_t{dwCount} * dwAlign;
    m_pAudioSample.Reset();

    if (dwFirst != m_nAudioPos || dwFirst == 0) {
        m_nAudioBufferFill = 0;
        m_nAudioBufferOffset = 0;
        m_bAudioEnd = 0;
        if (m_bSeekable) {
            // s x 10^7 / rate, truncated, is the time whose first sample is s
            // on the runtime's audio grid: 44'100 at 44.1 kHz is 10'000'000.
            const QWORD cnsSeek = QWORD{dwFirst} * kTimeUnitsPerSecond / dwRate;
            if (FAILED(m_pReader->SetRange(cnsSeek, 0))) {
                std::memset(pBuffer, 0, cbWant);
                m_nAudioPos += dwCount;
                return dwCount;
            }
        } else if (m_pReader->SetRange(0, 0) == S_OK) {
            // Without seeking, the stream is read from its start; what the
            // last discarding fill leaves over is where the caller's
            // samples begin.
            DiscardAudio(dwFirst);
        }
        m_nAudioPos = dwFirst;
    }

    const size_t cbDone = FillAudio(pBuffer, cbWant);
    if (cbDone < cbWant) std::memset(pBuffer + cbDone, 0, cbWant - cbDone);
    m_nAudioPos += dwCount;
    if (pcbBytes) *pcbBytes = static_cast<DWORD>(cbWant);
    return dwCount;
}

void CAsfStream::DiscardAudio(DWORD dwFrames) noexcept {
    const DWORD dwAlign = m_Info.Audio.dwBlockAlign;
    const DWORD dwChunk = m_pFrameBuffer ? static_cast<DWORD>(std::max<LONG>(m_nFrameBufferSize, 0)) / dwAlign : 0;
    if (dwChunk == 0) return;
    for (DWORD dwLeft = dwFrames; dwLeft > 0;) {
        const DWORD dwFill = std::min(dwLeft, dwChunk);
        if (FillAudio(m_pFrameBuffer.get(), size_t{dwFill} * dwAlign) == 0) return;
        dwLeft -= dwFill;
    }
}

size_t CAsfStream::FillAudio(BYTE* pBuffer, size_t cbWant) noexcept {
    if (cbWant == 0) return 0;
    size_t cbDone = 0;
    if (m_nAudioBufferFill > 0) {
        const size_t cbTake = std::min(static_cast<size_t>(m_nAudioBufferFill), cbWant);
        CopyAudioFrames(pBuffer, m_pAudioBuffer.get() + m_nAudioBufferOffset, cbTake);
        if (cbTake == cbWant) {
            m_nAudioBufferOffset += static_cast<LONG>(cbTake);
            m_nAudioBufferFill -= static_cast<LONG>(cbTake);
            return cbWant;
        }
        cbDone = cbTake;
        m_nAudioBufferFill = 0;
        m_nAudioBufferOffset = 0;
    }
    for (;;) {
        m_pAudioSample.Reset();
        if (m_bAudioEnd) break;
        QWORD cnsTime = 0;
        if (FAILED(NextSample(m_wAudioStream, m_pAudioSample, cnsTime))) {
            m_bAudioEnd = 1;
            break;
        }
        BYTE* pData = nullptr;
        DWORD cbData = 0;
        if (FAILED(m_pAudioSample->GetBufferAndLength(&pData, &cbData)) || (cbData > 0 && !pData)) {
            std::memset(pBuffer + cbDone, 0, cbWant - cbDone);
            break;
        }
        if (cbDone + cbData >= cbWant) {
            const size_t cbNeed = cbWant - cbDone;
            CopyAudioFrames(pBuffer + cbDone, pData, cbNeed);
            KeepAudioTail(pData + cbNeed, cbData - cbNeed);
            cbDone = cbWant;
            break;
        }
        CopyAudioFrames(pBuffer + cbDone, pData, cbData);
        cbDone += cbData;
    }
    if (cbDone == 0) m_bAudioEnd = 1;
    return cbDone;
}

void CAsfStream::KeepAudioTail(const BYTE* pTail, size_t cbTail) noexcept {
    const size_t cbAlign = m_Info.Audio.dwBlockAlign;
    size_t cbKeep = cbTail;
    if (cbKeep > kAudioBufferBytes) {
        // Only a decoded block of more than a megabyte gets here; the
        // samples beyond the carry-over are lost, which is better than
        // writing past it.
        cbKeep = kAudioBufferBytes / cbAlign * cbAlign;
        if (!m_bAudioTailLogged) {
            DebugOutputF(u"CAsfStream:: decoded audio tail of %u bytes exceeds the carry-over of %u bytes\n",
                         static_cast<unsigned>(cbTail), static_cast<unsigned>(kAudioBufferBytes));
            m_bAudioTailLogged = true;
        }
    }
    std::memcpy(m_pAudioBuffer.get(), pTail, cbKeep);
    m_nAudioBufferOffset = 0;
    m_nAudioBufferFill = static_cast<LONG>(cbKeep);
}

void CAsfStream::CopyAudioFrames(BYTE* pDest, const BYTE* pSrc, size_t cb) const noexcept {
    const size_t cbAlign = m_Info.Audio.dwBlockAlign;
    if (m_Info.Audio.dwChannels != 6 || cbAlign < 6) {
        std::memcpy(pDest, pSrc, cb);
        return;
    }
    // 5.1 arrives as FL FR FC LFE BL BR; the host wants the LFE last.
    const size_t cbChannel = cbAlign / 6;
    const size_t cbWhole = cb / cbAlign * cbAlign;
    for (size_t i = 0; i < cbWhole; i += cbAlign) {
        const BYTE* pFrame = pSrc + i;
        BYTE* pOut = pDest + i;
        std::memcpy(pOut, pFrame, 3 * cbChannel);
        std::memcpy(pOut + 3 * cbChannel, pFrame + 4 * cbChannel, 2 * cbChannel);
        std::memcpy(pOut + 5 * cbChannel, pFrame + 3 * cbChannel, cbChannel);
        std::memcpy(pOut + 6 * cbChannel, pFrame + 6 * cbChannel, cbAlign - 6 * cbChannel);
    }
    std::memcpy(pDest + cbWhole, pSrc + cbWhole, cb - cbWhole);
}

QWORD CAsfStream::AacFrameTime(LONG nIndex) const noexcept {
    const QWORD qwRate = m_Info.Audio.dwSampleRate;
    if (qwRate == 0) return 0;
    return QWORD{m_Info.Audio.dwSamplesPerFrame} * static_cast<QWORD>(static_cast<int64_t>(nIndex)) *
           kTimeUnitsPerSecond / qwRate;
}

QWORD CAsfStream::AacFrameNumber(QWORD cnsTime) const noexcept {
    const QWORD qwSamplesPerFrame = m_Info.Audio.dwSamplesPerFrame;
    if (qwSamplesPerFrame == 0) return 0;
    return QWORD{m_Info.Audio.dwSampleRate} * cnsTime / qwSamplesPerFrame / kTimeUnitsPerSecond;
}

HRESULT CAsfStream::NextAudioFrame(LONG nSlot) noexcept {
    return NextSample(m_wAudioStream, m_pAudioFrame[nSlot], m_cnsAudioFrameTime[nSlot],
                      &m_cnsAudioFrameDuration[nSlot]);
}

void CAsfStream::DeliverAacFrame(const BYTE* pData, DWORD cbData, SPlugFrameInfo& info) noexcept {
    const size_t cbHeader = AdtsHeaderBytes(pData, cbData);
    const size_t cbFrame = std::min(cbData - cbHeader, kAudioBufferBytes);
    std::memcpy(m_pAudioBuffer.get(), pData + cbHeader, cbFrame);
    info.nDataLength = static_cast<int32_t>(cbFrame);
    info.dwSampleCount = 1;
}

HRESULT CAsfStream::ReadAudioFrame(LONG nIndex, DWORD /*dwCount*/, BYTE** ppBuffer,
                                   SPlugFrameInfo* pFrameInfo) noexcept {
    if (!ppBuffer || !pFrameInfo) return E_POINTER;
    SPlugFrameInfo& info = *pFrameInfo;
    StartAacInfo(info);
    if (!m_pReader || !m_pAudioBuffer || m_Info.Audio.dwSampleRate == 0) return kHrOutOfRange;
    const QWORD cnsTarget = AacFrameTime(nIndex);
    if (FAILED(m_pReader->SetRange(cnsTarget, 0))) return kHrOutOfRange;
    m_pAudioFrame[0].Reset();
    m_pAudioFrame[1].Reset();
    if (FAILED(NextAudioFrame(0))) return kHrOutOfRange;
    if (cnsTarget > m_cnsAudioFrameTime[0]) {
        for (QWORD k = AacFrameNumber(cnsTarget - m_cnsAudioFrameTime[0]); k > 0; --k)
            if (FAILED(NextAudioFrame(0))) return kHrOutOfRange;
    }
    const bool bLast = FAILED(NextAudioFrame(1));

    BYTE* pData = nullptr;
    DWORD cbData = 0;
    const HRESULT hr = m_pAudioFrame[0]->GetBufferAndLength(&pData, &cbData);
    info.dwContinuation = kContinues;
    *ppBuffer = m_pAudioBuffer.get();
    if (SUCCEEDED(hr) && cbData != 0 && pData) {
        DeliverAacFrame(pData, cbData, info);
        info.qwFrameNumber = static_cast<DWORD>(nIndex);
        info.qwFrameNumber2 = info.qwFrameNumber;
        info.qwPts = Ticks90k(m_cnsAudioFrameTime[0]);
        info.qwDts = info.qwPts;
        m_cnsLastAudioFrameTime = m_cnsAudioFrameTime[0];
        if (bLast) info.dwContinuation = kLast;
    }
    m_pAudioFrame[0].Reset();
    m_nAudioPos = static_cast<DWORD>(nIndex) + 1;
    m_nAudioFrameSlot = 1;
    return hr;
}

HRESULT CAsfStream::ReadNextAudioFrame(DWORD /*dwCount*/, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept {
    if (!ppBuffer || !pFrameInfo) return E_POINTER;
    SPlugFrameInfo& info = *pFrameInfo;
    StartAacInfo(info);
    if (!m_pReader || !m_pAudioBuffer) return kHrOutOfRange;
    const LONG nCurrent = m_nAudioFrameSlot == 1 ? 1 : 0;
    const LONG nOther = 1 - nCurrent;
    const bool bLast = FAILED(NextAudioFrame(nOther));
    if (!m_pAudioFrame[nCurrent]) return kHrOutOfRange;

    BYTE* pData = nullptr;
    DWORD cbData = 0;
    const HRESULT hr = m_pAudioFrame[nCurrent]->GetBufferAndLength(&pData, &cbData);
    info.dwContinuation = kContinues;
    *ppBuffer = m_pAudioBuffer.get();
    if (SUCCEEDED(hr) && cbData != 0 && pData) {
        DeliverAacFrame(pData, cbData, info);
        const QWORD cnsTime = m_cnsAudioFrameTime[nCurrent];
        // A frame sharing its time with the one before has no place of its own.
        if (cnsTime == m_cnsLastAudioFrameTime) {
            info.qwPts = kNoTime;
            info.qwFrameNumber = kNoFrameNumber;
        } else {
            info.qwPts = Ticks90k(cnsTime);
            info.qwFrameNumber = AacFrameNumber(cnsTime);
        }
        info.qwDts = info.qwPts;
        info.qwFrameNumber2 = info.qwFrameNumber;
        m_cnsLastAudioFrameTime = cnsTime;
        if (bLast) info.dwContinuation = kLast;
    }
    m_pAudioFrame[nCurrent].Reset();
    ++m_nAudioPos;
    m_nAudioFrameSlot = nOther;
    return hr;
}
