// Sample delivery: the host's thread posts one request at a time to
// WriteThread, which wraps the data in a writer sample, stamps its time and
// writes it (video one frame late, so that the last frame of a pass can be
// marked when the pass ends).
#include "writer/CWMVEncoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "plugin/Diagnostics.h"
#include "plugin/PlugStatus.h"
#include "win/Windows.h"

uint32_t CWMVEncoder::PutStreamData(uint32_t nStream, uint32_t nCount, const BYTE* pData) noexcept {
    if (m_bTimedOut) return PLUG_E_DRIVE_OR_TIMEOUT;
    const size_t cbData = nStream == 0 ? size_t{m_nVideoFrameSize} : size_t{nCount} * m_nHostBlockAlign;
    try {
        if (pData) {
            m_reqData.assign(pData, pData + cbData);
        } else {
            m_reqData.assign(cbData, 0);
        }
    } catch (const std::bad_alloc&) {
        return PLUG_E_WRITE_FAILED;
    }
    m_nReqStream = nStream;
    m_nReqCount = nCount;
    SetEvent(m_hDataEvent);
    if (WaitForSingleObject(m_hDoneEvent, m_dwTimeOut) == WAIT_TIMEOUT) {
        m_bTimedOut = TRUE;
        DebugOutputF(u"CWMVEncoder::PutStreamData()--Time Out!!!(%s)\n", m_szFileName);
        // A drive that stops taking data is reported at once, not only when
        // the file is finished, so the host stops sending jobs to it.
        SetDiskError(Drive());
        return PLUG_E_DRIVE_OR_TIMEOUT;
    }
    return m_bStatusOK ? PLUG_S_OK : PLUG_E_WRITE_FAILED;
}

DWORD CWMVEncoder::WriteThread(void* pEncoder) noexcept {
    auto* self = static_cast<CWMVEncoder*>(pEncoder);
    // The finish event comes first so that it wins over a request posted at
    // the same moment.
    const HANDLE events[] = {self->m_hFinishEvent, self->m_hDataEvent};
    while (WaitForMultipleObjects(2, events, /*bWaitAll=*/FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        self->WriteStreamData(self->m_nReqStream, self->m_nReqCount, self->m_reqData.data());
        SetEvent(self->m_hDoneEvent);
    }
    self->ReleaseLife();
    return 0;
}

uint32_t CWMVEncoder::WriteStreamData(uint32_t nStream, uint32_t nCount, const BYTE* pData) noexcept {
    const HRESULT hr = nStream == 0 ? WriteMediaStreamFrame(pData) : WriteMediaStreamSamples(nCount, pData);
    if (hr != S_OK) {
        DebugOutputF(u"CWMVEncoder()--Failed( wmv sdk code:%x), iEsPid:%d\n", hr, nStream);
        return PLUG_E_WRITE_FAILED;
    }
    return PLUG_S_OK;
}

HRESULT CWMVEncoder::SubmitHeldFrame() noexcept {
    m_cnsVideoTime = m_cnsFrameDuration * m_nVideoFrames;
    ++m_nVideoFrames;
    if (InPreprocessingPass()) {
        if (!m_pPreprocess) return static_cast<HRESULT>(PLUG_E_NO_PREPROCESSOR);
        return m_pPreprocess->PreprocessSample(m_dwVideoInput, m_cnsVideoTime, 0, m_pPendingSample.Get());
    }
    return m_pWMWriter->WriteSample(m_dwVideoInput, m_cnsVideoTime, 0, m_pPendingSample.Get());
}

HRESULT CWMVEncoder::WriteMediaStreamFrame(const BYTE* pData) noexcept {
    m_bFinishWrite = FALSE;
    if (!m_bStatusOK || !m_pWMWriter) {
        m_bFinishWrite = TRUE;
        return static_cast<HRESULT>(PLUG_E_WRITE_FAILED);
    }
    if (m_pPendingSample3) {
        if (m_byContentType != 0) {
            BYTE byContentType = m_byContentType;
            if (m_pPendingSample3->SetProperty(WM_SampleExtensionGUID_ContentType, &byContentType,
                                               sizeof(byContentType)) != S_OK) {
                HostLog(INFOTYPE_DIAGNOSTIC, u"pVideoSSBuffer3->SetProperty(WM_CT_INTERLACED) Failed");
            }
        }
        const HRESULT hrWrite = SubmitHeldFrame();
        if (hrWrite != S_OK) {
            HostLogF(INFOTYPE_DIAGNOSTIC, u"CWMVEncoder::WriteMediaStreamFrame() error:0x%x", hrWrite);
            m_bStatusOK = FALSE;
        }
        m_pPendingSample3.Reset();
        m_pPendingSample.Reset();
    }

    HRESULT hr = m_pWMWriter->AllocateSample(m_nVideoFrameSize, m_pPendingSample.Put());
    if (hr != S_OK) {
        m_pPendingSample.Reset();
        HostLog(INFOTYPE_DIAGNOSTIC, u"AllocateSample() Failed");
        return hr;
    }
    hr = m_pPendingSample.As(m_pPendingSample3);
    if (hr != S_OK) {
        m_pPendingSample3.Reset();
        m_pPendingSample.Reset();
        HostLog(INFOTYPE_DIAGNOSTIC, u"QueryInterface(INSSBuffer3) Failed ");
        return hr;
    }
    BYTE* pBuffer = nullptr;
    DWORD cbBuffer = 0;
    hr = m_pPendingSample->GetBufferAndLength(&pBuffer, &cbBuffer);
    const DWORD cbCopy = std::min(cbBuffer, m_nVideoFrameSize);
    if (SUCCEEDED(hr) && pBuffer && cbCopy > 0) std::memcpy(pBuffer, pData, cbCopy);
    m_bFinishWrite = TRUE;
    return hr;
}

void CWMVEncoder::FillAudio(BYTE* pDest, DWORD cbDest, uint32_t nCount, const BYTE* pData) const noexcept {
    const uint32_t nChannels = m_AudioFormat.nChannels;
    if (m_nAudioBlockAlign == 0 || nChannels == 0) return;
    const uint32_t nFrames = std::min(nCount, cbDest / m_nAudioBlockAlign);
    if (nFrames == 0) return;

    if (m_nHostChannels == nChannels && nChannels == 6 && static_cast<int32_t>(nCount) > 0) {
        // The host's 5.1 order differs from the codec's: the host's sixth
        // slot goes fourth.
        const uint32_t cbSlot = m_nAudioBlockAlign / 6;
        for (uint32_t i = 0; i < nFrames; ++i) {
            const BYTE* pIn = pData + size_t{i} * m_nAudioBlockAlign;
            BYTE* pOut = pDest + size_t{i} * 6 * cbSlot;
            std::memcpy(pOut, pIn, 3 * cbSlot);
            std::memcpy(pOut + 3 * cbSlot, pIn + 5 * cbSlot, cbSlot);
            std::memcpy(pOut + 4 * cbSlot, pIn + 3 * cbSlot, 2 * cbSlot);
        }
    } else if (m_nHostChannels == nChannels) {
        std::memcpy(pDest, pData, size_t{nFrames} * m_nAudioBlockAlign);
    } else {
        // The profile's channel count differs from the host's (48000 Hz
        // mono is encoded as stereo): output channel c takes the host's
        // channel c, or its last one. Reads whole host frames only.
        const uint32_t cbSample = m_nAudioBlockAlign / nChannels;
        const uint32_t nHostLast = std::max(m_nHostChannels, 1u) - 1;
        for (uint32_t i = 0; i < nFrames; ++i) {
            const BYTE* pIn = pData + size_t{i} * m_nHostBlockAlign;
            BYTE* pOut = pDest + size_t{i} * m_nAudioBlockAlign;
            for (uint32_t c = 0; c < nChannels; ++c) {
                std::memcpy(pOut + c * cbSample, pIn + std::min(c, nHostLast) * cbSample, cbSample);
            }
        }
    }
}

HRESULT CWMVEncoder::WriteMediaStreamSamples(uint32_t nCount, const BYTE* pData) noexcept {
    m_bFinishWrite = FALSE;
    if (!m_bStatusOK || !m_pWMWriter) {
        m_bFinishWrite = TRUE;
        return static_cast<HRESULT>(PLUG_E_WRITE_FAILED);
    }
    // Whole milliseconds: at 44100 Hz blocks of 1152 sample frames start at
    // 0, 260000 and 520000.
    const double dSampleRate = m_AudioFormat.nSamplesPerSec;
    m_cnsAudioTime =
        dSampleRate > 0 ? static_cast<uint64_t>(m_nAudioSamples / dSampleRate * 1000.0) * 10000 : 0;
    m_nAudioSamples += nCount;

    ComPtr<INSSBuffer> pSample;
    HRESULT hr = m_pWMWriter->AllocateSample(nCount * m_nAudioBlockAlign, pSample.Put());
    if (hr != S_OK) {
        DebugOutput(u"AllocateSample() Failed  \n");
        return hr;
    }
    BYTE* pBuffer = nullptr;
    DWORD cbBuffer = 0;
    if (SUCCEEDED(pSample->GetBufferAndLength(&pBuffer, &cbBuffer)) && pBuffer) {
        FillAudio(pBuffer, cbBuffer, nCount, pData);
    }
    hr = m_pWMWriter->WriteSample(m_dwAudioInput, m_cnsAudioTime, 0, pSample.Get());
    pSample.Reset();
    if (hr != S_OK) {
        DebugOutputF(u"CWMVEncoder::WriteMediaStreamSamples() error:0x%x\n", hr);
        m_bStatusOK = FALSE;
    }
    m_bFinishWrite = TRUE;
    return hr;
}
