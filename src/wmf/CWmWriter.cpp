#include "wmf/CWmWriter.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <cstdlib>
#include <cstring>
#include <new>

#include "win/Com.h"
#include "win/LastError.h"
#include "win/NsError.h"
#include "win/WideString.h"
#include "wmf/CNSSBuffer.h"
#include "wmf/CWmCodecInfo.h"
#include "wmf/CWmMediaProps.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmCopyOut.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;  // 100 ns
constexpr AVRational kHundredNs{1, 10'000'000};
// A sample time this far past the samples given so far is a gap, not jitter.
constexpr int64_t kAudioGapThreshold = 10'000;  // 1 ms
// Without a key-frame spacing in the profile, one key frame every 10 s.
constexpr int64_t kDefaultKeyFrameSpacing = 10 * kUnitsPerSecond;

// The exact rate behind a frame duration in 100 ns: 333667 is 30000/1001,
// 400000 is 25, 416666 or 416667 is 24, 800000 is 25/2.
AVRational ExactFrameRate(LONGLONG cnsFrame) noexcept {
    for (const int num : {24000, 30000, 48000, 60000, 120000, 15000}) {
        const double cns = static_cast<double>(kUnitsPerSecond) * 1001 / num;
        if (std::abs(static_cast<double>(cnsFrame) - cns) <= 1.0) return AVRational{num, 1001};
    }
    const int64_t perSecond = (kUnitsPerSecond + cnsFrame / 2) / cnsFrame;
    if (perSecond > 0 &&
        std::abs(static_cast<double>(kUnitsPerSecond) / static_cast<double>(perSecond) -
                 static_cast<double>(cnsFrame)) <= 1.0)
        return AVRational{static_cast<int>(perSecond), 1};
    AVRational rate{};
    av_reduce(&rate.num, &rate.den, kUnitsPerSecond, cnsFrame, INT32_MAX);
    return rate;
}

HRESULT ReadMediaType(IWMMediaProps* pProps, WmMediaType* pType) {
    DWORD cb = 0;
    HRESULT hr = pProps->GetMediaType(nullptr, &cb);
    if (FAILED(hr)) return hr;
    if (cb < sizeof(WM_MEDIA_TYPE)) return E_UNEXPECTED;
    std::vector<BYTE> buffer(cb);
    auto* pMt = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    hr = pProps->GetMediaType(pMt, &cb);
    if (FAILED(hr)) return hr;
    return pType->Assign(*pMt);
}

// A DWORD or BOOL encoding property of a stream; empty when it has none.
std::optional<DWORD> ReadDwordProperty(IWMPropertyVault* pVault, const WCHAR* pszName) noexcept {
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    BYTE value[4] = {};
    DWORD cb = sizeof(value);
    if (FAILED(pVault->GetPropertyByName(pszName, &type, value, &cb)) || cb != sizeof(value) ||
        (type != WMT_TYPE_DWORD && type != WMT_TYPE_BOOL))
        return std::nullopt;
    DWORD v = 0;
    std::memcpy(&v, value, sizeof(v));
    return v;
}

WmMediaType VideoInputType(const GUID& subtype, WORD wBitCount, DWORD dwCompression, LONG width,
                           LONG height, REFERENCE_TIME cnsFrame) {
    VIDEOINFOHEADER vih{};
    vih.rcSource = RECT{0, 0, width, height};
    vih.rcTarget = vih.rcSource;
    vih.AvgTimePerFrame = cnsFrame;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;  // RGB: bottom-up, as a DIB
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = wBitCount;
    vih.bmiHeader.biCompression = dwCompression;
    const DWORD cbFrame = CVideoEncoder::FrameSize(SVideoInputFormat{subtype, width, height, true});
    vih.bmiHeader.biSizeImage = cbFrame;
    vih.dwBitRate = static_cast<DWORD>(std::min<int64_t>(
        int64_t{cbFrame} * 8 * kUnitsPerSecond / std::max<LONGLONG>(cnsFrame, 1), UINT32_MAX));
    WmMediaType type = WmMediaType::FromVideoInfo(vih);
    type.SetSubType(subtype);
    type.SetSamples(true, false, cbFrame);
    return type;
}

WmMediaType PcmInputType(DWORD dwRate, WORD wChannels, WORD wBits) {
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = wChannels;
    wfx.nSamplesPerSec = dwRate;
    wfx.wBitsPerSample = wBits;
    wfx.nBlockAlign = static_cast<WORD>(wChannels * wBits / 8);
    wfx.nAvgBytesPerSec = dwRate * wfx.nBlockAlign;
    wfx.cbSize = 0;
    WmMediaType type = WmMediaType::FromWaveFormat(wfx);
    type.SetSamples(true, false, wfx.nBlockAlign);
    return type;
}

// libavformat's names for the file's own texts; other names are kept.
std::string MetadataKey(std::u16string_view name) {
    if (name == g_wszWMTitle) return "title";
    if (name == g_wszWMAuthor) return "author";
    if (name == g_wszWMCopyright) return "copyright";
    if (name == g_wszWMDescription) return "comment";
    if (name == g_wszWMRating) return "rating";
    return vrx::Utf16ToUtf8(name);
}

std::u16string_view StringValue(const std::vector<BYTE>& value) noexcept {
    std::u16string_view text(reinterpret_cast<const char16_t*>(value.data()), value.size() / 2);
    while (!text.empty() && text.back() == u'\0') text.remove_suffix(1);
    return text;
}

}  // namespace

HRESULT WMCreateWriter(IUnknown* /*pUnkCert*/, IWMWriter** ppWriter) noexcept {
    if (!ppWriter) return E_POINTER;
    *ppWriter = nullptr;
    if (!VrxComIsInitialized()) return CO_E_NOTINITIALIZED;
    return CWmWriter::Create(ppWriter);
}

HRESULT CWmWriter::Create(IWMWriter** ppWriter) noexcept {
    if (!ppWriter) return E_POINTER;
    *ppWriter = new (std::nothrow) CWmWriter();
    return *ppWriter ? S_OK : E_OUTOFMEMORY;
}

CWmWriter::~CWmWriter() {
    // A writer released while writing leaves its file unfinished.
    if (m_pMuxer) m_pMuxer->Abandon();
}

HRESULT CWmWriter::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IWMWriter)
        *ppv = static_cast<IWMWriter*>(this);
    else if (riid == IID_IWMWriterAdvanced || riid == IID_IWMWriterAdvanced2)
        *ppv = static_cast<IWMWriterAdvanced2*>(this);
    else if (riid == IID_IWMWriterPreprocess)
        *ppv = static_cast<IWMWriterPreprocess*>(this);
    else if (riid == IID_IWMHeaderInfo || riid == IID_IWMHeaderInfo2 || riid == IID_IWMHeaderInfo3)
        *ppv = static_cast<IWMHeaderInfo3*>(this);
    else if (riid == IID_IWMRegisterCallback)
        *ppv = static_cast<IWMRegisterCallback*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CWmWriter::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

// ---- status -------------------------------------------------------------

void CWmWriter::Notify(WMT_STATUS status, HRESULT hr) noexcept {
    m_listeners.Notify(status, hr);
    if (m_pSink) m_pSink->Notify(status, hr);
}

HRESULT CWmWriter::Fail(HRESULT hr, bool bFinal) noexcept {
    if (bFinal && SUCCEEDED(m_hrFailed)) m_hrFailed = hr;
    // A callback that asks the system for the reason finds it here.
    if ((static_cast<uint32_t>(hr) & 0xFFFF0000u) == 0x80070000u)
        SetLastError(static_cast<DWORD>(hr) & 0xFFFFu);
    Notify(WMT_ERROR, hr);
    return hr;
}

HRESULT CWmWriter::Advise(IWMStatusCallback* pCallback, void* pvContext) noexcept {
    return m_listeners.Advise(pCallback, pvContext);
}

HRESULT CWmWriter::Unadvise(IWMStatusCallback* pCallback, void* pvContext) noexcept {
    return m_listeners.Unadvise(pCallback, pvContext);
}

// ---- profile and inputs ---------------------------------------------------

HRESULT CWmWriter::SetProfileByID(REFGUID) noexcept { return E_NOTIMPL; }

HRESULT CWmWriter::ReadStream(IWMStreamConfig* pConfig, SInput* pInput) const {
    HRESULT hr = pConfig->GetStreamType(&pInput->majorType);
    if (SUCCEEDED(hr)) hr = pConfig->GetStreamNumber(&pInput->wStreamNum);
    if (SUCCEEDED(hr)) hr = pConfig->GetBitrate(&pInput->dwBitrate);
    if (SUCCEEDED(hr)) hr = pConfig->GetBufferWindow(&pInput->msBufferWindow);
    if (FAILED(hr)) return hr;
    WORD cch = 0;
    if (SUCCEEDED(pConfig->GetConnectionName(nullptr, &cch)) && cch > 0) {
        std::u16string name(cch, u'\0');
        if (SUCCEEDED(pConfig->GetConnectionName(name.data(), &cch))) {
            name.resize(std::char_traits<char16_t>::length(name.c_str()));
            pInput->connectionName = std::move(name);
        }
    }
    ComPtr<IWMMediaProps> pProps;
    hr = pConfig->QueryInterface(IID_IWMMediaProps, reinterpret_cast<void**>(pProps.Put()));
    if (FAILED(hr)) return hr;
    hr = ReadMediaType(pProps.Get(), &pInput->outputType);
    if (FAILED(hr)) return hr;
    if (pInput->majorType == WMMEDIATYPE_Video) {
        ComPtr<IWMVideoMediaProps> pVideo;
        if (SUCCEEDED(pConfig->QueryInterface(IID_IWMVideoMediaProps,
                                              reinterpret_cast<void**>(pVideo.Put())))) {
            pVideo->GetMaxKeyFrameSpacing(&pInput->cnsKeyFrameSpacing);
            pVideo->GetQuality(&pInput->dwQuality);
        }
        ComPtr<IWMPropertyVault> pVault;
        if (SUCCEEDED(pConfig->QueryInterface(IID_IWMPropertyVault,
                                              reinterpret_cast<void**>(pVault.Put())))) {
            pInput->bVbr = ReadDwordProperty(pVault.Get(), g_wszVBREnabled).value_or(0) != 0;
            pInput->dwPeakRate = ReadDwordProperty(pVault.Get(), g_wszVBRBitrateMax).value_or(0);
            pInput->msPeakBuffer = ReadDwordProperty(pVault.Get(), g_wszVBRBufferWindowMax).value_or(0);
        }
    }
    return S_OK;
}

HRESULT CWmWriter::CheckOutput(const SInput& input) const noexcept {
    if (input.majorType == WMMEDIATYPE_Video) {
        const VIDEOINFOHEADER* pVih = input.outputType.VideoInfo();
        if (!pVih) return NS_E_INVALID_OUTPUT_FORMAT;
        const DWORD fourCC = pVih->bmiHeader.biCompression;
        if (fourCC != MakeFourCC('W', 'M', 'V', '1') && fourCC != MakeFourCC('W', 'M', 'V', '2'))
            return NS_E_VIDEO_CODEC_NOT_INSTALLED;
        if (pVih->bmiHeader.biWidth <= 0 || pVih->bmiHeader.biHeight == 0 ||
            pVih->AvgTimePerFrame <= 0)
            return NS_E_INVALID_OUTPUT_FORMAT;
        return S_OK;
    }
    if (input.majorType == WMMEDIATYPE_Audio) {
        const WAVEFORMATEX* pWfx = input.outputType.WaveFormat();
        if (!pWfx) return NS_E_INVALID_OUTPUT_FORMAT;
        if (pWfx->wFormatTag != WAVE_FORMAT_WMAUDIO2) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
        // What libavcodec's wmav2 can make: 16-bit, mono or stereo, up to
        // 48 kHz, at least 24 kbit/s.
        if (pWfx->nChannels < 1 || pWfx->nChannels > 2 || pWfx->wBitsPerSample != 16 ||
            pWfx->nSamplesPerSec == 0 || pWfx->nSamplesPerSec > 48000 ||
            uint64_t{pWfx->nAvgBytesPerSec} * 8 < 24000)
            return NS_E_INVALID_OUTPUT_FORMAT;
        return S_OK;
    }
    return NS_E_INVALIDPROFILE;
}

HRESULT CWmWriter::SetProfile(IWMProfile* pProfile) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pProfile) return E_INVALIDARG;
    if (m_bWriting) return NS_E_INVALID_REQUEST;
    DWORD cStreams = 0;
    HRESULT hr = pProfile->GetStreamCount(&cStreams);
    if (FAILED(hr)) return hr;
    std::vector<SInput> inputs;
    int iVideo = -1;
    int iAudio = -1;
    for (DWORD i = 0; i < cStreams; ++i) {
        ComPtr<IWMStreamConfig> pConfig;
        hr = pProfile->GetStream(i, pConfig.Put());
        if (FAILED(hr)) return hr;
        SInput input;
        hr = ReadStream(pConfig.Get(), &input);
        if (FAILED(hr)) return hr;
        hr = CheckOutput(input);
        if (FAILED(hr)) return hr;
        int& iKind = input.majorType == WMMEDIATYPE_Video ? iVideo : iAudio;
        if (iKind >= 0) return NS_E_INVALIDPROFILE;
        iKind = static_cast<int>(inputs.size());
        if (input.majorType == WMMEDIATYPE_Video) {
            const VIDEOINFOHEADER& vih = *input.outputType.VideoInfo();
            input.inputType = VideoInputType(WMMEDIASUBTYPE_I420, 12, MakeFourCC('I', '4', '2', '0'),
                                             vih.bmiHeader.biWidth, std::abs(vih.bmiHeader.biHeight),
                                             vih.AvgTimePerFrame);
        } else {
            const WAVEFORMATEX& wfx = *input.outputType.WaveFormat();
            input.inputType = PcmInputType(wfx.nSamplesPerSec, wfx.nChannels, 16);
        }
        inputs.push_back(std::move(input));
    }
    if (inputs.empty()) return NS_E_INVALIDPROFILE;
    m_inputs = std::move(inputs);
    m_iVideo = iVideo;
    m_iAudio = iAudio;
    m_bProfileSet = true;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmWriter::SetOutputFilename(const WCHAR* pwszFilename) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pwszFilename || !*pwszFilename) return E_INVALIDARG;
    if (m_bWriting) return NS_E_INVALID_REQUEST;
    if (m_pSink) {
        m_pSink->SetFileName(pwszFilename);
        return S_OK;
    }
    return CWmWriterFileSink::Create(pwszFilename, m_pSink.Put());
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmWriter::GetInputCount(DWORD* pcInputs) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pcInputs) return E_POINTER;
    if (!m_bProfileSet) return NS_E_NOT_CONFIGURED;
    *pcInputs = static_cast<DWORD>(m_inputs.size());
    return S_OK;
}

HRESULT CWmWriter::MakeInputProps(const SInput& input, const WmMediaType& type,
                                  IWMInputMediaProps** ppProps) const noexcept {
    return CWmMediaProps::CreateInput(type, input.connectionName, u"", ppProps);
}

HRESULT CWmWriter::GetInputProps(DWORD dwInputNum, IWMInputMediaProps** ppInput) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!ppInput) return E_POINTER;
    *ppInput = nullptr;
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    return MakeInputProps(m_inputs[dwInputNum], m_inputs[dwInputNum].inputType, ppInput);
}

SVideoInputFormat CWmWriter::VideoInputFormat(const WmMediaType& type) noexcept {
    const VIDEOINFOHEADER* pVih = type.VideoInfo();
    if (!pVih) return {};
    const LONG height = pVih->bmiHeader.biHeight;
    return SVideoInputFormat{type.SubType(), pVih->bmiHeader.biWidth, std::abs(height), height > 0};
}

SAudioInputFormat CWmWriter::AudioInputFormat(const WmMediaType& type) noexcept {
    const WAVEFORMATEX* pWfx = type.WaveFormat();
    if (!pWfx) return SAudioInputFormat{0, 0, 0};
    return SAudioInputFormat{static_cast<int>(pWfx->nSamplesPerSec), pWfx->nChannels,
                             pWfx->wBitsPerSample};
}

HRESULT CWmWriter::SetInputProps(DWORD dwInputNum, IWMInputMediaProps* pInput) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pInput) return E_INVALIDARG;
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    if (m_bWriting) return NS_E_INVALID_REQUEST;
    SInput& input = m_inputs[dwInputNum];
    WmMediaType type;
    HRESULT hr = ReadMediaType(pInput, &type);
    if (FAILED(hr)) return hr;
    if (!(type.MajorType() == input.majorType)) return NS_E_INVALID_INPUT_FORMAT;
    if (input.majorType == WMMEDIATYPE_Video) {
        if (!CVideoEncoder::IsInputSupported(VideoInputFormat(type))) return NS_E_INVALID_INPUT_FORMAT;
    } else {
        const WAVEFORMATEX* pWfx = type.WaveFormat();
        if (!pWfx || pWfx->wFormatTag != WAVE_FORMAT_PCM ||
            !CAudioEncoder::IsInputSupported(AudioInputFormat(type)))
            return NS_E_INVALID_INPUT_FORMAT;
    }
    input.inputType = std::move(type);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

std::vector<WmMediaType> CWmWriter::InputFormats(const SInput& input) const {
    std::vector<WmMediaType> formats;
    if (input.majorType == WMMEDIATYPE_Video) {
        const VIDEOINFOHEADER& vih = *input.outputType.VideoInfo();
        const LONG w = vih.bmiHeader.biWidth;
        const LONG h = std::abs(vih.bmiHeader.biHeight);
        const struct {
            const GUID& subtype;
            WORD wBits;
            DWORD dwCompression;
        } kinds[] = {
            {WMMEDIASUBTYPE_I420, 12, MakeFourCC('I', '4', '2', '0')},
            {WMMEDIASUBTYPE_IYUV, 12, MakeFourCC('I', 'Y', 'U', 'V')},
            {WMMEDIASUBTYPE_YV12, 12, MakeFourCC('Y', 'V', '1', '2')},
            {WMMEDIASUBTYPE_YUY2, 16, MakeFourCC('Y', 'U', 'Y', '2')},
            {WMMEDIASUBTYPE_UYVY, 16, MakeFourCC('U', 'Y', 'V', 'Y')},
            {WMMEDIASUBTYPE_RGB32, 32, BI_RGB},
            {WMMEDIASUBTYPE_RGB24, 24, BI_RGB},
        };
        for (const auto& k : kinds)
            formats.push_back(VideoInputType(k.subtype, k.wBits, k.dwCompression, w, h, vih.AvgTimePerFrame));
    } else {
        const WAVEFORMATEX& wfx = *input.outputType.WaveFormat();
        formats.push_back(PcmInputType(wfx.nSamplesPerSec, wfx.nChannels, 16));
        formats.push_back(PcmInputType(wfx.nSamplesPerSec, wfx.nChannels, 8));
    }
    return formats;
}

HRESULT CWmWriter::GetInputFormatCount(DWORD dwInputNumber, DWORD* pcFormats) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pcFormats) return E_POINTER;
    if (dwInputNumber >= m_inputs.size()) return E_INVALIDARG;
    *pcFormats = static_cast<DWORD>(InputFormats(m_inputs[dwInputNumber]).size());
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmWriter::GetInputFormat(DWORD dwInputNumber, DWORD dwFormatNumber,
                                  IWMInputMediaProps** pProps) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pProps) return E_POINTER;
    *pProps = nullptr;
    if (dwInputNumber >= m_inputs.size()) return E_INVALIDARG;
    const std::vector<WmMediaType> formats = InputFormats(m_inputs[dwInputNumber]);
    if (dwFormatNumber >= formats.size()) return E_INVALIDARG;
    return MakeInputProps(m_inputs[dwInputNumber], formats[dwFormatNumber], pProps);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

// ---- writing ----------------------------------------------------------------

SVideoEncoderSettings CWmWriter::VideoSettings(const SInput& input) const noexcept {
    const VIDEOINFOHEADER& vih = *input.outputType.VideoInfo();
    SVideoEncoderSettings s;
    s.codecId = vih.bmiHeader.biCompression == MakeFourCC('W', 'M', 'V', '1') ? AV_CODEC_ID_WMV1
                                                                              : AV_CODEC_ID_WMV2;
    s.width = vih.bmiHeader.biWidth;
    s.height = std::abs(vih.bmiHeader.biHeight);
    s.frameRate = ExactFrameRate(vih.AvgTimePerFrame);
    s.bitRate = input.dwBitrate;
    s.quality = static_cast<int>(input.dwQuality);
    if (input.bVbr && input.dwPeakRate > 0) {
        // Peak-constrained VBR: the peak rate may be held for the peak
        // buffer's length.
        s.peakRate = input.dwPeakRate;
        const DWORD msBuffer = input.msPeakBuffer ? input.msPeakBuffer : input.msBufferWindow;
        s.bufferBits = int64_t{input.dwPeakRate} * msBuffer / 1000;
    } else {
        s.bufferBits = int64_t{input.dwBitrate} * input.msBufferWindow / 1000;
    }
    const LONGLONG cnsSpacing =
        input.cnsKeyFrameSpacing > 0 ? input.cnsKeyFrameSpacing : kDefaultKeyFrameSpacing;
    s.keyFrameInterval = static_cast<int>(std::clamp<int64_t>(
        av_rescale_q(cnsSpacing, kHundredNs, AVRational{s.frameRate.den, s.frameRate.num}), 1,
        INT32_MAX));
    return s;
}

HRESULT CWmWriter::MakeVideoEncoder(CVideoEncoder::Pass pass,
                                    std::unique_ptr<CVideoEncoder>* pp) noexcept {
    const SInput& input = *VideoInput();
    HRESULT hr = CVideoEncoder::Create(VideoSettings(input), pass,
                                       pass == CVideoEncoder::Pass::Second ? &m_stats : nullptr, pp);
    if (FAILED(hr)) return hr;
    return (*pp)->SetInput(VideoInputFormat(input.inputType));
}

const CWmWriter::SAttribute* CWmWriter::FindAttribute(WORD wStreamNum,
                                                      std::u16string_view name) const noexcept {
    const SAttribute* pFound = nullptr;
    for (const SAttribute& a : m_attributes)
        if (a.wStreamNum == wStreamNum && a.name == name) pFound = &a;  // the latest wins
    return pFound;
}

HRESULT CWmWriter::SetupMuxer(const std::string& path) noexcept try {
    m_pMuxer = std::make_unique<CAsfMuxer>();
    // The file's streams in stream-number order.
    std::vector<SInput*> order;
    for (SInput& input : m_inputs) order.push_back(&input);
    std::sort(order.begin(), order.end(),
              [](const SInput* a, const SInput* b) { return a->wStreamNum < b->wStreamNum; });
    for (SInput* pInput : order) {
        HRESULT hr = S_OK;
        if (pInput->majorType == WMMEDIATYPE_Video) {
            AVRational sar{0, 1};
            const SAttribute* pX = FindAttribute(pInput->wStreamNum, g_wszWMAspectRatioX);
            const SAttribute* pY = FindAttribute(pInput->wStreamNum, g_wszWMAspectRatioY);
            if (pX && pY && pX->value.size() == 4 && pY->value.size() == 4) {
                DWORD x = 0;
                DWORD y = 0;
                std::memcpy(&x, pX->value.data(), 4);
                std::memcpy(&y, pY->value.data(), 4);
                if (x > 0 && y > 0 && x <= INT32_MAX && y <= INT32_MAX)
                    sar = AVRational{static_cast<int>(x), static_cast<int>(y)};
            }
            hr = m_pMuxer->AddStream(m_pVideo->Context(), sar, &pInput->muxIndex);
        } else {
            hr = m_pMuxer->AddStream(m_pAudio->Context(), AVRational{0, 1}, &pInput->muxIndex);
        }
        if (FAILED(hr)) return hr;
    }
    for (const SAttribute& a : m_attributes) {
        if (a.wStreamNum != 0 || a.type != WMT_TYPE_STRING) continue;
        const HRESULT hr = m_pMuxer->SetMetadata(MetadataKey(a.name), vrx::Utf16ToUtf8(StringValue(a.value)));
        if (FAILED(hr)) return hr;
    }
    return m_pMuxer->Open(path);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmWriter::BeginWriting() noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_bWriting) return Fail(NS_E_INVALID_REQUEST, false);
    if (!m_bProfileSet || !m_pSink) return Fail(NS_E_NOT_CONFIGURED, false);
    m_hrFailed = S_OK;
    HRESULT hr = S_OK;
    if (VideoInput()) hr = MakeVideoEncoder(CVideoEncoder::Pass::Single, &m_pVideo);
    if (SUCCEEDED(hr) && AudioInput()) {
        const SInput& input = *AudioInput();
        const WAVEFORMATEX& wfx = *input.outputType.WaveFormat();
        SAudioEncoderSettings settings;
        settings.sampleRate = static_cast<int>(wfx.nSamplesPerSec);
        settings.channels = wfx.nChannels;
        // The offered formats name the bit rate at which libavcodec makes
        // exactly their block size; other formats get their own byte rate.
        settings.bitRate = CWmCodecInfo::WmaEncoderBitRate(wfx);
        if (settings.bitRate == 0) settings.bitRate = int64_t{wfx.nAvgBytesPerSec} * 8;
        hr = CAudioEncoder::Create(settings, &m_pAudio);
        if (SUCCEEDED(hr)) hr = m_pAudio->SetInput(AudioInputFormat(input.inputType));
    }
    if (SUCCEEDED(hr)) hr = SetupMuxer(vrx::Utf16ToUtf8(m_pSink->FileName()));
    if (FAILED(hr)) {
        ReleaseEngine();
        return Fail(hr, false);
    }
    for (SInput& input : m_inputs) input.dwPasses = 0;
    m_bWriting = true;
    m_pass = Pass::None;
    m_stats.clear();
    m_cStatsFrames = 0;
    m_lastFrame = -1;
    m_cnsWriterTime = 0;
    return S_OK;
} catch (const std::bad_alloc&) {
    ReleaseEngine();
    return Fail(E_OUTOFMEMORY, false);
}

void CWmWriter::ReleaseEngine() noexcept {
    if (m_pMuxer) m_pMuxer->Abandon();
    m_pMuxer.reset();
    m_pVideo.reset();
    m_pFirstPass.reset();
    m_pAudio.reset();
    m_pass = Pass::None;
    m_bWriting = false;
}

HRESULT CWmWriter::AllocateSample(DWORD dwSampleSize, INSSBuffer** ppSample) noexcept {
    return CNSSBuffer::Create(dwSampleSize, ppSample);
}

HRESULT CWmWriter::SinkTo(int muxIndex, AVPacket* pkt) noexcept {
    return m_pMuxer->Write(muxIndex, pkt);
}

HRESULT CWmWriter::WriteVideo(QWORD cnsSampleTime, const BYTE* pData, DWORD cbData,
                              INSSBuffer* pSample) noexcept try {
    if (m_pass == Pass::Preprocessing) return Fail(NS_E_INVALID_REQUEST, false);
    if (cbData != m_pVideo->InputFrameSize()) return Fail(NS_E_INVALID_INPUT_FORMAT, false);
    const int muxIndex = VideoInput()->muxIndex;
    const auto sink = [this, muxIndex](AVPacket* pkt) { return SinkTo(muxIndex, pkt); };
    HRESULT hr = S_OK;
    if (m_cStatsFrames > 0 && m_pVideo->FramesEncoded() >= m_cStatsFrames) {
        // The second pass has used up the first pass's statistics; the rest
        // goes on with one-pass rate control, from a key frame.
        hr = m_pVideo->Flush(sink);
        if (SUCCEEDED(hr)) hr = MakeVideoEncoder(CVideoEncoder::Pass::Single, &m_pVideo);
        if (FAILED(hr)) return Fail(hr, true);
        m_cStatsFrames = 0;
    }
    const AVRational timeBase = m_pVideo->Context().time_base;
    const int64_t frame = std::max(
        av_rescale_q_rnd(static_cast<int64_t>(cnsSampleTime), kHundredNs, timeBase, AV_ROUND_NEAR_INF),
        m_lastFrame + 1);
    hr = m_pVideo->Encode(pData, cbData, frame, sink, pSample);
    if (FAILED(hr)) return Fail(hr, true);
    m_lastFrame = frame;
    m_cnsWriterTime = std::max<QWORD>(m_cnsWriterTime, av_rescale_q(frame + 1, timeBase, kHundredNs));
    return S_OK;
} catch (const std::bad_alloc&) {
    return Fail(E_OUTOFMEMORY, true);
}

HRESULT CWmWriter::WriteAudio(QWORD cnsSampleTime, const BYTE* pData, DWORD cbData) noexcept try {
    const DWORD cbBlock = m_pAudio->InputBlockAlign();
    if (cbData % cbBlock != 0) return Fail(NS_E_INVALID_INPUT_FORMAT, false);
    const int muxIndex = AudioInput()->muxIndex;
    const auto sink = [this, muxIndex](AVPacket* pkt) { return SinkTo(muxIndex, pkt); };
    const int rate = m_pAudio->Input().sampleRate;
    const AVRational sampleBase{1, rate};
    const int64_t cnsExpected = av_rescale_q(m_pAudio->InputSamples(), sampleBase, kHundredNs);
    HRESULT hr = S_OK;
    if (static_cast<int64_t>(cnsSampleTime) > cnsExpected + kAudioGapThreshold) {
        const int64_t cGap = av_rescale_q(static_cast<int64_t>(cnsSampleTime) - cnsExpected, kHundredNs,
                                          sampleBase);
        hr = m_pAudio->EncodeSilence(cGap, sink);
        if (FAILED(hr)) return Fail(hr, true);
    }
    hr = m_pAudio->Encode(pData, cbData, sink);
    if (FAILED(hr)) return Fail(hr, true);
    m_cnsWriterTime = std::max<QWORD>(m_cnsWriterTime,
                                      av_rescale_q(m_pAudio->InputSamples(), sampleBase, kHundredNs));
    return S_OK;
} catch (const std::bad_alloc&) {
    return Fail(E_OUTOFMEMORY, true);
}

HRESULT CWmWriter::WriteSample(DWORD dwInputNum, QWORD cnsSampleTime, DWORD /*dwFlags*/,
                               INSSBuffer* pSample) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pSample) return E_INVALIDARG;
    if (!m_bWriting) return Fail(NS_E_INVALID_REQUEST, false);
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    if (FAILED(m_hrFailed)) return m_hrFailed;
    BYTE* pData = nullptr;
    DWORD cbData = 0;
    const HRESULT hr = pSample->GetBufferAndLength(&pData, &cbData);
    if (FAILED(hr)) return Fail(hr, false);
    return static_cast<int>(dwInputNum) == m_iVideo ? WriteVideo(cnsSampleTime, pData, cbData, pSample)
                                                     : WriteAudio(cnsSampleTime, pData, cbData);
}

HRESULT CWmWriter::Flush() noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_bWriting) return Fail(NS_E_INVALID_REQUEST, false);
    if (FAILED(m_hrFailed)) return m_hrFailed;
    const HRESULT hr = m_pMuxer->Flush();
    return FAILED(hr) ? Fail(hr, true) : S_OK;
}

HRESULT CWmWriter::Finish() noexcept {
    if (FAILED(m_hrFailed)) return m_hrFailed;
    // A preprocessing pass that never ended leaves no trace in the file.
    m_pFirstPass.reset();
    HRESULT hr = S_OK;
    if (SInput* pVideo = VideoInput()) {
        const int muxIndex = pVideo->muxIndex;
        hr = m_pVideo->Flush([this, muxIndex](AVPacket* pkt) { return SinkTo(muxIndex, pkt); });
        if (SUCCEEDED(hr)) hr = m_pMuxer->EndStream(muxIndex);
    }
    if (SUCCEEDED(hr)) {
        if (SInput* pAudio = AudioInput()) {
            const int muxIndex = pAudio->muxIndex;
            // A WMA frame is whole: the last part frame is either padded
            // with silence or left out, whichever keeps the audio's end
            // nearer the samples given (at most half a frame away).
            const int64_t cMaxOverhang = m_pAudio->FrameSize() / 2;
            hr = m_pAudio->Flush([this, muxIndex](AVPacket* pkt) { return SinkTo(muxIndex, pkt); },
                                 cMaxOverhang);
            if (SUCCEEDED(hr)) hr = m_pMuxer->EndStream(muxIndex);
        }
    }
    if (SUCCEEDED(hr)) hr = m_pMuxer->Finish();
    return FAILED(hr) ? Fail(hr, true) : S_OK;
}

HRESULT CWmWriter::EndWriting() noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_bWriting) return Fail(NS_E_INVALID_REQUEST, false);
    const HRESULT hr = Finish();
    ReleaseEngine();
    return hr;
}

// ---- IWMWriterAdvanced ------------------------------------------------------

HRESULT CWmWriter::GetSinkCount(DWORD* pcSinks) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pcSinks) return E_POINTER;
    *pcSinks = m_pSink ? 1 : 0;
    return S_OK;
}

HRESULT CWmWriter::GetSink(DWORD dwSinkNum, IWMWriterSink** ppSink) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!ppSink) return E_POINTER;
    *ppSink = nullptr;
    if (!m_pSink || dwSinkNum != 0) return E_INVALIDARG;
    *ppSink = static_cast<IWMWriterSink*>(m_pSink.Get());
    (*ppSink)->AddRef();
    return S_OK;
}

HRESULT CWmWriter::AddSink(IWMWriterSink*) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::RemoveSink(IWMWriterSink*) noexcept { return E_NOTIMPL; }

HRESULT CWmWriter::WriteStreamSample(WORD, QWORD, DWORD, QWORD, DWORD, INSSBuffer*) noexcept {
    return E_NOTIMPL;
}

HRESULT CWmWriter::SetLiveSource(BOOL fIsLiveSource) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_bLiveSource = fIsLiveSource;
    return S_OK;
}

HRESULT CWmWriter::IsRealTime(BOOL* pfRealTime) noexcept {
    if (!pfRealTime) return E_POINTER;
    *pfRealTime = FALSE;
    return S_OK;
}

HRESULT CWmWriter::GetWriterTime(QWORD* pcnsCurrentTime) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pcnsCurrentTime) return E_POINTER;
    *pcnsCurrentTime = m_cnsWriterTime;
    return S_OK;
}

HRESULT CWmWriter::GetStatistics(WORD wStreamNum, WM_WRITER_STATISTICS* pStats) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pStats) return E_POINTER;
    const auto it = std::find_if(m_inputs.begin(), m_inputs.end(),
                                 [&](const SInput& i) { return i.wStreamNum == wStreamNum; });
    if (it == m_inputs.end()) return E_INVALIDARG;
    *pStats = WM_WRITER_STATISTICS{};
    pStats->dwExpectedBitrate = it->dwBitrate;
    if (!m_pMuxer) return S_OK;
    const CAsfMuxer::SStreamStats stats = m_pMuxer->Stats(it->muxIndex);
    pStats->qwSampleCount = stats.cPackets;
    pStats->qwByteCount = stats.cbBytes;
    if (m_cnsWriterTime > 0) {
        const auto bitrate = av_rescale(static_cast<int64_t>(stats.cbBytes) * 8, kUnitsPerSecond,
                                        static_cast<int64_t>(m_cnsWriterTime));
        pStats->dwAverageBitrate = pStats->dwCurrentBitrate =
            static_cast<DWORD>(std::min<int64_t>(bitrate, UINT32_MAX));
    }
    return S_OK;
}

HRESULT CWmWriter::SetSyncTolerance(DWORD msWindow) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_msSyncTolerance = msWindow;
    return S_OK;
}

HRESULT CWmWriter::GetSyncTolerance(DWORD* pmsWindow) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pmsWindow) return E_POINTER;
    *pmsWindow = m_msSyncTolerance;
    return S_OK;
}

// ---- IWMWriterAdvanced2 -----------------------------------------------------

HRESULT CWmWriter::GetInputSetting(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                                   BYTE* pValue, WORD* pcbLength) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pszName || !pType || !pcbLength) return E_POINTER;
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    if (std::u16string_view(pszName) != g_wszInterlacedCoding) return NS_E_UNSUPPORTED_PROPERTY;
    *pType = WMT_TYPE_BOOL;
    const BOOL bInterlaced = FALSE;
    return CopyBytesOut(&bInterlaced, sizeof(bInterlaced), pValue, pcbLength);
}

HRESULT CWmWriter::SetInputSetting(DWORD dwInputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                                   const BYTE* pValue, WORD cbLength) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pszName || (!pValue && cbLength)) return E_INVALIDARG;
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    if (std::u16string_view(pszName) != g_wszInterlacedCoding) return NS_E_UNSUPPORTED_PROPERTY;
    if (Type != WMT_TYPE_BOOL || cbLength != sizeof(BOOL)) return E_INVALIDARG;
    BOOL bInterlaced = FALSE;
    std::memcpy(&bInterlaced, pValue, sizeof(bInterlaced));
    // libavcodec's WMV1/WMV2 encoders code whole pictures only.
    return bInterlaced ? NS_E_UNSUPPORTED_PROPERTY : S_OK;
}

// ---- IWMWriterPreprocess ----------------------------------------------------

HRESULT CWmWriter::GetMaxPreprocessingPasses(DWORD dwInputNum, DWORD /*dwFlags*/,
                                             DWORD* pdwMaxNumPasses) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pdwMaxNumPasses) return E_POINTER;
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    *pdwMaxNumPasses = static_cast<int>(dwInputNum) == m_iVideo ? 1 : 0;
    return S_OK;
}

HRESULT CWmWriter::SetNumPreprocessingPasses(DWORD dwInputNum, DWORD /*dwFlags*/,
                                             DWORD dwNumPasses) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    const DWORD dwMax = static_cast<int>(dwInputNum) == m_iVideo ? 1 : 0;
    if (dwNumPasses > dwMax) return NS_E_INVALID_NUM_PASSES;
    // Passes are set before the final pass's first picture.
    if (m_bWriting && (m_pass != Pass::None || (m_pVideo && m_pVideo->FramesEncoded() > 0)))
        return NS_E_INVALID_REQUEST;
    m_inputs[dwInputNum].dwPasses = dwNumPasses;
    return S_OK;
}

HRESULT CWmWriter::BeginPreprocessingPass(DWORD dwInputNum, DWORD /*dwFlags*/) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    if (!m_bWriting || static_cast<int>(dwInputNum) != m_iVideo ||
        m_inputs[dwInputNum].dwPasses == 0 || m_pass != Pass::None || m_pVideo->FramesEncoded() > 0)
        return Fail(NS_E_INVALID_REQUEST, false);
    if (FAILED(m_hrFailed)) return m_hrFailed;
    const HRESULT hr = MakeVideoEncoder(CVideoEncoder::Pass::First, &m_pFirstPass);
    if (FAILED(hr)) return Fail(hr, false);
    m_pass = Pass::Preprocessing;
    m_lastFrame = -1;
    return S_OK;
}

HRESULT CWmWriter::PreprocessSample(DWORD dwInputNum, QWORD cnsSampleTime, DWORD /*dwFlags*/,
                                    INSSBuffer* pSample) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pSample) return E_INVALIDARG;
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    if (!m_bWriting || m_pass != Pass::Preprocessing || static_cast<int>(dwInputNum) != m_iVideo)
        return Fail(NS_E_INVALID_REQUEST, false);
    if (FAILED(m_hrFailed)) return m_hrFailed;
    BYTE* pData = nullptr;
    DWORD cbData = 0;
    HRESULT hr = pSample->GetBufferAndLength(&pData, &cbData);
    if (FAILED(hr)) return Fail(hr, false);
    if (cbData != m_pFirstPass->InputFrameSize()) return Fail(NS_E_INVALID_INPUT_FORMAT, false);
    const AVRational timeBase = m_pFirstPass->Context().time_base;
    const int64_t frame = std::max(
        av_rescale_q_rnd(static_cast<int64_t>(cnsSampleTime), kHundredNs, timeBase, AV_ROUND_NEAR_INF),
        m_lastFrame + 1);
    hr = m_pFirstPass->Encode(pData, cbData, frame, nullptr, pSample);
    if (FAILED(hr)) return Fail(hr, true);
    m_lastFrame = frame;
    return S_OK;
}

HRESULT CWmWriter::EndPreprocessingPass(DWORD dwInputNum, DWORD /*dwFlags*/) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (dwInputNum >= m_inputs.size()) return E_INVALIDARG;
    if (!m_bWriting || m_pass != Pass::Preprocessing || static_cast<int>(dwInputNum) != m_iVideo)
        return Fail(NS_E_INVALID_REQUEST, false);
    if (FAILED(m_hrFailed)) return m_hrFailed;
    HRESULT hr = m_pFirstPass->Flush(nullptr);
    if (FAILED(hr)) return Fail(hr, true);
    m_stats = m_pFirstPass->Stats();
    m_pFirstPass.reset();
    m_cStatsFrames = CVideoEncoder::StatsFrameCount(m_stats);
    if (m_cStatsFrames > 0) {
        hr = MakeVideoEncoder(CVideoEncoder::Pass::Second, &m_pVideo);
        if (FAILED(hr)) return Fail(hr, true);
    }
    m_inputs[dwInputNum].dwPasses = 0;
    m_pass = Pass::Final;
    m_lastFrame = -1;  // the final pass starts again at time 0
    return S_OK;
} catch (const std::bad_alloc&) {
    return Fail(E_OUTOFMEMORY, true);
}

// ---- IWMHeaderInfo ------------------------------------------------------------

HRESULT CWmWriter::GetAttributeCount(WORD wStreamNum, WORD* pcAttributes) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pcAttributes) return E_POINTER;
    *pcAttributes = static_cast<WORD>(std::count_if(
        m_attributes.begin(), m_attributes.end(),
        [&](const SAttribute& a) { return a.wStreamNum == wStreamNum; }));
    return S_OK;
}

HRESULT CWmWriter::GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*, BYTE*,
                                       WORD*) noexcept {
    return E_NOTIMPL;
}

HRESULT CWmWriter::GetAttributeByName(WORD* pwStreamNum, LPCWSTR pszName,
                                      WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                      WORD* pcbLength) noexcept {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pwStreamNum || !pszName || !pType || !pcbLength) return E_INVALIDARG;
    const SAttribute* pFound = FindAttribute(*pwStreamNum, pszName);
    if (!pFound) return ASF_E_NOTFOUND;
    *pType = pFound->type;
    return CopyBytesOut(pFound->value.data(), pFound->value.size(), pValue, pcbLength);
}

HRESULT CWmWriter::SetAttribute(WORD wStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE Type,
                                const BYTE* pValue, WORD cbLength) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_bWriting) return NS_E_INVALID_REQUEST;
    WORD wIndex = 0;
    // Setting replaces every earlier value of the name.
    std::erase_if(m_attributes, [&](const SAttribute& a) {
        return pszName && a.wStreamNum == wStreamNum && a.name == pszName;
    });
    return AddAttribute(wStreamNum, pszName, &wIndex, Type, 0, pValue, cbLength);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmWriter::AddAttribute(WORD wStreamNum, LPCWSTR pszName, WORD* pwIndex,
                                WMT_ATTR_DATATYPE Type, WORD /*wLangIndex*/, const BYTE* pValue,
                                DWORD dwLength) noexcept try {
    const std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!pszName || !*pszName || (!pValue && dwLength) || dwLength > 0xFFFF) return E_INVALIDARG;
    if (wStreamNum > 63) return E_INVALIDARG;
    if ((Type == WMT_TYPE_DWORD || Type == WMT_TYPE_BOOL) && dwLength != 4) return E_INVALIDARG;
    if (Type == WMT_TYPE_QWORD && dwLength != 8) return E_INVALIDARG;
    if (Type == WMT_TYPE_WORD && dwLength != 2) return E_INVALIDARG;
    // The header is written when writing begins.
    if (m_bWriting) return NS_E_INVALID_REQUEST;
    SAttribute attribute{wStreamNum, pszName, Type,
                         std::vector<BYTE>(pValue, pValue + (pValue ? dwLength : 0))};
    m_attributes.push_back(std::move(attribute));
    if (pwIndex) {
        *pwIndex = static_cast<WORD>(std::count_if(
            m_attributes.begin(), m_attributes.end(),
            [&](const SAttribute& a) { return a.wStreamNum == wStreamNum; }) - 1);
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmWriter::GetMarkerCount(WORD*) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::GetMarker(WORD, WCHAR*, WORD*, QWORD*) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::AddMarker(const WCHAR*, QWORD) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::RemoveMarker(WORD) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::GetScriptCount(WORD*) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmWriter::AddScript(const WCHAR*, const WCHAR*, QWORD) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::RemoveScript(WORD) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::GetCodecInfoCount(DWORD*) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::GetCodecInfo(DWORD, WORD*, WCHAR*, WORD*, WCHAR*, WMT_CODEC_INFO_TYPE*, WORD*,
                                BYTE*) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmWriter::GetAttributeCountEx(WORD, WORD*) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::GetAttributeIndices(WORD, LPCWSTR, WORD*, WORD*, WORD*) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmWriter::GetAttributeByIndexEx(WORD, WORD, LPWSTR, WORD*, WMT_ATTR_DATATYPE*, WORD*,
                                         BYTE*, DWORD*) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmWriter::ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*,
                                   DWORD) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmWriter::DeleteAttribute(WORD, WORD) noexcept { return E_NOTIMPL; }
HRESULT CWmWriter::AddCodecInfo(const WCHAR*, const WCHAR*, WMT_CODEC_INFO_TYPE, WORD,
                                BYTE*) noexcept {
    return E_NOTIMPL;
}
