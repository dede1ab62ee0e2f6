#include "writer/MuxerForWinMedia.h"

#include <algorithm>
#include <array>
#include <new>

#include "plugin/Diagnostics.h"
#include "plugin/MediaRecords.h"
#include "plugin/PlugStatus.h"
#include "vrx/VRXHost.h"

namespace {

constexpr uint32_t kOpenAppend = 1;
constexpr uint32_t kOpenReadWhileWriting = 2;

constexpr uint32_t kStreamKindVideo = 1;
constexpr uint32_t kStreamKindAudio = 2;
constexpr uint32_t kSourceKindFile = 0;

constexpr uint32_t kEsPidVideo = 0;
constexpr uint32_t kEsPidAudio = 1;
constexpr uint32_t kContinuationLast = 2;

// The encoder's stream kinds.
constexpr uint32_t kEncoderVideo = 0;
constexpr uint32_t kEncoderAudio = 1;

// Bytes per sample frame of a file without audio: the record's default
// 16-bit stereo.
constexpr uint32_t kDefaultFrameBytes = 4;

// Path buffers of the host: 259 characters and the terminator.
constexpr size_t kPathChars = 260;

}  // namespace

std::unique_ptr<MuxerForWinMedia> MuxerForWinMedia::Create() noexcept {
    return std::unique_ptr<MuxerForWinMedia>(new (std::nothrow) MuxerForWinMedia());
}

MuxerForWinMedia::~MuxerForWinMedia() {
    Close();
}

uint32_t MuxerForWinMedia::Close() noexcept {
    m_bEncoderStarted = false;
    if (!m_pEncoder) return PLUG_S_OK;
    const uint32_t dwStatus = m_pEncoder->FinishCompress();
    m_pEncoder.reset();
    return dwStatus;
}

uint32_t MuxerForWinMedia::Open(const SPlugSourceList* pTarget, const SPlugMuxParam* pParams) noexcept try {
    Close();
    // Until a file is open the handle answers as one without audio.
    m_clocks.Start(0, 0, 0);
    m_dwFrameBytes = kDefaultFrameBytes;
    m_Silence.clear();

    if (!pParams) return PLUG_E_NULL_ARGUMENT;
    if (pParams->dwOpenMode == kOpenReadWhileWriting) {
        DebugOutput(u"MuxerForWinMedia--Not support READ_WHILE_MODE\n");
        return PLUG_E_NOT_SUPPORTED;
    }
    if (pParams->dwOpenMode == kOpenAppend) {
        DebugOutput(u"MuxerForWinMedia--Not support APPEND MODE\n");
        return PLUG_E_NOT_SUPPORTED;
    }

    if (pParams->nStreamCount > 0 && !pParams->pStreams) return PLUG_E_NULL_ARGUMENT;
    const SPlugStreamDesc* pVideo = nullptr;
    const SPlugStreamDesc* pAudio = nullptr;
    for (int32_t i = 0; i < pParams->nStreamCount && !(pVideo && pAudio); ++i) {
        const SPlugStreamDesc& desc = pParams->pStreams[i];
        if (desc.dwStreamKind == kStreamKindVideo && !pVideo) pVideo = &desc;
        if (desc.dwStreamKind == kStreamKindAudio && !pAudio) pAudio = &desc;
    }

    if (!pTarget) return PLUG_E_NULL_ARGUMENT;
    if (pTarget->dwCount != 1) return PLUG_E_NOT_SUPPORTED;
    if (!pTarget->pItems) return PLUG_E_NULL_ARGUMENT;
    const SPlugSourceItem& item = pTarget->pItems[0];
    if (item.dwKind != kSourceKindFile) return PLUG_E_NOT_SUPPORTED;

    // The clocks divide by these; refuse them before anything is created.
    if (pVideo && (pVideo->Video.dwFrameRateNum == 0 || pVideo->Video.dwFrameRateDen == 0)) {
        return PLUG_E_OUT_OF_RANGE;
    }
    const uint32_t dwFrameBytes =
        pAudio ? (pAudio->Audio.dwChannels * pAudio->Audio.dwBitsPerSample) >> 3 : kDefaultFrameBytes;
    if (pAudio && (pAudio->Audio.dwSampleRate == 0 || dwFrameBytes == 0)) return PLUG_E_OUT_OF_RANGE;

    // The host's name need not be terminated within its field.
    std::array<WCHAR, kPathChars> szName{};
    std::copy_n(item.szFileName, kPathChars - 1, szName.begin());
    std::array<WCHAR, kPathChars> szLocal{};
    ConvertUNC2LocalPathName(szName.data(), szLocal.data());
    szLocal.back() = 0;
    m_strFileName.assign(szLocal.data());

    m_pEncoder.reset(CWMVEncoder::Create(m_strFileName.c_str()));
    if (!m_pEncoder) return static_cast<uint32_t>(E_OUTOFMEMORY);

    SPlugMediaInfo record;
    InitMediaInfo(record);
    record.dwFormatCode = pParams->dwHostWord4;
    record.dwHostWord4 = pParams->dwHostWord8;
    if (pVideo) {
        record.dwVideoPresent = 1;
        CopyVideoStreamInfo(record.Video, pVideo->Video);
    }
    if (pAudio) {
        record.dwAudioPresent = 1;
        record.Audio = pAudio->Audio;
    }
    m_clocks.Start(pVideo ? pVideo->Video.dwFrameRateNum : 0, pVideo ? pVideo->Video.dwFrameRateDen : 0,
                   pAudio ? pAudio->Audio.dwSampleRate : 0);
    m_dwFrameBytes = dwFrameBytes;

    const uint32_t dwStatus = m_pEncoder->InitCompress(record);
    m_bEncoderStarted = dwStatus == PLUG_S_OK;
    return dwStatus;
} catch (const std::bad_alloc&) {
    return static_cast<uint32_t>(E_OUTOFMEMORY);
}

uint32_t MuxerForWinMedia::IsAudioBehind() const noexcept {
    return m_clocks.IsAudioBehind() ? 1 : 0;
}

uint32_t MuxerForWinMedia::PutStreamData(uint32_t dwEsPid, const uint8_t* pData,
                                         const SPlugFrameInfo* pInfo) noexcept {
    if (!m_pEncoder) return PLUG_E_NO_HANDLE;
    if (dwEsPid != kEsPidVideo && dwEsPid != kEsPidAudio) return PLUG_S_OK;
    if (!pData || !pInfo) return PLUG_E_NULL_ARGUMENT;
    const bool bLast = pInfo->dwContinuation == kContinuationLast;

    m_dwLastFailure = PLUG_S_OK;
    if (dwEsPid == kEsPidVideo) {
        PutVideo(pData, bLast);
    } else {
        // A negative length would read far beyond the host's block.
        if (pInfo->nDataLength < 0) return PLUG_E_OUT_OF_RANGE;
        if (m_clocks.DropsAudio()) return PLUG_S_OK;
        PutAudio(pData, pInfo->nDataLength, bLast);
    }
    if (m_dwLastFailure == PLUG_S_OK) return PLUG_S_OK;
    DebugOutputF(u"MuxerForWinMedia::PutStreamData() Failed( wmv sdk code:%x), iEsPid:%d\n", m_dwLastFailure,
                 dwEsPid);
    // A host tells a stalled output from a broken encoder by this code.
    return m_dwLastFailure == PLUG_E_DRIVE_OR_TIMEOUT ? PLUG_E_DRIVE_OR_TIMEOUT : PLUG_E_WRITE_FAILED;
}

void MuxerForWinMedia::PutVideo(const uint8_t* pData, bool bLast) noexcept {
    Deliver(kEncoderVideo, 1, pData);
    m_clocks.AddVideoFrame(bLast);
    // Silence is counted even when it cannot be delivered, so that the loop
    // ends whatever the encoder answers.
    while (const uint32_t nFrames = m_clocks.SilenceDue()) {
        if (const uint8_t* pSilence = Silence()) {
            Deliver(kEncoderAudio, nFrames, pSilence);
        } else {
            m_dwLastFailure = static_cast<uint32_t>(E_OUTOFMEMORY);
        }
        m_clocks.AddAudioFrames(nFrames, /*bLast=*/false);
    }
}

void MuxerForWinMedia::PutAudio(const uint8_t* pData, int32_t nDataLength, bool bLast) noexcept {
    const uint32_t nFrames = static_cast<uint32_t>(nDataLength) / m_dwFrameBytes;
    // An empty block (a bare end mark) has nothing to write.
    if (nFrames > 0) Deliver(kEncoderAudio, nFrames, pData);
    m_clocks.AddAudioFrames(nFrames, bLast);
}

void MuxerForWinMedia::Deliver(uint32_t nStream, uint32_t nCount, const uint8_t* pData) noexcept {
    const uint32_t dwStatus = m_pEncoder->PutStreamData(nStream, nCount, pData);
    if (dwStatus != PLUG_S_OK) m_dwLastFailure = dwStatus;
}

const uint8_t* MuxerForWinMedia::Silence() noexcept {
    if (m_Silence.empty()) {
        try {
            m_Silence.assign(size_t{CMuxClocks::kSilenceBlockFrames} * m_dwFrameBytes, 0);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return m_Silence.data();
}

uint32_t MuxerForWinMedia::IsPreprocessingSupported() noexcept {
    if (!m_bEncoderStarted) return 0;
    return m_pEncoder->IsPreprocessingSupported() != 0 ? 1 : 0;
}

uint32_t MuxerForWinMedia::BeginPreprocessingPass() noexcept {
    m_clocks.RestartVideoCount();
    if (!m_bEncoderStarted) return PLUG_E_NOT_SUPPORTED;
    return m_pEncoder->BeginPreprocessingPass();
}

uint32_t MuxerForWinMedia::EndPreprocessingPass() noexcept {
    m_clocks.RestartVideoCount();
    if (!m_bEncoderStarted) return PLUG_E_NOT_SUPPORTED;
    return m_pEncoder->EndPreprocessingPass();
}
