// The engine behind one open writer handle: one Windows Media writer that
// encodes the host's uncompressed video and PCM audio into one file, with
// its profile, its two inputs, the held-back video frame, the worker thread
// WriteThread and the optional two-pass state.
//
// Threads. The host's thread calls every public operation, one at a time.
// The runtime's writing, flushing and ending run on WriteThread or on a
// short-lived EndWritingProc thread, and the host's thread waits for them
// no longer than the "HandleTimeOut" setting; on a time-out the output
// drive is reported failed to the host and PLUG_E_DRIVE_OR_TIMEOUT comes
// back. The runtime calls OnStatus, AddRef and Release on its own threads.
// The hand-off between the host's thread and WriteThread is a pair of
// auto-reset events; there are no locks.
//
// Lifetime. Create makes the encoder, Destroy lets go of it (after
// FinishCompress, which must be called once, also when InitCompress
// failed). A thread still running on the encoder after a time-out keeps it
// alive, with everything that thread uses: Destroy then parks the encoder in
// the CEncoderRegistry and the thread frees it when it ends. COM reference
// counting never deletes the encoder.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "vrx/PlugRecords.h"
#include "wmf/WmInterfaces.h"

// The encoder's own results, besides those of plugin/PlugStatus.h and the
// runtime's HRESULTs.
inline constexpr uint32_t PLUG_E_SET_PROFILE = 0x80000008;    // the writer refused the profile
inline constexpr uint32_t PLUG_E_NO_PREPROCESSOR = 0x80000009;  // a pass without its interface
inline constexpr uint32_t PLUG_E_WRITE_FAILED = 0x80000108;   // the writer has failed
inline constexpr uint32_t PLUG_E_CREATE_WRITER = 0x8000050A;  // no writer could be created

class CWMVEncoder final : public IWMStatusCallback {
public:
    // pszFileName: the output file, at most 259 characters (longer names are
    // cut); its first character names the drive for the host's disk state.
    // Null when memory runs out.
    static CWMVEncoder* Create(const WCHAR* pszFileName) noexcept;
    // The owner lets go; the encoder is freed now or when its last thread
    // ends.
    void Destroy() noexcept;

    // Starts the file from the encoding parameters (not changed). 0, or:
    // PLUG_E_DRIVE_OR_TIMEOUT when the host reports the drive unusable,
    // PLUG_E_WINMEDIA_UNUSABLE when the runtime cannot be used from this
    // thread, PLUG_E_NO_PROFILE, PLUG_E_CREATE_WRITER, PLUG_E_SET_PROFILE
    // when the writer refuses the profile, PLUG_E_NO_PROFILE when it
    // refuses the file name, E_FAIL for an input that is neither audio nor
    // video, or the runtime's own failure. When BeginWriting fails its
    // result comes back, but the worker runs all the same and
    // FinishCompress stops it as usual.
    uint32_t InitCompress(const SPlugMediaInfo& params) noexcept;

    // Hands one request to WriteThread and waits for it: nStream 0 is one
    // video frame (nCount is not used), any other nStream nCount PCM sample
    // frames in the host's channel layout. The data is copied before the
    // hand-off, so the host's block is never read after the return. 0;
    // PLUG_E_WRITE_FAILED once the writer has failed; PLUG_E_DRIVE_OR_TIMEOUT
    // when the wait times out, and for every call after that.
    uint32_t PutStreamData(uint32_t nStream, uint32_t nCount, const BYTE* pData) noexcept;

    // Stops WriteThread, writes the held-back frame, ends the file and
    // releases every runtime object. 0, or PLUG_E_DRIVE_OR_TIMEOUT when a
    // thread did not end in time (everything is then left as it is). With
    // the writer failed and the host setting "CloseErrorWMV" 0, the writer
    // is abandoned unfinished to the CEncoderRegistry instead.
    uint32_t FinishCompress() noexcept;

    // Two-pass encoding. IsPreprocessingSupported: 1 when the writer offers
    // a preprocessing pass for the video input (and remembers it), else 0.
    // BeginPreprocessingPass: 0, PLUG_E_NOT_SUPPORTED, or the runtime's
    // failure. EndPreprocessingPass: the held-back frame is preprocessed
    // and the pass ended; the next frame is at time 0 again. 0,
    // PLUG_E_NOT_SUPPORTED without a pass begun, PLUG_E_DRIVE_OR_TIMEOUT,
    // or the runtime's failure. After any time-out none of the three
    // touches the writer again (0, or PLUG_E_DRIVE_OR_TIMEOUT).
    uint32_t IsPreprocessingSupported() noexcept;
    uint32_t BeginPreprocessingPass() noexcept;
    uint32_t EndPreprocessingPass() noexcept;

    // IUnknown: no interface is offered; the count never deletes.
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    // IWMStatusCallback: a WMT_ERROR marks the writer failed and is logged.
    HRESULT OnStatus(WMT_STATUS Status, HRESULT hr, WMT_ATTR_DATATYPE dwType, BYTE* pValue,
                     void* pvContext) noexcept override;

private:
    explicit CWMVEncoder(const WCHAR* pszFileName) noexcept;
    ~CWMVEncoder();
    CWMVEncoder(const CWMVEncoder&) = delete;
    CWMVEncoder& operator=(const CWMVEncoder&) = delete;

    WCHAR Drive() const noexcept { return m_szFileName[0]; }
    HRESULT CreateWMWriter(IWMProfile* pProfile) noexcept;
    static HRESULT RegisterStatusCallback(IWMWriter* pWriter, IWMStatusCallback* pCallback) noexcept;
    void SetupVideoInput(const SPlugMediaInfo& info) noexcept;
    void AddAspectRatioAttributes(const SPlugVideoStreamInfo& video) noexcept;
    HRESULT SetupAudioInput(const SPlugMediaInfo& info) noexcept;

    // Threads hold the encoder alive while they run (see Lifetime).
    HANDLE StartThread(DWORD (*pfnThread)(void*)) noexcept;
    void ReleaseLife() noexcept;
    // Waits at most m_dwTimeOut; on a time-out logs pszTimeOutText and
    // reports the drive failed to the host.
    bool WaitForThread(HANDLE hThread, const WCHAR* pszTimeOutText) noexcept;

    static DWORD WriteThread(void* pEncoder) noexcept;
    static DWORD EndWritingProc(void* pEncoder) noexcept;
    void EndWriting() noexcept;
    uint32_t WriteStreamData(uint32_t nStream, uint32_t nCount, const BYTE* pData) noexcept;
    HRESULT WriteMediaStreamFrame(const BYTE* pData) noexcept;
    HRESULT WriteMediaStreamSamples(uint32_t nCount, const BYTE* pData) noexcept;
    HRESULT SubmitHeldFrame() noexcept;
    void FillAudio(BYTE* pDest, DWORD cbDest, uint32_t nCount, const BYTE* pData) const noexcept;
    bool RunEndWriting(const WCHAR* pszTimeOutText) noexcept;
    bool InPreprocessingPass() const noexcept { return m_bPreprocess && m_nPasses > 0; }

    // Hand-off between the host's thread and WriteThread.
    HANDLE m_hDataEvent = nullptr;    // auto-reset: a request is posted
    HANDLE m_hDoneEvent = nullptr;    // auto-reset: the request is done
    HANDLE m_hFinishEvent = nullptr;  // manual-reset: WriteThread ends
    uint32_t m_nReqStream = 0;
    uint32_t m_nReqCount = 0;
    // The request's data: a copy of the host's block, owned here so that a
    // worker that is still busy after a time-out never reads host memory.
    std::vector<BYTE> m_reqData;

    LONG m_lRefCount = 0;  // COM count, interlocked
    LONG m_lLife = 1;      // the owner and every running thread, interlocked

    ComPtr<IWMWriter> m_pWMWriter;
    ComPtr<IWMProfile> m_pProfile;
    ComPtr<IWMInputMediaProps> m_pAudioProps;
    ComPtr<IWMInputMediaProps> m_pVideoProps;
    uint32_t m_nVideoFrames = 0;   // frames of this pass; the next frame's time index
    uint32_t m_nAudioSamples = 0;  // sample frames delivered
    DWORD m_dwAudioInput = 0;
    DWORD m_dwVideoInput = 0;
    WCHAR m_szFileName[MAX_PATH] = {};
    WAVEFORMATEX m_AudioFormat{};
    uint32_t m_nAudioBlockAlign = 0;  // bytes per sample frame of the audio input
    uint32_t m_nHostBlockAlign = 0;   // bytes per sample frame as the host delivers them
    uint32_t m_nHostChannels = 0;     // 48000 Hz mono is encoded as stereo
    uint32_t m_nVideoFrameSize = 0;
    uint64_t m_cnsVideoTime = 0;
    uint64_t m_cnsAudioTime = 0;
    uint64_t m_cnsFrameDuration = 400000;
    ComPtr<INSSBuffer> m_pPendingSample;
    ComPtr<INSSBuffer3> m_pPendingSample3;
    BYTE m_byContentType = 0;
    // Cleared by the runtime's threads, the worker and the start; never set
    // again after construction.
    std::atomic<BOOL> m_bStatusOK{TRUE};
    // Clear while the worker is inside a frame or block, and after one that
    // lost its sample; the host's thread reads it when the pass or file ends.
    std::atomic<BOOL> m_bFinishWrite{TRUE};
    HANDLE m_hWriteThread = nullptr;
    HANDLE m_hEndWritingThread = nullptr;  // kept only when it did not end in time
    BOOL m_bTimedOut = FALSE;
    DWORD m_dwTimeOut = INFINITE;
    BOOL m_bPreprocess = FALSE;
    ComPtr<IWMWriterPreprocess> m_pPreprocess;
    uint32_t m_nPasses = 0;
};

// Owns an encoder for its creator; Destroy() instead of delete.
struct CWMVEncoderDeleter {
    void operator()(CWMVEncoder* pEncoder) const noexcept { pEncoder->Destroy(); }
};
using CWMVEncoderPtr = std::unique_ptr<CWMVEncoder, CWMVEncoderDeleter>;
