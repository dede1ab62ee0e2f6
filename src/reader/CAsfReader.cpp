#include "reader/CAsfReader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "plugin/Diagnostics.h"
#include "plugin/MediaRecords.h"
#include "plugin/PlugStatus.h"
#include "reader/ExtraData.h"
#include "reader/ReaderStatus.h"

namespace {

// The host's format code for a file this reader describes.
constexpr uint32_t kAsfFormatCode = 25;

constexpr uint32_t kStreamKindVideo = 1;
constexpr uint32_t kStreamKindAudio = 2;
constexpr uint32_t kContinues = 1;
constexpr uint32_t kLast = 2;
constexpr uint32_t kFrameTypeDecoded = 5;

// One second of audio at 48 kHz: the most one GetAudio delivers, and the
// sample frames the handle's audio buffer holds.
constexpr DWORD kMaxAudioRead = 48000;
// The last decoded audio block is kept when it fits here, for a host that
// asks again for what it just read.
constexpr size_t kPcmCacheBytes = 960000;
// Ring buffers grow in whole pages.
constexpr int64_t kRingGrain = 4096;

// Words 2 to 9 mean nothing to the reader; the host gets back what it set.
constexpr SPlugReadOptions kDefaultOptions = {{1, 1, 0, 0x100000, 0x20000080, 0, 0, 0, 0, 0}};

std::unique_ptr<BYTE[]> AllocateBuffer(size_t cb) noexcept {
    return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[cb]);
}

// The host's file names are fixed arrays; one without a terminator is not a
// name the data source could open.
bool CopyFileName(WCHAR (&dest)[MAX_PATH], const WCHAR (&src)[MAX_PATH]) noexcept {
    const WCHAR* pEnd = std::find(std::begin(src), std::end(src), u'\0');
    if (pEnd == std::end(src)) return false;
    std::copy(std::begin(src), pEnd + 1, dest);
    return true;
}

// Continuation of an audio block that ends at sample dwEnd of dwTotal.
uint32_t AudioContinuation(uint64_t qwEnd, DWORD dwTotal) noexcept {
    // The host's rule: the block that reaches the second-to-last sample is
    // already the last one; a total of 0 never ends.
    return qwEnd < static_cast<DWORD>(dwTotal - 1) ? kContinues : kLast;
}

// An empty remembered frame: no data, no frame number, no time.
void InitRingInfo(SPlugFrameInfo& info) noexcept {
    info = SPlugFrameInfo{};
    info.dwSize = sizeof(SPlugFrameInfo);
    info.dwSampleCount = 1;
    info.dwFrameType = 1;
    info.qwFrameNumber = 0xFFFFFFFF;
    info.qwFrameNumber2 = 0xFFFFFFFF;
    info.qwPts = ~uint64_t{0};
    info.qwDts = ~uint64_t{0};
    info.qwHostTime56 = ~uint64_t{0};
}

size_t NextNode(size_t i, size_t n) noexcept {
    return (i + 1) % n;
}

}  // namespace

std::unique_ptr<CAsfReader> CAsfReader::Create(StreamFactory factory) noexcept try {
    if (!factory) factory = [] { return CAsfStream::Create(); };
    return std::unique_ptr<CAsfReader>(new (std::nothrow) CAsfReader(std::move(factory)));
} catch (const std::bad_alloc&) {
    return nullptr;
}

CAsfReader::CAsfReader(StreamFactory factory) noexcept
    : m_CreateStream(std::move(factory)), m_Options(kDefaultOptions) {
    InitMediaInfo(m_Info);
    InitStreamDesc(m_VideoDesc);
    InitStreamDesc(m_AudioDesc);
}

CAsfReader::~CAsfReader() {
    CloseFile();
}

HRESULT CAsfReader::Open(const SPlugSourceList& sources, DWORD dwMode,
                         const SPlugSourceList* pSecondSources) noexcept {
    m_dwState = 1;
    m_dwMode = dwMode;
    m_nProgramCount = 1;
    m_nProgram = 0;
    m_nVideoStreamCount = m_nVideoStream = 0;
    m_nAudioStreamCount = m_nAudioStream = 0;

    if (sources.dwCount != 1) return MakeHr(PLUG_E_NOT_SUPPORTED);
    if (!sources.pItems) return MakeHr(PLUG_E_NULL_ARGUMENT);
    if (sources.pItems->dwKind != 0 || !CopyFileName(m_szFileName, sources.pItems->szFileName))
        return MakeHr(PLUG_E_NOT_SUPPORTED);
    // Only the first item of the second list counts, whatever its count says.
    if (pSecondSources && pSecondSources->pItems && pSecondSources->pItems->dwKind == 0 &&
        !CopyFileName(m_szSecondName, pSecondSources->pItems->szFileName))
        return MakeHr(PLUG_E_NOT_SUPPORTED);

    CloseFile();
    HRESULT hr = OpenStream(m_pVideoStream, &m_VideoDesc.ExtraData);
    if (hr != S_OK) return hr;

    m_dwState = m_pVideoStream->IsSeekable();
    m_dwVideoPos = 0;
    m_dwAudioPos = 0;
    m_nProgramCount = 1;
    m_nVideoStreamCount = m_nVideoStream = 0;
    m_nAudioStreamCount = m_nAudioStream = 0;

    if (m_Info.dwVideoPresent) {
        m_nVideoStreamCount = 1;
        DescribeVideo();
        if (m_Options.dwWords[0]) {
            m_pFrameBuffer = AllocateBuffer(m_dwFrameBufferSize);
            if (!m_pFrameBuffer) return E_OUTOFMEMORY;
        } else {
            DropVideoStream();
        }
    }
    if (m_Info.dwAudioPresent) {
        m_nAudioStreamCount = 1;
        hr = DescribeAudio();
        if (hr != S_OK) return hr;
    }
    if ((m_nVideoStreamCount > 0 && m_VideoDesc.dwVideoFrameCount > 0) ||
        (m_nAudioStreamCount > 0 && m_AudioDesc.dwAudioFrameCount > 0))
        m_dwState = 1;
    return S_OK;
}

HRESULT CAsfReader::OpenStream(std::unique_ptr<CAsfStream>& pStream, SPlugExtraData* pExtra) noexcept {
    pStream = m_CreateStream();
    if (!pStream) return E_OUTOFMEMORY;
    return pStream->GetStreamInfo(m_szFileName, /*dwReserved=*/0,
                                  m_szSecondName[0] ? m_szSecondName : nullptr, &m_Info, pExtra);
}

void CAsfReader::DescribeVideo() noexcept {
    m_VideoDesc.dwStreamKind = kStreamKindVideo;
    m_VideoDesc.dwStreamNumber = 0;
    m_VideoDesc.dwVideoFrameCount = m_Info.dwVideoFrameCount;
    CopyVideoStreamInfo(m_VideoDesc.Video, m_Info.Video);
    m_VideoDesc.qwFileSize = m_Info.qwFileSize;
    m_VideoDesc.dwFormatCode = kAsfFormatCode;
    // The host sizes its own frame buffers from this word: 32 bits, as the
    // open refuses pictures whose frames would not fit them.
    m_dwFrameBufferSize = m_Info.Video.dwWidth * m_Info.Video.dwHeight * 4;
}

HRESULT CAsfReader::DescribeAudio() noexcept {
    m_AudioDesc.dwStreamKind = kStreamKindAudio;
    // Audio follows the video stream when there is one.
    m_AudioDesc.dwStreamNumber = static_cast<uint32_t>(m_nVideoStreamCount);
    m_AudioDesc.dwAudioFrameCount = m_Info.dwAudioSampleCount;
    m_AudioDesc.ExtraData.dwKind = 0;
    m_AudioDesc.Audio = m_Info.Audio;
    m_AudioDesc.dwSamplesPerFrame = m_Info.Audio.dwSamplesPerFrame;
    m_AudioDesc.qwFileSize = m_Info.qwFileSize;
    m_AudioDesc.dwFormatCode = kAsfFormatCode;
    // Compressed audio is counted in frames, not samples.
    if (m_Info.Audio.dwSamplesPerFrame > 1) m_AudioDesc.dwAudioFrameCount /= m_Info.Audio.dwSamplesPerFrame;

    m_pAudioBuffer = AllocateBuffer(size_t{m_Info.Audio.dwBlockAlign} * kMaxAudioRead);
    if (!m_pAudioBuffer) return E_OUTOFMEMORY;
    if (m_pVideoStream) {
        m_bAudioSharesVideo = true;
    } else {
        const HRESULT hr = OpenStream(m_pAudioStream, /*pExtra=*/nullptr);
        if (hr != S_OK) return hr;
    }
    m_pPcmCache = AllocateBuffer(kPcmCacheBytes);
    if (!m_pPcmCache) return E_OUTOFMEMORY;
    m_dwCacheFirst = 0;
    m_dwCacheCount = 0;
    ResetRing();
    return m_pRing ? S_OK : E_OUTOFMEMORY;
}

void CAsfReader::ResetRing() noexcept {
    m_pRing.reset(new (std::nothrow) std::array<SAacNode, kRingNodes>());
    m_nRingWrite = 0;
    m_nRingOldest = 0;
    if (!m_pRing) return;
    for (SAacNode& node : *m_pRing) {
        InitRingInfo(node.Info);
        node.nCapacity = 0;
        node.nFrameIndex = 0;
    }
}

HRESULT CAsfReader::CloseFile() noexcept {
    DropAudioStream();
    DropVideoStream();
    m_pFrameBuffer.reset();
    m_pAudioBuffer.reset();
    m_pPcmCache.reset();
    m_pRing.reset();
    m_nRingWrite = 0;
    m_nRingOldest = 0;
    FreeExtraData(m_VideoDesc.ExtraData);
    m_VideoDesc.ExtraData.dwKind = 0;
    return S_OK;
}

void CAsfReader::DropVideoStream() noexcept {
    if (!m_pVideoStream) return;
    if (m_bAudioSharesVideo) {
        // The audio reads go on through the same object, now audio's own.
        m_pAudioStream = std::move(m_pVideoStream);
        m_bAudioSharesVideo = false;
        return;
    }
    m_pVideoStream->Close();
    m_pVideoStream.reset();
}

void CAsfReader::DropAudioStream() noexcept {
    if (m_bAudioSharesVideo) {
        m_bAudioSharesVideo = false;
        return;
    }
    if (!m_pAudioStream) return;
    m_pAudioStream->Close();
    m_pAudioStream.reset();
}

CAsfStream* CAsfReader::VideoStream() const noexcept {
    // An object whose open failed before the frame buffer was made has
    // nowhere to deliver to.
    return m_pFrameBuffer ? m_pVideoStream.get() : nullptr;
}

CAsfStream* CAsfReader::AudioStream() const noexcept {
    return m_bAudioSharesVideo ? m_pVideoStream.get() : m_pAudioStream.get();
}

HRESULT CAsfReader::GetVideoStreamDesc(LONG nProgram, LONG nStream, SPlugStreamDesc* pDesc) const noexcept {
    if (nProgram >= m_nProgramCount || nStream >= m_nVideoStreamCount) return MakeHr(PLUG_E_OUT_OF_RANGE);
    if (pDesc) CopyStreamDesc(*pDesc, m_VideoDesc);
    return S_OK;
}

HRESULT CAsfReader::GetAudioStreamDesc(LONG nProgram, LONG nStream, SPlugStreamDesc* pDesc) const noexcept {
    if (nProgram >= m_nProgramCount || nStream >= m_nAudioStreamCount) return MakeHr(PLUG_E_OUT_OF_RANGE);
    if (pDesc) CopyStreamDesc(*pDesc, m_AudioDesc);
    return S_OK;
}

HRESULT CAsfReader::SelectStreams(LONG nProgram, LONG nVideoStream, LONG nAudioStream) noexcept {
    if (nProgram >= m_nProgramCount || nVideoStream >= m_nVideoStreamCount ||
        nAudioStream >= m_nAudioStreamCount)
        return MakeHr(PLUG_E_OUT_OF_RANGE);
    m_nProgram = nProgram;
    m_nVideoStream = nVideoStream;
    m_nAudioStream = nAudioStream;
    return S_OK;
}

HRESULT CAsfReader::SetRange(DWORD& dwStart, DWORD& dwEnd, DWORD dwKind) noexcept {
    if (dwKind > 1) return MakeHr(PLUG_E_OUT_OF_RANGE);
    if (dwKind == 0 && m_Info.dwVideoPresent) {
        dwEnd = std::min(dwEnd, m_Info.dwVideoFrameCount);
        if (dwStart >= dwEnd) dwStart = 0;
        m_dwVideoPos = dwStart;
        m_Info.dwVideoFrameCount = dwEnd;
        return S_OK;
    }
    // Without video, a frame range means the audio.
    if (m_Info.dwAudioPresent) {
        dwEnd = std::min(dwEnd, m_Info.dwAudioSampleCount);
        if (dwStart >= dwEnd) dwStart = 0;
        m_Info.dwAudioSampleCount = dwEnd;
        m_dwAudioPos = dwStart;
    }
    return S_OK;
}

HRESULT CAsfReader::SetOptions(const SPlugReadOptions& options) noexcept {
    m_Options = options;
    if (m_Options.dwWords[0]) {
        if (!m_pVideoStream) {
            const HRESULT hr = OpenStream(m_pVideoStream, &m_VideoDesc.ExtraData);
            if (hr != S_OK) return hr;
        }
        if (!m_pFrameBuffer) {
            m_pFrameBuffer = AllocateBuffer(m_dwFrameBufferSize);
            if (!m_pFrameBuffer) return E_OUTOFMEMORY;
        }
    } else {
        DropVideoStream();
    }
    if (m_Options.dwWords[1]) {
        if (!AudioStream()) {
            const HRESULT hr = OpenStream(m_pAudioStream, /*pExtra=*/nullptr);
            if (hr != S_OK) return hr;
        }
        if (!m_pAudioBuffer) {
            m_pAudioBuffer = AllocateBuffer(size_t{m_Info.Audio.dwBlockAlign} * kMaxAudioRead);
            if (!m_pAudioBuffer) return E_OUTOFMEMORY;
        }
    } else {
        DropAudioStream();
        m_pAudioBuffer.reset();
    }
    return S_OK;
}

HRESULT CAsfReader::ReadFrame(DWORD dwIndex, SPlugFrameInfo& info) noexcept {
    info.nDataLength = 0;
    m_dwVideoPos = dwIndex;
    CAsfStream* pStream = VideoStream();
    if (!pStream) return MakeHr(PLUG_E_NO_VIDEO_STREAM);
    return pStream->ReadFrame(dwIndex, m_pFrameBuffer.get(), &info);
}

HRESULT CAsfReader::GetFrame(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept {
    info.nDataLength = 0;
    *ppBuffer = m_pFrameBuffer.get();
    return ReadFrame(dwIndex, info);
}

HRESULT CAsfReader::SeekFrame(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept {
    info.nDataLength = 0;
    CAsfStream* pStream = VideoStream();
    if (!pStream) return MakeHr(PLUG_E_NO_VIDEO_STREAM);
    *ppBuffer = m_pFrameBuffer.get();
    if (pStream->IsSeekable()) return pStream->ReadFrameBySeek(dwIndex, m_pFrameBuffer.get(), &info);

    // A file that cannot seek by time is read from its start up to the frame.
    HRESULT hr = pStream->ReadFrameBySeek(0, m_pFrameBuffer.get(), &info);
    while (SUCCEEDED(hr) && info.dwContinuation != kLast && dwIndex > info.qwFrameNumber)
        hr = pStream->GetNextFrame(ppBuffer, &info);
    return hr;
}

HRESULT CAsfReader::ProbeFrame(DWORD dwIndex, SPlugFrameInfo& info) noexcept {
    if (dwIndex >= m_Info.dwVideoFrameCount) return MakeHr(PLUG_E_OUT_OF_RANGE);
    info.nDataLength = 0;
    CAsfStream* pStream = VideoStream();
    if (!pStream) return MakeHr(PLUG_E_NO_VIDEO_STREAM);
    return pStream->ReadFrameBySeek(dwIndex, /*pBuffer=*/nullptr, &info);
}

HRESULT CAsfReader::GetNextFrame(BYTE** ppBuffer, SPlugFrameInfo& info) noexcept {
    info.nDataLength = 0;
    CAsfStream* pStream = VideoStream();
    if (!pStream) return MakeHr(PLUG_E_NO_VIDEO_STREAM);
    *ppBuffer = m_pFrameBuffer.get();
    return pStream->GetNextFrame(ppBuffer, &info);
}

HRESULT CAsfReader::PeekNextFrame(SPlugFrameInfo& info) noexcept {
    const DWORD dwPos = m_dwVideoPos;
    BYTE* pBuffer = nullptr;
    const HRESULT hr = GetFrame(dwPos + 1, &pBuffer, info);
    // The host's numbering of a peeked frame runs one ahead of the frame read.
    info.qwFrameNumber = uint64_t{dwPos} + 2;
    info.qwFrameNumber2 = info.qwFrameNumber;
    m_dwVideoPos = dwPos;
    return hr;
}

HRESULT CAsfReader::PeekFrame(DWORD dwIndex, SPlugFrameInfo& info) noexcept {
    BYTE* pBuffer = nullptr;
    GetFrame(dwIndex + 1, &pBuffer, info);
    // The host takes this answer as a hint only; a failed read is not its
    // concern.
    info.qwFrameNumber = uint64_t{dwIndex} + 5;
    info.qwFrameNumber2 = info.qwFrameNumber;
    return S_OK;
}

HRESULT CAsfReader::GetNextSample(DWORD* pdwStream, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept {
    *pdwStream = 0;
    const bool bVideo = m_nVideoStreamCount > 0;
    const bool bAudio = m_nAudioStreamCount > 0;
    if (bVideo && bAudio) {
        const uint64_t qwNum = m_VideoDesc.Video.dwFrameRateNum;
        const uint64_t qwDen = m_VideoDesc.Video.dwFrameRateDen;
        const uint64_t qwRate = m_AudioDesc.Audio.dwSampleRate;
        if (qwNum == 0 || qwRate == 0) return MakeHr(PLUG_E_OUT_OF_RANGE);
        const uint64_t msVideo = qwDen * m_dwVideoPos * 1000 / qwNum;
        const uint64_t msAudio = uint64_t{m_dwAudioPos} * 1000 / qwRate;
        if (msVideo > msAudio) {
            *pdwStream = 1;
            return GetAudio(m_dwAudioPos, kMaxAudioRead, ppBuffer, info);
        }
    } else if (bAudio) {
        return GetAudio(m_dwAudioPos, kMaxAudioRead, ppBuffer, info);
    } else if (!bVideo) {
        return S_OK;
    }
    const HRESULT hr = GetFrame(m_dwVideoPos, ppBuffer, info);
    ++m_dwVideoPos;
    return hr;
}

HRESULT CAsfReader::ReadAudio(DWORD dwFirst, DWORD dwCount, BYTE* pBuffer, SPlugFrameInfo& info) noexcept {
    info.nDataLength = 0;
    CAsfStream* pStream = AudioStream();
    if (!pStream) return MakeHr(PLUG_E_NO_AUDIO_STREAM);
    DWORD cbRead = 0;
    const DWORD dwRead = pStream->ReadAudio(static_cast<LONG>(dwFirst), dwCount, pBuffer, &cbRead);
    info.nDataLength = static_cast<int32_t>(cbRead);
    if (cbRead == 0) {
        DebugOutput(u"IWMSyncReader::GetNextSample() Failed\n");
        return MakeHr(PLUG_E_NO_SAMPLE);
    }
    m_dwAudioPos = dwFirst + dwRead;
    info.dwKind = kStreamKindAudio;
    info.dwFrameType = kFrameTypeDecoded;
    info.dwSampleCount = dwRead;
    info.dwContinuation = AudioContinuation(m_dwAudioPos, m_Info.dwAudioSampleCount);
    return S_OK;
}

HRESULT CAsfReader::GetAudio(DWORD dwFirst, DWORD dwCount, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept {
    if (m_Info.Audio.dwAudioType == PLUG_AUDIO_TYPE_AAC) return GetAacFrame(dwFirst, ppBuffer, info);
    return GetPcmAudio(dwFirst, dwCount, ppBuffer, info);
}

HRESULT CAsfReader::GetPcmAudio(DWORD dwFirst, DWORD dwCount, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept {
    dwCount = std::min(dwCount, kMaxAudioRead);
    *ppBuffer = m_pAudioBuffer.get();
    const DWORD dwAlign = m_Info.Audio.dwBlockAlign;
    const DWORD dwTotal = m_Info.dwAudioSampleCount;
    const uint64_t qwEnd = uint64_t{dwFirst} + dwCount;

    if (m_pPcmCache && m_dwCacheFirst <= dwFirst && qwEnd <= uint64_t{m_dwCacheFirst} + m_dwCacheCount) {
        *ppBuffer = m_pPcmCache.get() + size_t{dwFirst - m_dwCacheFirst} * dwAlign;
        info.dwKind = kStreamKindAudio;
        info.nDataLength = static_cast<int32_t>(dwCount * dwAlign);
        info.dwSampleCount = dwCount;
        info.dwFrameType = kFrameTypeDecoded;
        info.dwContinuation = AudioContinuation(qwEnd, dwTotal);
        return S_OK;
    }
    if (!m_pAudioBuffer) return MakeHr(PLUG_E_NO_AUDIO_STREAM);

    const HRESULT hr = ReadAudio(dwFirst, dwCount, m_pAudioBuffer.get(), info);
    if (SUCCEEDED(hr)) {
        const auto cb = static_cast<size_t>(info.nDataLength);
        if (m_pPcmCache && dwAlign > 0 && cb <= kPcmCacheBytes) {
            std::memcpy(m_pPcmCache.get(), m_pAudioBuffer.get(), cb);
            m_dwCacheFirst = dwFirst;
            m_dwCacheCount = std::min<DWORD>(info.dwSampleCount, static_cast<DWORD>(cb / dwAlign));
        }
        return S_OK;
    }
    if (dwFirst >= dwTotal) return hr;
    // Inside the stream a failed read still gives the host its block: the
    // stream object has left silence where it found nothing.
    const DWORD dwSamples = std::min(dwCount, dwTotal - dwFirst);
    info.dwKind = kStreamKindAudio;
    info.dwFrameType = kFrameTypeDecoded;
    info.dwSampleCount = dwSamples;
    info.nDataLength = static_cast<int32_t>(dwSamples * dwAlign);
    info.dwContinuation = AudioContinuation(uint64_t{dwFirst} + dwSamples, dwTotal);
    return S_OK;
}

HRESULT CAsfReader::GetAacFrame(DWORD dwFirst, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept {
    CAsfStream* pStream = AudioStream();
    if (!pStream || !m_pRing) return MakeHr(PLUG_E_NO_AUDIO_STREAM);
    auto& ring = *m_pRing;
    for (size_t i = m_nRingOldest; i != m_nRingWrite; i = NextNode(i, kRingNodes)) {
        if (ring[i].nFrameIndex == static_cast<LONG>(dwFirst)) {
            *ppBuffer = ring[i].pData.get();
            info = ring[i].Info;
            return S_OK;
        }
    }

    HRESULT hr = S_OK;
    if (dwFirst != 0 && dwFirst == m_dwAudioPos) {
        hr = pStream->ReadNextAudioFrame(/*dwCount=*/1, ppBuffer, &info);
    } else {
        hr = pStream->ReadAudioFrame(static_cast<LONG>(dwFirst), /*dwCount=*/1, ppBuffer, &info);
        // The frames remembered so far no longer lead up to this one.
        m_nRingWrite = m_nRingOldest;
    }
    m_dwAudioPos = dwFirst + 1;
    // A failed read is remembered too, so that asking again costs nothing.
    RememberAacFrame(dwFirst, *ppBuffer, info);
    return hr;
}

void CAsfReader::RememberAacFrame(DWORD dwFirst, const BYTE* pData, const SPlugFrameInfo& info) noexcept {
    SAacNode& node = (*m_pRing)[m_nRingWrite];
    const int64_t cb = std::max(info.nDataLength, 0);
    if (cb > 0 && !pData) return;
    node.Info = info;
    if (node.nCapacity < cb) {
        node.pData.reset();
        node.nCapacity = 0;
        const int64_t cbCapacity = (cb / kRingGrain + 1) * kRingGrain;
        if (cbCapacity > INT32_MAX) return;
        node.pData = AllocateBuffer(static_cast<size_t>(cbCapacity));
        if (!node.pData) return;
        node.nCapacity = static_cast<LONG>(cbCapacity);
    }
    if (cb > 0) std::memcpy(node.pData.get(), pData, static_cast<size_t>(cb));
    node.nFrameIndex = static_cast<LONG>(dwFirst);
    m_nRingWrite = NextNode(m_nRingWrite, kRingNodes);
    // The ring keeps one node free: a full ring drops its oldest frame.
    if (m_nRingWrite == m_nRingOldest) m_nRingOldest = NextNode(m_nRingOldest, kRingNodes);
}
