// The encoder's life: start, status, finish, two-pass set-up and the
// threads' hold on the encoder. Sample delivery is in
// CWMVEncoderDelivery.cpp.
#include "writer/CWMVEncoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "plugin/Diagnostics.h"
#include "plugin/MediaRecords.h"
#include "plugin/PlugStatus.h"
#include "plugin/WMSdkProbe.h"
#include "vrx/VRXHost.h"
#include "win/Windows.h"
#include "wmf/WmAttributes.h"
#include "writer/CEncoderRegistry.h"
#include "writer/FrameRate.h"
#include "writer/ProfileBuilder.h"

namespace {

constexpr const WCHAR* kSettingsKey = u"Software\\Ferrow";
constexpr const WCHAR* kSettingsSection = u"Velmora";

// Waits shorter than a second are taken for a misconfiguration.
constexpr DWORD kMinTimeOut = 1000;
constexpr DWORD kShortTimeOutReplacement = 10000;

// The input format block: a VIDEOINFOHEADER and 44 bytes after it, all zero.
constexpr size_t kVideoFormatBlockBytes = 132;

// Video codec profile code 3: WVC1, the only codec coded interlaced.
constexpr DWORD kProfileCodeWvc1 = 3;

struct SPixelFormat {
    GUID subtype;
    DWORD dwCompression;
};

SPixelFormat PixelFormatOf(DWORD dwColorFormat) noexcept {
    switch (dwColorFormat) {
    case PLUG_COLOR_FORMAT_RGB32: return {WMMEDIASUBTYPE_RGB32, BI_RGB};
    case PLUG_COLOR_FORMAT_YUY2: return {WMMEDIASUBTYPE_YUY2, MakeFourCC('Y', 'U', 'Y', '2')};
    case PLUG_COLOR_FORMAT_UYVY: return {WMMEDIASUBTYPE_UYVY, MakeFourCC('U', 'Y', 'V', 'Y')};
    case PLUG_COLOR_FORMAT_I420: return {WMMEDIASUBTYPE_I420, MakeFourCC('I', '4', '2', '0')};
    default: return {GUID_NULL, BI_RGB};
    }
}

BYTE ContentTypeOf(const SPlugMediaInfo& params) noexcept {
    if (params.dwVideoPresent == 0 || params.Video.dwCodecSubType != kProfileCodeWvc1) return 0;
    switch (params.Video.dwFieldOrder) {
    case 0: return WM_CT_INTERLACED | WM_CT_TOP_FIELD_FIRST;
    case 1: return WM_CT_INTERLACED | WM_CT_BOTTOM_FIELD_FIRST;
    default: return 0;
    }
}

DWORD ReadTimeOut() noexcept {
    uint32_t dwTimeOut = INFINITE;
    VRX_GetGlobalIntW(kSettingsKey, kSettingsSection, u"HandleTimeOut", &dwTimeOut, 1);
    return dwTimeOut >= kMinTimeOut ? dwTimeOut : kShortTimeOutReplacement;
}

}  // namespace

CWMVEncoder* CWMVEncoder::Create(const WCHAR* pszFileName) noexcept {
    return new (std::nothrow) CWMVEncoder(pszFileName);
}

CWMVEncoder::CWMVEncoder(const WCHAR* pszFileName) noexcept {
    if (pszFileName) lstrcpynW(m_szFileName, pszFileName, MAX_PATH);
}

// Runs when the owner and every thread have let go. After a normal
// FinishCompress nothing is left; after a time-out this releases what the
// timed-out thread still held (the file stays unfinished).
CWMVEncoder::~CWMVEncoder() {
    for (HANDLE h : {m_hFinishEvent, m_hDataEvent, m_hDoneEvent, m_hWriteThread, m_hEndWritingThread}) {
        if (h) CloseHandle(h);
    }
}

void CWMVEncoder::Destroy() noexcept {
    CEncoderRegistry::Instance().ParkEncoder(this);
    ReleaseLife();
}

void CWMVEncoder::ReleaseLife() noexcept {
    if (InterlockedDecrement(&m_lLife) != 0) return;
    CEncoderRegistry::Instance().UnparkEncoder(this);
    delete this;
}

HANDLE CWMVEncoder::StartThread(DWORD (*pfnThread)(void*)) noexcept {
    InterlockedIncrement(&m_lLife);
    const HANDLE hThread = CreateThread(nullptr, 0, pfnThread, this, 0, nullptr);
    // The owner still holds the encoder, so this never frees it.
    if (!hThread) ReleaseLife();
    return hThread;
}

bool CWMVEncoder::WaitForThread(HANDLE hThread, const WCHAR* pszTimeOutText) noexcept {
    if (WaitForSingleObject(hThread, m_dwTimeOut) != WAIT_TIMEOUT) return true;
    DebugOutput(pszTimeOutText);
    SetDiskError(Drive());
    return false;
}

HRESULT CWMVEncoder::QueryInterface(REFIID, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CWMVEncoder::AddRef() noexcept {
    return static_cast<ULONG>(InterlockedIncrement(&m_lRefCount));
}

ULONG CWMVEncoder::Release() noexcept {
    if (InterlockedDecrement(&m_lRefCount) == 0) return 0;
    // Read again: another thread may have changed it since.
    return static_cast<ULONG>(InterlockedCompareExchange(&m_lRefCount, 0, 0));
}

HRESULT CWMVEncoder::OnStatus(WMT_STATUS Status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*, void*) noexcept {
    if (Status != WMT_ERROR) return S_OK;
    m_bStatusOK = FALSE;
    LPWSTR pszText = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, GetLastError(), /*dwLanguageId=*/0x400, reinterpret_cast<LPWSTR>(&pszText),
                   0, nullptr);
    DebugOutputF(u"CWMVEncoder--OnStatus;0x%x %s\n", hr, pszText ? pszText : u"");
    LocalFree(pszText);
    return S_OK;
}

uint32_t CWMVEncoder::InitCompress(const SPlugMediaInfo& params) noexcept {
    m_bFinishWrite = TRUE;
    m_bTimedOut = FALSE;
    if (GetDiskStatus(Drive()) == 0) return PLUG_E_DRIVE_OR_TIMEOUT;
    m_dwTimeOut = ReadTimeOut();
    m_byContentType = ContentTypeOf(params);
    if (!IsWMSDKAvailable()) {
        DebugOutput(kNeedComInitText);
        return PLUG_E_WINMEDIA_UNUSABLE;
    }

    // The profile builder snaps the audio fields; the caller's record stays
    // as it was. The host keeps delivering audio in its own layout.
    SPlugMediaInfo info;
    CopyMediaInfo(info, params);
    m_nHostChannels = static_cast<WORD>(params.Audio.dwChannels);
    m_nHostBlockAlign = (params.Audio.dwChannels * params.Audio.dwBitsPerSample) >> 3;

    const uint32_t dwProfile = GenerateProfile(m_byContentType, info, m_pProfile.Put());
    if (FAILED(static_cast<HRESULT>(dwProfile))) {
        DebugOutput(u"construct winmedia profile err \n");
        m_bStatusOK = FALSE;
        return dwProfile;
    }
    DebugOutput(u"construct winmedia profile OK\n");

    HRESULT hr = CreateWMWriter(m_pProfile.Get());
    if (FAILED(hr)) {
        DebugOutput(u"construct winmedia writer err \n");
        m_bStatusOK = FALSE;
        return static_cast<uint32_t>(hr);
    }
    DebugOutput(u"construct winmedia writer OK\n");

    if (m_pVideoProps) SetupVideoInput(info);
    if (m_pAudioProps) {
        hr = SetupAudioInput(info);
        if (FAILED(hr)) return static_cast<uint32_t>(hr);
    }
    RegisterStatusCallback(m_pWMWriter.Get(), this);

    hr = m_pWMWriter->BeginWriting();
    if (FAILED(hr)) m_bStatusOK = FALSE;
    m_bPreprocess = FALSE;
    m_nPasses = 0;

    m_hDataEvent = CreateEventW(nullptr, /*bManualReset=*/FALSE, /*bInitialState=*/FALSE, nullptr);
    m_hDoneEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hFinishEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hWriteThread = StartThread(WriteThread);
    return static_cast<uint32_t>(hr);
}

HRESULT CWMVEncoder::CreateWMWriter(IWMProfile* pProfile) noexcept {
    HRESULT hr = WMCreateWriter(nullptr, m_pWMWriter.Put());
    if (FAILED(hr)) {
        m_pWMWriter.Reset();
        DebugOutputF(u"Failed to Create WMWriter (hr=0x%08x)\n", hr);
        return static_cast<HRESULT>(PLUG_E_CREATE_WRITER);
    }
    hr = m_pWMWriter->SetProfile(pProfile);
    if (FAILED(hr)) {
        DebugOutputF(u"Failed to SetProfile (hr=0x%08x)\n", hr);
        return static_cast<HRESULT>(PLUG_E_SET_PROFILE);
    }
    DWORD cInputs = 0;
    hr = m_pWMWriter->GetInputCount(&cInputs);
    if (FAILED(hr)) return hr;
    for (DWORD dwInput = 0; dwInput < cInputs; ++dwInput) {
        ComPtr<IWMInputMediaProps> pProps;
        hr = m_pWMWriter->GetInputProps(dwInput, pProps.Put());
        if (FAILED(hr)) return hr;
        GUID type = GUID_NULL;
        hr = pProps->GetType(&type);
        if (FAILED(hr)) return hr;
        if (type == WMMEDIATYPE_Audio) {
            m_pAudioProps = std::move(pProps);
            m_dwAudioInput = dwInput;
        } else if (type == WMMEDIATYPE_Video) {
            m_pVideoProps = std::move(pProps);
            m_dwVideoInput = dwInput;
        } else {
            return E_FAIL;
        }
    }
    if (m_pWMWriter->SetOutputFilename(m_szFileName) != S_OK) {
        DebugOutputF(u"CWMVEncoder: Open %s error!", m_szFileName);
        return static_cast<HRESULT>(PLUG_E_NO_PROFILE);
    }
    return S_OK;
}

HRESULT CWMVEncoder::RegisterStatusCallback(IWMWriter* pWriter, IWMStatusCallback* pCallback) noexcept {
    ComPtr<IWMWriterAdvanced> pAdvanced;
    HRESULT hr = ComPtr<IWMWriter>(pWriter).As(pAdvanced);
    if (FAILED(hr)) return hr;
    DWORD cSinks = 0;
    hr = pAdvanced->GetSinkCount(&cSinks);
    for (DWORD dwSink = 0; dwSink < cSinks && SUCCEEDED(hr); ++dwSink) {
        ComPtr<IWMWriterSink> pSink;
        hr = pAdvanced->GetSink(dwSink, pSink.Put());
        if (FAILED(hr)) break;
        ComPtr<IWMRegisterCallback> pRegister;
        hr = pSink.As(pRegister);
        // The context is never read back: the encoder is its own context.
        if (SUCCEEDED(hr)) hr = pRegister->Advise(pCallback, /*pvContext=*/nullptr);
    }
    return hr;
}

void CWMVEncoder::SetupVideoInput(const SPlugMediaInfo& info) noexcept {
    const SPlugVideoStreamInfo& video = info.Video;
    const WORD wBitCount = GetPixBits(static_cast<PLUG_COLOR_FORMAT_>(video.dwColorFormat));
    m_nVideoFrames = 0;
    m_nVideoFrameSize = (video.dwWidth * video.dwHeight * wBitCount) >> 3;
    m_cnsFrameDuration = FrameDurationFromRate(video.dwFrameRateNum, video.dwFrameRateDen);
    const double fps = video.dwFrameRateDen != 0
                           ? static_cast<double>(video.dwFrameRateNum) / video.dwFrameRateDen
                           : 0.0;
    const SPixelFormat pixel = PixelFormatOf(video.dwColorFormat);

    VIDEOINFOHEADER vih{};
    vih.rcSource = {0, 0, static_cast<LONG>(video.dwWidth), static_cast<LONG>(video.dwHeight)};
    vih.rcTarget = vih.rcSource;
    // The uncompressed input's rate; informational, so a rate beyond 32
    // bits is held at the largest value.
    vih.dwBitRate = static_cast<DWORD>(
        std::min(static_cast<double>(m_nVideoFrameSize * 8u) * fps, static_cast<double>(UINT32_MAX)));
    vih.dwBitErrorRate = 0xFFFFFFFF;
    vih.AvgTimePerFrame = static_cast<REFERENCE_TIME>(m_cnsFrameDuration);
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = static_cast<LONG>(video.dwWidth);
    vih.bmiHeader.biHeight = static_cast<LONG>(video.dwHeight);
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = wBitCount;
    vih.bmiHeader.biCompression = pixel.dwCompression;
    vih.bmiHeader.biSizeImage = m_nVideoFrameSize;
    std::array<BYTE, kVideoFormatBlockBytes> block{};
    std::memcpy(block.data(), &vih, sizeof(vih));

    WM_MEDIA_TYPE mt{};
    mt.majortype = WMMEDIATYPE_Video;
    mt.subtype = pixel.subtype;
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = m_nVideoFrameSize;
    mt.formattype = WMFORMAT_VideoInfo;
    mt.cbFormat = static_cast<ULONG>(block.size());
    mt.pbFormat = block.data();
    m_pVideoProps->SetMediaType(&mt);
    m_pWMWriter->SetInputProps(m_dwVideoInput, m_pVideoProps.Get());

    AddAspectRatioAttributes(video);

    ComPtr<IWMWriterAdvanced2> pAdvanced2;
    if (m_byContentType != 0 && SUCCEEDED(m_pWMWriter.As(pAdvanced2))) {
        const BOOL bInterlaced = TRUE;
        if (pAdvanced2->SetInputSetting(m_dwVideoInput, g_wszInterlacedCoding, WMT_TYPE_BOOL,
                                        reinterpret_cast<const BYTE*>(&bInterlaced),
                                        sizeof(bInterlaced)) != S_OK) {
            DebugOutput(u"pWriterAdvanced2->SetInputSettin(g_wszInterlacedCoding) error\n");
        }
    }
}

// The file carries the pixel aspect ratio on the video stream; readers turn
// it back into the display ratio the host asked for.
void CWMVEncoder::AddAspectRatioAttributes(const SPlugVideoStreamInfo& video) noexcept {
    ComPtr<IWMStreamConfig> pVideoStream;
    WORD wStreamNum = 0;
    if (FAILED(FindVideoStream(m_pProfile.Get(), pVideoStream.Put())) ||
        FAILED(pVideoStream->GetStreamNumber(&wStreamNum))) {
        return;
    }
    pVideoStream.Reset();
    uint32_t dwPixelX = 1;
    uint32_t dwPixelY = 1;
    DARtoSAR(video.dwWidth, video.dwHeight, video.dwAspectX, video.dwAspectY, &dwPixelX, &dwPixelY);
    ComPtr<IWMHeaderInfo3> pHeader;
    if (FAILED(m_pWMWriter.As(pHeader))) return;
    WORD wIndex = 0;
    pHeader->AddAttribute(wStreamNum, g_wszWMAspectRatioX, &wIndex, WMT_TYPE_DWORD, /*wLangIndex=*/0,
                          reinterpret_cast<const BYTE*>(&dwPixelX), sizeof(dwPixelX));
    pHeader->AddAttribute(wStreamNum, g_wszWMAspectRatioY, &wIndex, WMT_TYPE_DWORD, /*wLangIndex=*/0,
                          reinterpret_cast<const BYTE*>(&dwPixelY), sizeof(dwPixelY));
}

HRESULT CWMVEncoder::SetupAudioInput(const SPlugMediaInfo& info) noexcept {
    const SPlugAudioStreamInfo& audio = info.Audio;
    m_nAudioSamples = 0;
    const WORD wChannels = static_cast<WORD>(audio.dwChannels);
    const WORD wBitsPerSample = static_cast<WORD>(audio.dwBitsPerSample);
    const WORD wBlockAlign = static_cast<WORD>((wBitsPerSample * wChannels) / 8);
    m_nAudioBlockAlign = wBlockAlign;

    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = wChannels;
    wfx.nSamplesPerSec = audio.dwSampleRate;
    wfx.nAvgBytesPerSec = wBlockAlign * audio.dwSampleRate;
    wfx.nBlockAlign = wBlockAlign;
    wfx.wBitsPerSample = wBitsPerSample;
    wfx.cbSize = 0;

    WM_MEDIA_TYPE mt{};
    mt.majortype = WMMEDIATYPE_Audio;
    mt.subtype = WMMEDIASUBTYPE_PCM;
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = wBlockAlign;
    mt.formattype = WMFORMAT_WaveFormatEx;
    mt.cbFormat = sizeof(wfx);
    mt.pbFormat = reinterpret_cast<BYTE*>(&wfx);
    HRESULT hr = m_pAudioProps->SetMediaType(&mt);
    if (FAILED(hr)) return hr;
    hr = m_pWMWriter->SetInputProps(m_dwAudioInput, m_pAudioProps.Get());
    if (FAILED(hr)) return hr;
    m_AudioFormat = wfx;
    return S_OK;
}

bool CWMVEncoder::RunEndWriting(const WCHAR* pszTimeOutText) noexcept {
    // A thread that timed out before must be gone before another one takes
    // the held-back frame.
    if (m_hEndWritingThread) {
        if (!WaitForThread(m_hEndWritingThread, pszTimeOutText)) return false;
        CloseHandle(m_hEndWritingThread);
        m_hEndWritingThread = nullptr;
    }
    const HANDLE hThread = StartThread(EndWritingProc);
    if (!WaitForThread(hThread, pszTimeOutText)) {
        m_hEndWritingThread = hThread;
        return false;
    }
    if (hThread) CloseHandle(hThread);
    return true;
}

uint32_t CWMVEncoder::FinishCompress() noexcept {
    if (!m_bFinishWrite) DebugOutput(u"CWMVEncoder::FinishCompress() Find FinishWrite FALSE\n");
    DebugOutput(u"CWMVEncoder::FinishCompress() begin\n");
    if (m_hWriteThread) {
        SetEvent(m_hFinishEvent);
        if (!WaitForThread(m_hWriteThread, u"CWMVEncoder::FinishCompress()--WriteThread Time out!!!\n")) {
            return PLUG_E_DRIVE_OR_TIMEOUT;
        }
        for (HANDLE* ph : {&m_hWriteThread, &m_hFinishEvent, &m_hDataEvent, &m_hDoneEvent}) {
            if (*ph) CloseHandle(*ph);
            *ph = nullptr;
        }
    }
    if (!RunEndWriting(u"CWMVEncoder::FinishCompress()--EndWriting Time out!!!\n")) {
        return PLUG_E_DRIVE_OR_TIMEOUT;
    }
    m_pPreprocess.Reset();
    m_pAudioProps.Reset();
    m_pVideoProps.Reset();
    DebugOutput(u"SAFE_RELEASE( m_pWMWriter ) begin\n");
    m_pWMWriter.Reset();
    DebugOutput(u"SAFE_RELEASE( m_pWMWriter ) end\n");
    m_pProfile.Reset();
    return PLUG_S_OK;
}

DWORD CWMVEncoder::EndWritingProc(void* pEncoder) noexcept {
    auto* self = static_cast<CWMVEncoder*>(pEncoder);
    self->EndWriting();
    self->ReleaseLife();
    return 0;
}

void CWMVEncoder::EndWriting() noexcept {
    if (!m_pWMWriter) {
        DebugOutput(u"CWMVEncoder::FinishCompress() end\n");
        return;
    }
    HRESULT hr = S_OK;
    if (m_bStatusOK && m_pPendingSample3) {
        // The last frame of a pass: the codec must not hold it back waiting
        // for a following frame.
        DWORD dwCleanPoint = 1;
        m_pPendingSample3->SetProperty(WM_SampleExtensionGUID_OutputCleanPoint, &dwCleanPoint,
                                       sizeof(dwCleanPoint));
        hr = SubmitHeldFrame();
    }
    m_pPendingSample3.Reset();
    m_pPendingSample.Reset();
    if (InPreprocessingPass()) return;

    if (!m_bStatusOK || hr != S_OK) {
        uint32_t dwCloseError = 0;
        VRX_GetGlobalIntW(kSettingsKey, kSettingsSection, u"CloseErrorWMV", &dwCloseError, 0);
        if (dwCloseError == 0) {
            // Ending a failed writer could block on whatever failed.
            CEncoderRegistry::Instance().KeepAbandonedWriter(m_pWMWriter.Detach());
            DebugOutput(u"CWMVEncoder::FinishCompress() end\n");
            return;
        }
    }
    DebugOutput(u"m_pWMWriter->EndWriting() begin\n");
    m_pWMWriter->Flush();
    m_pWMWriter->EndWriting();
    DebugOutput(u"m_pWMWriter->EndWriting() end\n");
    DebugOutput(u"CWMVEncoder::FinishCompress() end\n");
}

// After a time-out the worker may still be inside a frame: the two-pass
// state it reads is left alone from then on.
uint32_t CWMVEncoder::IsPreprocessingSupported() noexcept {
    if (m_bTimedOut) return 0;
    m_bPreprocess = FALSE;
    ComPtr<IWMStreamConfig> pVideoStream;
    if (!m_pProfile || FAILED(FindVideoStream(m_pProfile.Get(), pVideoStream.Put()))) return 0;
    ComPtr<IWMWriterPreprocess> pPreprocess;
    DWORD dwMaxPasses = 0;
    if (SUCCEEDED(m_pWMWriter.As(pPreprocess)) &&
        SUCCEEDED(pPreprocess->GetMaxPreprocessingPasses(m_dwVideoInput, 0, &dwMaxPasses)) &&
        dwMaxPasses > 0) {
        m_bPreprocess = TRUE;
    }
    return m_bPreprocess ? 1 : 0;
}

uint32_t CWMVEncoder::BeginPreprocessingPass() noexcept {
    if (m_bTimedOut) return PLUG_E_DRIVE_OR_TIMEOUT;
    if (SUCCEEDED(m_pWMWriter.As(m_pPreprocess))) {
        m_nPasses = 0;
        if (SUCCEEDED(m_pPreprocess->GetMaxPreprocessingPasses(m_dwVideoInput, 0, &m_nPasses)) &&
            m_nPasses != 0 &&
            SUCCEEDED(m_pPreprocess->SetNumPreprocessingPasses(m_dwVideoInput, 0, m_nPasses))) {
            m_bPreprocess = TRUE;
        }
    }
    if (!m_bPreprocess) {
        m_pPreprocess.Reset();
        m_nPasses = 0;
        return PLUG_E_NOT_SUPPORTED;
    }
    if (m_nPasses == 0 || !m_pPreprocess) return PLUG_E_NOT_SUPPORTED;
    const HRESULT hr = m_pPreprocess->BeginPreprocessingPass(m_dwVideoInput, 0);
    if (FAILED(hr)) {
        m_nPasses = 0;
        m_pPreprocess.Reset();
        return static_cast<uint32_t>(hr);
    }
    return PLUG_S_OK;
}

uint32_t CWMVEncoder::EndPreprocessingPass() noexcept {
    if (m_bTimedOut) return PLUG_E_DRIVE_OR_TIMEOUT;
    if (!InPreprocessingPass() || !m_pPreprocess) return PLUG_E_NOT_SUPPORTED;
    if (!m_bFinishWrite) DebugOutput(u"CWMVEncoder::EndPreprocessingPass() Find FinishWrite FALSE\n");
    if (!RunEndWriting(u"CWMVEncoder::EndPreprocessingPass()--EndWriting Time out!!!\n")) {
        // Its thread still owns the held-back frame: no more data.
        m_bTimedOut = TRUE;
        return PLUG_E_DRIVE_OR_TIMEOUT;
    }
    m_nVideoFrames = 0;
    const HRESULT hr = m_pPreprocess->EndPreprocessingPass(m_dwVideoInput, 0);
    if (FAILED(hr)) {
        m_nPasses = 0;
        m_pPreprocess.Reset();
        return static_cast<uint32_t>(hr);
    }
    if (--m_nPasses == 0) m_pPreprocess.Reset();
    return PLUG_S_OK;
}
