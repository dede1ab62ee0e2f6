#include "wmf/CWmSyncReader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "win/NsError.h"
#include "wmf/CNSSBuffer.h"
#include "wmf/CWmMediaProps.h"
#include "wmf/CWmMutualExclusion.h"
#include "wmf/CWmProfile.h"
#include "wmf/CWmStreamConfig.h"
#include "wmf/ReaderMediaTypes.h"
#include "wmf/WmAttributes.h"
#include "wmf/WmCopyOut.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The connection name of a stream's output: its number as text.
std::u16string NumberText(WORD w) {
    std::u16string text;
    for (const char c : std::to_string(w)) text.push_back(static_cast<char16_t>(c));
    return text;
}

bool SameName(LPCWSTR a, const WCHAR* b) noexcept { return a && std::u16string_view(a) == std::u16string_view(b); }

// A stored attribute handed to a caller's buffer with a WORD length.
HRESULT CopyValue(const SAsfAttribute& attr, WMT_ATTR_DATATYPE* pType, BYTE* pValue, WORD* pcbLength) noexcept {
    if (!pcbLength) return E_POINTER;
    if (pType) *pType = attr.type;
    return CopyBytesOut(attr.value.data(), attr.value.size(), pValue, pcbLength);
}

}  // namespace

CWmSyncReader::CWmSyncReader(std::shared_ptr<std::recursive_mutex> lock) noexcept : m_pLock(std::move(lock)) {}

CWmSyncReader::~CWmSyncReader() {
    // A sample being decoded on another thread holds the lock and a cursor
    // that points into what is torn down here.
    Lock lock(*m_pLock);
    CloseLocked();
}

HRESULT CWmSyncReader::Create(IWMSyncReader** ppReader) noexcept try {
    if (!ppReader) return E_POINTER;
    *ppReader = nullptr;
    auto lock = std::make_shared<std::recursive_mutex>();
    auto* reader = new (std::nothrow) CWmSyncReader(std::move(lock));
    if (!reader) return E_OUTOFMEMORY;
    *ppReader = reader;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IWMSyncReader) {
        *ppv = static_cast<IWMSyncReader*>(this);
    } else if (riid == IID_IWMHeaderInfo || riid == IID_IWMHeaderInfo2 || riid == IID_IWMHeaderInfo3) {
        *ppv = static_cast<IWMHeaderInfo3*>(this);
    } else if (riid == IID_IWMProfile || riid == IID_IWMProfile2 || riid == IID_IWMProfile3) {
        // The file's profile stands in for the reader's own profile view.
        Lock lock(*m_pLock);
        if (!m_pProfile) return E_NOINTERFACE;
        return m_pProfile->QueryInterface(riid, ppv);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CWmSyncReader::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

CWmSyncReader::SStream* CWmSyncReader::FindStream(WORD wStreamNum) noexcept {
    for (auto& s : m_streams)
        if (s.timeline.wStreamNum == wStreamNum) return &s;
    return nullptr;
}

CWmSyncReader::SStream* CWmSyncReader::FindOutput(DWORD dwOutputNum) noexcept {
    if (dwOutputNum >= m_outputs.size()) return nullptr;
    return FindStream(m_outputs[dwOutputNum]);
}

HRESULT CWmSyncReader::Open(const WCHAR*) noexcept {
    // Files reach this layer only as the caller's stream.
    return E_NOTIMPL;
}

HRESULT CWmSyncReader::OpenStream(IStream* pStream) noexcept try {
    if (!pStream) return E_INVALIDARG;
    Lock lock(*m_pLock);
    CloseLocked();
    const HRESULT hr = OpenLocked(pStream);
    if (FAILED(hr)) CloseLocked();
    return hr;
} catch (const std::bad_alloc&) {
    CloseLocked();
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::OpenLocked(IStream* pStream) {
    HRESULT hr = CStreamSource::Create(pStream, m_pSource);
    if (FAILED(hr)) return hr;
    m_pHeader = std::make_unique<CAsfHeaderInfo>();
    hr = m_pHeader->Read(*m_pSource);
    if (FAILED(hr)) return hr;

    m_streams.clear();
    m_streams.reserve(m_pHeader->m_streams.size());
    std::vector<SStreamTimeline> timelines;
    for (const auto& info : m_pHeader->m_streams) {
        SStreamTimeline t;
        t.wStreamNum = info.wStreamNum;
        t.kind = info.kind;
        if (info.kind == AsfStreamKind::Video) {
            BITMAPINFOHEADER bih;
            std::memcpy(&bih, info.format.data(), sizeof bih);
            t.codec = VideoCodecFor(bih.biCompression);
        } else if (info.kind == AsfStreamKind::Audio) {
            WAVEFORMATEX wfx;
            std::memcpy(&wfx, info.format.data(), sizeof wfx);
            t.codec = AudioCodecFor(wfx, info.format.data() + sizeof wfx, info.format.size() - sizeof wfx);
        }
        timelines.push_back(t);
    }
    CAsfTimeline analysis;
    hr = analysis.Analyze(m_pSource, *m_pHeader, timelines);
    if (FAILED(hr)) return hr;
    m_origin = analysis.Origin();
    m_cnsDuration = static_cast<QWORD>(std::max<int64_t>(0, analysis.Duration()));
    for (size_t i = 0; i < timelines.size(); ++i) {
        SStream stream;
        stream.timeline = timelines[i];
        stream.pInfo = &m_pHeader->m_streams[i];
        if (stream.timeline.IsVideo()) {
            BITMAPINFOHEADER bih;
            std::memcpy(&bih, stream.pInfo->format.data(), sizeof bih);
            stream.width = bih.biWidth;
            stream.height = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
        } else if (stream.timeline.IsAudio()) {
            WAVEFORMATEX wfx;
            std::memcpy(&wfx, stream.pInfo->format.data(), sizeof wfx);
            if (stream.timeline.channels <= 0) stream.timeline.channels = wfx.nChannels;
            if (stream.timeline.sampleRate <= 0) stream.timeline.sampleRate = static_cast<int>(wfx.nSamplesPerSec);
        }
        m_streams.push_back(std::move(stream));
    }

    // Of streams that exclude one another by bit rate, the platform's reader
    // without a bandwidth limit plays the highest whose data the file holds.
    std::vector<WORD> excluded;
    for (const auto& exclusion : m_pHeader->m_exclusions) {
        const SStream* best = nullptr;
        for (const WORD w : exclusion.streams) {
            const SStream* s = FindStream(w);
            if (!s || !s->timeline.bHasData) continue;
            if (!best || s->pInfo->dwBitrate > best->pInfo->dwBitrate) best = s;
        }
        for (const WORD w : exclusion.streams)
            if (!best || w != best->timeline.wStreamNum) excluded.push_back(w);
    }
    m_outputs.clear();
    for (auto& s : m_streams) {
        const bool media = s.timeline.IsVideo() || s.timeline.IsAudio();
        const bool out = media && std::find(excluded.begin(), excluded.end(), s.timeline.wStreamNum) == excluded.end();
        if (out) {
            s.bOutput = true;
            s.dwOutput = static_cast<DWORD>(m_outputs.size());
            m_outputs.push_back(s.timeline.wStreamNum);
        } else if (media) {
            s.selection = WMT_OFF;
        }
        if (s.DecodesAudio()) s.audioOut = AudioChoices(s).front();
    }

    m_pSeeker = std::make_unique<CAsfSeeker>(m_pSource, *m_pHeader);
    hr = BuildProfile();
    if (FAILED(hr)) return hr;
    CReaderAttributes::SFileFacts facts;
    facts.cnsDuration = m_cnsDuration;
    facts.cbFileSize = m_pHeader->m_qwFileSize ? m_pHeader->m_qwFileSize : m_pSource->Size();
    for (const auto& s : m_pHeader->m_streams) {
        facts.bHasAudio = facts.bHasAudio || s.kind == AsfStreamKind::Audio;
        facts.bHasVideo = facts.bHasVideo || s.kind == AsfStreamKind::Video;
        facts.bHasImage = facts.bHasImage || s.kind == AsfStreamKind::Image;
        facts.bHasScript = facts.bHasScript || s.kind == AsfStreamKind::Command;
    }
    m_attributes.Build(*m_pHeader, facts);
    m_cnsRangeStart = 0;
    m_cnsRangeDuration = 0;
    m_bOpen = true;
    return S_OK;
}

HRESULT CWmSyncReader::BuildProfile() {
    ComPtr<IWMProfile> profile;
    HRESULT hr = CWmProfile::Create(WMT_VER_9_0, profile.Put());
    if (FAILED(hr)) return hr;
    for (const auto& s : m_streams) {
        const WmMediaType type = StoredMediaType(*s.pInfo, s.DecodesAudio());
        ComPtr<CWmStreamConfig> config;
        hr = CWmStreamConfig::Create(type, config.Put());
        if (FAILED(hr)) return hr;
        // The profile keeps numbers the platform's writer can give; a file
        // from elsewhere may use others, which then stay out of it.
        if (FAILED(config->SetStreamNumber(s.timeline.wStreamNum))) continue;
        config->SetBitrate(s.pInfo->dwBitrate);
        if (s.pInfo->bHasExtended) config->SetBufferWindow(s.pInfo->dwBufferSize);
        if (!s.pInfo->name.empty()) config->SetStreamName(s.pInfo->name.c_str());
        const std::u16string connection = NumberText(s.timeline.wStreamNum);
        config->SetConnectionName(connection.c_str());
        hr = profile->AddStream(static_cast<IWMStreamConfig3*>(config.Get()));
        if (FAILED(hr)) return hr;
    }
    for (const auto& exclusion : m_pHeader->m_exclusions) {
        ComPtr<IWMMutualExclusion> me;
        hr = CWmMutualExclusion::Create(me.Put());
        if (FAILED(hr)) return hr;
        me->SetType(exclusion.type);
        for (const WORD w : exclusion.streams) me->AddStream(w);
        hr = profile->AddMutualExclusion(me.Get());
        if (FAILED(hr)) return hr;
    }
    m_pProfile = std::move(profile);
    return S_OK;
}

void CWmSyncReader::CloseLocked() noexcept {
    m_bOpen = false;
    m_streams.clear();
    m_outputs.clear();
    m_pSeeker.reset();
    m_pProfile.Reset();
    m_attributes.Clear();
    m_pHeader.reset();
    m_pSource.reset();
}

HRESULT CWmSyncReader::Close() noexcept {
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    CloseLocked();
    return S_OK;
}

void CWmSyncReader::ResetCursor(SStream& stream) noexcept {
    stream.pVideo.reset();
    stream.pAudio.reset();
    stream.pCompressed.reset();
    stream.pending.reset();
}

HRESULT CWmSyncReader::SetRange(QWORD cnsStartTime, LONGLONG cnsDuration) noexcept {
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    if (cnsDuration < 0) return E_INVALIDARG;
    m_cnsRangeStart = cnsStartTime;
    m_cnsRangeDuration = cnsDuration;
    const auto start = static_cast<int64_t>(std::min<QWORD>(cnsStartTime, INT64_MAX / 4));
    for (auto& s : m_streams) {
        s.pending.reset();
        if (s.pVideo) s.pVideo->SetRange(start);
        if (s.pAudio) s.pAudio->SetRange(start);
        if (s.pCompressed) s.pCompressed->SetRange(start);
    }
    return S_OK;
}

HRESULT CWmSyncReader::SetRangeByFrame(WORD, QWORD, LONGLONG) noexcept { return E_NOTIMPL; }

HRESULT CWmSyncReader::FetchOnce(SStream& s, SPending& pending) noexcept try {
    const auto start = static_cast<int64_t>(std::min<QWORD>(m_cnsRangeStart, INT64_MAX / 4));
    HRESULT hr = S_OK;
    const DWORD keyFlag = WM_SF_CLEANPOINT;
    if (s.DecodesVideo() && !s.bReadCompressed) {
        if (!s.pVideo) {
            hr = CVideoCursor::Create(m_pSource, *m_pHeader, *m_pSeeker, s.timeline, m_origin, s.pVideo);
            if (FAILED(hr)) return hr;
            s.pVideo->SetRange(start);
        }
        SVideoSlot slot;
        hr = s.pVideo->Next(slot);
        if (FAILED(hr)) return hr;
        const DWORD cb = VideoOutImageSize(s.videoOut, s.width, s.height);
        std::weak_ptr<CVideoCursor> weak = s.pVideo;
        std::shared_ptr<std::recursive_mutex> sharedLock = m_pLock;
        const VideoOut format = s.videoOut;
        const int width = s.width;
        const int height = s.height;
        const SPictureKey picture = slot.picture;
        // The picture's own interlace flags replace the expected ones once it
        // is decoded; the sample owns the fill, so a plain pointer back is safe.
        auto self = std::make_shared<INSSBuffer3*>(nullptr);
        ComPtr<INSSBuffer> sample;
        hr = CNSSBuffer::CreateDeferred(
            cb,
            [weak, sharedLock, picture, format, width, height, self](BYTE* pDest, DWORD) -> HRESULT {
                Lock inner(*sharedLock);
                const auto cursor = weak.lock();
                if (!cursor) return NS_E_INVALID_REQUEST;
                BYTE contentType = 0;
                const HRESULT hrRender = cursor->Render(picture, format, width, height, pDest, &contentType);
                if (SUCCEEDED(hrRender) && *self)
                    (*self)->SetProperty(WM_SampleExtensionGUID_ContentType, &contentType, sizeof contentType);
                return hrRender;
            },
            sample.Put());
        if (FAILED(hr)) return hr;
        ComPtr<INSSBuffer3> props;
        if (SUCCEEDED(sample.As(props))) {
            // Until then: the flags of the last picture decoded, which for the
            // first sample are the first picture's own.
            BYTE contentType = s.pVideo->ContentType();
            props->SetProperty(WM_SampleExtensionGUID_ContentType, &contentType, sizeof contentType);
            *self = props.Get();
        }
        pending.pSample = std::move(sample);
        pending.cnsTime = static_cast<QWORD>(s.timeline.grid.TimeOf(slot.index));
        pending.cnsDuration = static_cast<QWORD>(s.timeline.grid.Step());
        pending.dwFlags = (slot.bKey ? keyFlag : 0) | (slot.bDiscontinuity ? WM_SF_DISCONTINUITY : 0);
        return S_OK;
    }
    if (s.DecodesAudio() && !s.bReadCompressed) {
        if (!s.pAudio) {
            hr = CAudioCursor::Create(m_pSource, *m_pHeader, *m_pSeeker, s.timeline, s.pAudio);
            if (FAILED(hr)) return hr;
            s.pAudio->SetOutput(s.audioOut);
            s.pAudio->SetRange(start);
        }
        SAudioChunk chunk;
        hr = s.pAudio->Next(chunk);
        if (FAILED(hr)) return hr;
        ComPtr<INSSBuffer> sample;
        auto data = chunk.data;
        hr = CNSSBuffer::Wrap(data->data(), static_cast<DWORD>(data->size()), data, sample.Put());
        if (FAILED(hr)) return hr;
        pending.pSample = std::move(sample);
        pending.cnsTime = static_cast<QWORD>(std::max<int64_t>(0, s.timeline.SampleTime(chunk.firstSample)));
        pending.cnsDuration = static_cast<QWORD>(s.timeline.SampleTime(chunk.firstSample + chunk.frames) -
                                                 s.timeline.SampleTime(chunk.firstSample));
        pending.dwFlags = keyFlag | (chunk.bDiscontinuity ? WM_SF_DISCONTINUITY : 0);
        return S_OK;
    }
    if (!s.pCompressed) {
        hr = CCompressedCursor::Create(m_pSource, *m_pHeader, *m_pSeeker, s.timeline, m_origin, s.pCompressed);
        if (FAILED(hr)) return hr;
        s.pCompressed->SetRange(start);
    }
    SCompressedSample compressed;
    hr = s.pCompressed->Next(compressed);
    if (FAILED(hr)) return hr;
    ComPtr<INSSBuffer> sample;
    AVPacket* pkt = compressed.pkt.get();
    hr = CNSSBuffer::Wrap(pkt->data, static_cast<DWORD>(pkt->size), compressed.pkt, sample.Put());
    if (FAILED(hr)) return hr;
    pending.pSample = std::move(sample);
    pending.cnsTime = static_cast<QWORD>(compressed.time);
    pending.cnsDuration = static_cast<QWORD>(std::max<int64_t>(0, compressed.duration));
    pending.dwFlags = (compressed.bKey || s.timeline.IsAudio() ? keyFlag : 0) |
                      (compressed.bDiscontinuity ? WM_SF_DISCONTINUITY : 0);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::Fetch(SStream& s, SPending& pending) noexcept {
    if (s.pending) {
        pending = std::move(*s.pending);
        s.pending.reset();
        return S_OK;
    }
    for (;;) {
        const HRESULT hr = FetchOnce(s, pending);
        if (FAILED(hr)) return hr;
        if (m_cnsRangeDuration > 0 && pending.cnsTime >= m_cnsRangeStart + static_cast<QWORD>(m_cnsRangeDuration))
            return NS_E_NO_MORE_SAMPLES;
        if (s.selection == WMT_CLEANPOINT_ONLY && !(pending.dwFlags & WM_SF_CLEANPOINT)) continue;
        return S_OK;
    }
}

HRESULT CWmSyncReader::GetNextSample(WORD wStreamNum, INSSBuffer** ppSample, QWORD* pcnsSampleTime,
                                     QWORD* pcnsDuration, DWORD* pdwFlags, DWORD* pdwOutputNum,
                                     WORD* pwStreamNum) noexcept {
    if (!ppSample || !pcnsSampleTime) return E_POINTER;
    *ppSample = nullptr;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    SStream* chosen = nullptr;
    SPending pending;
    if (wStreamNum != 0) {
        chosen = FindStream(wStreamNum);
        if (!chosen || chosen->selection == WMT_OFF) return NS_E_INVALID_REQUEST;
        const HRESULT hr = Fetch(*chosen, pending);
        if (FAILED(hr)) return hr;
    } else {
        // The earliest next sample of the selected streams.
        for (auto& s : m_streams) {
            if (s.selection == WMT_OFF || !(s.timeline.IsAudio() || s.timeline.IsVideo())) continue;
            if (!s.pending) {
                SPending next;
                const HRESULT hr = Fetch(s, next);
                if (hr == NS_E_NO_MORE_SAMPLES) continue;
                if (FAILED(hr)) return hr;
                s.pending = std::move(next);
            }
            if (!chosen || s.pending->cnsTime < chosen->pending->cnsTime) chosen = &s;
        }
        if (!chosen) return NS_E_NO_MORE_SAMPLES;
        pending = std::move(*chosen->pending);
        chosen->pending.reset();
    }
    *ppSample = pending.pSample.Detach();
    *pcnsSampleTime = pending.cnsTime;
    if (pcnsDuration) *pcnsDuration = pending.cnsDuration;
    if (pdwFlags) *pdwFlags = pending.dwFlags;
    if (pdwOutputNum) *pdwOutputNum = chosen->bOutput ? chosen->dwOutput : 0xFFFFFFFF;
    if (pwStreamNum) *pwStreamNum = chosen->timeline.wStreamNum;
    return S_OK;
}

HRESULT CWmSyncReader::SetStreamsSelected(WORD cStreamCount, WORD* pwStreamNumbers,
                                          WMT_STREAM_SELECTION* pSelections) noexcept {
    if (cStreamCount == 0) return E_INVALIDARG;
    if (!pwStreamNumbers || !pSelections) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    for (WORD i = 0; i < cStreamCount; ++i) {
        if (!FindStream(pwStreamNumbers[i])) return NS_E_INVALID_REQUEST;
        if (pSelections[i] < WMT_OFF || pSelections[i] > WMT_ON) return E_INVALIDARG;
    }
    for (WORD i = 0; i < cStreamCount; ++i) {
        SStream* s = FindStream(pwStreamNumbers[i]);
        s->selection = pSelections[i];
        s->pending.reset();
    }
    return S_OK;
}

HRESULT CWmSyncReader::GetStreamSelected(WORD wStreamNum, WMT_STREAM_SELECTION* pSelection) noexcept {
    if (!pSelection) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindStream(wStreamNum);
    if (!s) return NS_E_INVALID_REQUEST;
    *pSelection = s->selection;
    return S_OK;
}

HRESULT CWmSyncReader::SetReadStreamSamples(WORD wStreamNum, BOOL fCompressed) noexcept {
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    SStream* s = FindStream(wStreamNum);
    if (!s) return NS_E_INVALID_REQUEST;
    const bool compressed = fCompressed != FALSE;
    if (compressed != s->bReadCompressed) {
        s->bReadCompressed = compressed;
        ResetCursor(*s);
    }
    return S_OK;
}

HRESULT CWmSyncReader::GetReadStreamSamples(WORD wStreamNum, BOOL* pfCompressed) noexcept {
    if (!pfCompressed) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindStream(wStreamNum);
    if (!s) return NS_E_INVALID_REQUEST;
    *pfCompressed = s->bReadCompressed ? TRUE : FALSE;
    return S_OK;
}

HRESULT CWmSyncReader::GetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                                        BYTE* pValue, WORD* pcbLength) noexcept {
    if (!pszName || !pType || !pcbLength) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindOutput(dwOutputNum);
    if (!s) return E_INVALIDARG;
    DWORD value = 0;
    if (SameName(pszName, g_wszAllowInterlacedOutput)) {
        *pType = WMT_TYPE_BOOL;
        value = s->bAllowInterlaced ? TRUE : FALSE;
    } else if (SameName(pszName, g_wszEnableDiscreteOutput)) {
        *pType = WMT_TYPE_BOOL;
        value = s->bDiscrete ? TRUE : FALSE;
    } else if (SameName(pszName, g_wszSpeakerConfig)) {
        *pType = WMT_TYPE_DWORD;
        value = s->dwSpeakerConfig;
    } else {
        return NS_E_UNSUPPORTED_PROPERTY;
    }
    return CopyBytesOut(&value, sizeof value, pValue, pcbLength);
}

HRESULT CWmSyncReader::SetOutputSetting(DWORD dwOutputNum, LPCWSTR pszName, WMT_ATTR_DATATYPE /*Type*/,
                                        const BYTE* pValue, WORD cbLength) noexcept {
    if (!pszName) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    SStream* s = FindOutput(dwOutputNum);
    if (!s) return E_INVALIDARG;
    DWORD value = 0;
    if (pValue && cbLength >= sizeof(DWORD)) std::memcpy(&value, pValue, sizeof value);
    else if (pValue && cbLength >= sizeof(WORD)) value = static_cast<DWORD>(pValue[0] | (pValue[1] << 8));
    else if (pValue && cbLength >= 1) value = pValue[0];
    if (SameName(pszName, g_wszAllowInterlacedOutput)) {
        s->bAllowInterlaced = value != 0;
    } else if (SameName(pszName, g_wszEnableDiscreteOutput) || SameName(pszName, g_wszSpeakerConfig)) {
        if (SameName(pszName, g_wszEnableDiscreteOutput)) {
            s->bDiscrete = value != 0;
        } else {
            s->bSpeakerConfig = true;
            s->dwSpeakerConfig = value;
        }
        // The default output follows what the stream can give now.
        if (s->DecodesAudio() && !s->bAudioOutChosen) {
            s->audioOut = AudioChoices(*s).front();
            if (s->pAudio) s->pAudio->SetOutput(s->audioOut);
        }
    }
    // Other settings tune the platform's own decoders; nothing to do here.
    return S_OK;
}

HRESULT CWmSyncReader::GetOutputCount(DWORD* pcOutputs) noexcept {
    if (!pcOutputs) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    *pcOutputs = static_cast<DWORD>(m_outputs.size());
    return S_OK;
}

std::vector<SAudioOut> CWmSyncReader::AudioChoices(const SStream& s) const {
    WAVEFORMATEX wfx{};
    std::memcpy(&wfx, s.pInfo->format.data(), sizeof wfx);
    return AudioOutputChoices(s.timeline.channels, wfx.wBitsPerSample, s.bDiscrete && s.bSpeakerConfig);
}

WmMediaType CWmSyncReader::OutputType(const SStream& s) const {
    if (s.DecodesVideo()) return VideoOutputType(s.videoOut, s.width, s.height);
    if (s.DecodesAudio()) return AudioOutputType(s.timeline.sampleRate, s.audioOut);
    return StoredMediaType(*s.pInfo, false);
}

std::vector<WmMediaType> CWmSyncReader::OutputFormats(const SStream& s) const {
    std::vector<WmMediaType> formats;
    if (s.DecodesVideo()) {
        for (const VideoOut f : kVideoOutOrder) formats.push_back(VideoOutputType(f, s.width, s.height));
    } else if (s.DecodesAudio()) {
        for (const auto& out : AudioChoices(s)) formats.push_back(AudioOutputType(s.timeline.sampleRate, out));
    } else {
        formats.push_back(StoredMediaType(*s.pInfo, false));
    }
    return formats;
}

HRESULT CWmSyncReader::GetOutputProps(DWORD dwOutputNum, IWMOutputMediaProps** ppOutput) noexcept try {
    if (!ppOutput) return E_POINTER;
    *ppOutput = nullptr;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindOutput(dwOutputNum);
    if (!s) return E_INVALIDARG;
    const std::u16string connection = NumberText(s->timeline.wStreamNum);
    return CWmMediaProps::CreateOutput(OutputType(*s), u"", connection, ppOutput);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::SetOutputProps(DWORD dwOutputNum, IWMOutputMediaProps* pOutput) noexcept try {
    if (!pOutput) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    SStream* s = FindOutput(dwOutputNum);
    if (!s) return E_INVALIDARG;
    DWORD cb = 0;
    HRESULT hr = pOutput->GetMediaType(nullptr, &cb);
    if (FAILED(hr)) return hr;
    if (cb < sizeof(WM_MEDIA_TYPE)) return NS_E_INVALID_OUTPUT_FORMAT;
    std::vector<BYTE> buffer(cb);
    auto* pType = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    hr = pOutput->GetMediaType(pType, &cb);
    if (FAILED(hr)) return hr;
    WmMediaType type;
    hr = type.Assign(*pType);
    if (FAILED(hr)) return hr;
    if (s->DecodesVideo()) {
        VideoOut format;
        const VIDEOINFOHEADER* vih = type.VideoInfo();
        if (!(type.MajorType() == MEDIATYPE_Video) || !vih || !VideoOutFromSubtype(type.SubType(), format))
            return NS_E_INVALID_OUTPUT_FORMAT;
        const LONG width = vih->bmiHeader.biWidth;
        const LONG height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return NS_E_INVALID_OUTPUT_FORMAT;
        s->videoOut = format;
        s->width = width;
        s->height = height;
        return S_OK;
    }
    if (s->DecodesAudio()) {
        SAudioOut out;
        if (!AudioOutFromType(type, s->timeline.sampleRate, out)) return NS_E_INVALID_OUTPUT_FORMAT;
        s->audioOut = out;
        s->bAudioOutChosen = true;
        if (s->pAudio) s->pAudio->SetOutput(out);
        return S_OK;
    }
    // Stored samples come only as stored.
    return type == StoredMediaType(*s->pInfo, false) ? S_OK : NS_E_INVALID_OUTPUT_FORMAT;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::GetOutputFormatCount(DWORD dwOutputNum, DWORD* pcFormats) noexcept try {
    if (!pcFormats) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindOutput(dwOutputNum);
    if (!s) return E_INVALIDARG;
    *pcFormats = static_cast<DWORD>(OutputFormats(*s).size());
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::GetOutputFormat(DWORD dwOutputNum, DWORD dwFormatNum,
                                       IWMOutputMediaProps** ppProps) noexcept try {
    if (!ppProps) return E_POINTER;
    *ppProps = nullptr;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindOutput(dwOutputNum);
    if (!s) return E_INVALIDARG;
    const auto formats = OutputFormats(*s);
    if (dwFormatNum >= formats.size()) return E_INVALIDARG;
    const std::u16string connection = NumberText(s->timeline.wStreamNum);
    return CWmMediaProps::CreateOutput(formats[dwFormatNum], u"", connection, ppProps);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::GetOutputNumberForStream(WORD wStreamNum, DWORD* pdwOutputNum) noexcept {
    if (!pdwOutputNum) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindStream(wStreamNum);
    if (!s || !s->bOutput) return E_INVALIDARG;
    *pdwOutputNum = s->dwOutput;
    return S_OK;
}

HRESULT CWmSyncReader::GetStreamNumberForOutput(DWORD dwOutputNum, WORD* pwStreamNum) noexcept {
    if (!pwStreamNum) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    if (dwOutputNum >= m_outputs.size()) return E_INVALIDARG;
    *pwStreamNum = m_outputs[dwOutputNum];
    return S_OK;
}

HRESULT CWmSyncReader::GetMaxOutputSampleSize(DWORD dwOutput, DWORD* pcbMax) noexcept {
    if (!pcbMax) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindOutput(dwOutput);
    if (!s) return E_INVALIDARG;
    if (s->DecodesVideo()) {
        *pcbMax = VideoOutImageSize(s->videoOut, s->width, s->height);
    } else if (s->DecodesAudio()) {
        // A decoded block never exceeds a quarter second or one object's
        // frames, which stay below this.
        *pcbMax = static_cast<DWORD>(s->audioOut.channels * (s->audioOut.bits / 8)) *
                  static_cast<DWORD>(std::max(65536, s->timeline.sampleRate / 4));
    } else {
        return GetMaxStreamSampleSize(s->timeline.wStreamNum, pcbMax);
    }
    return S_OK;
}

HRESULT CWmSyncReader::GetMaxStreamSampleSize(WORD wStream, DWORD* pcbMax) noexcept {
    if (!pcbMax) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SStream* s = FindStream(wStream);
    if (!s) return E_INVALIDARG;
    DWORD cb = s->pInfo->dwMaxObjectSize;
    if (!cb) cb = std::max<DWORD>(m_pHeader->m_dwMaxPacketSize, 1) * 64;
    *pcbMax = cb;
    return S_OK;
}

// IWMHeaderInfo

HRESULT CWmSyncReader::GetAttributeCount(WORD wStreamNum, WORD* pcAttributes) noexcept {
    if (!pcAttributes) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    *pcAttributes = m_attributes.Count(wStreamNum);
    return S_OK;
}

HRESULT CWmSyncReader::GetAttributeByIndex(WORD wIndex, WORD* pwStreamNum, WCHAR* pwszName,
                                           WORD* pcchNameLen, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                                           WORD* pcbLength) noexcept {
    if (!pwStreamNum || !pcchNameLen || !pType || !pcbLength) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SAsfAttribute* attr = m_attributes.ByIndex(*pwStreamNum, wIndex);
    if (!attr) return E_INVALIDARG;
    const HRESULT hr = CopyStringOut(attr->name, pwszName, pcchNameLen);
    if (FAILED(hr)) return hr;
    return CopyValue(*attr, pType, pValue, pcbLength);
}

HRESULT CWmSyncReader::GetAttributeByName(WORD* pwStreamNum, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType,
                                          BYTE* pValue, WORD* pcbLength) noexcept try {
    if (!pwStreamNum || !pszName || !pType || !pcbLength) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SAsfAttribute* attr = m_attributes.ByName(*pwStreamNum, pszName);
    if (!attr) return ASF_E_NOTFOUND;
    return CopyValue(*attr, pType, pValue, pcbLength);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::SetAttribute(WORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE*, WORD) noexcept { return E_NOTIMPL; }

HRESULT CWmSyncReader::GetMarkerCount(WORD* pcMarkers) noexcept {
    if (!pcMarkers) return E_POINTER;
    *pcMarkers = 0;
    return S_OK;
}

HRESULT CWmSyncReader::GetMarker(WORD, WCHAR*, WORD*, QWORD*) noexcept { return E_INVALIDARG; }
HRESULT CWmSyncReader::AddMarker(const WCHAR*, QWORD) noexcept { return E_NOTIMPL; }
HRESULT CWmSyncReader::RemoveMarker(WORD) noexcept { return E_NOTIMPL; }

HRESULT CWmSyncReader::GetScriptCount(WORD* pcScripts) noexcept {
    if (!pcScripts) return E_POINTER;
    *pcScripts = 0;
    return S_OK;
}

HRESULT CWmSyncReader::GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) noexcept { return E_INVALIDARG; }
HRESULT CWmSyncReader::AddScript(const WCHAR*, const WCHAR*, QWORD) noexcept { return E_NOTIMPL; }
HRESULT CWmSyncReader::RemoveScript(WORD) noexcept { return E_NOTIMPL; }

HRESULT CWmSyncReader::GetCodecInfoCount(DWORD* pcCodecInfos) noexcept {
    if (!pcCodecInfos) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    *pcCodecInfos = static_cast<DWORD>(m_pHeader->m_codecs.size());
    return S_OK;
}

HRESULT CWmSyncReader::GetCodecInfo(DWORD wIndex, WORD* pcchName, WCHAR* pwszName, WORD* pcchDescription,
                                    WCHAR* pwszDescription, WMT_CODEC_INFO_TYPE* pCodecType,
                                    WORD* pcbCodecInfo, BYTE* pbCodecInfo) noexcept {
    if (!pcchName || !pcchDescription || !pCodecType || !pcbCodecInfo) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    if (wIndex >= m_pHeader->m_codecs.size()) return E_INVALIDARG;
    const SAsfCodecEntry& entry = m_pHeader->m_codecs[wIndex];
    *pCodecType = entry.wType == 1   ? WMT_CODECINFO_VIDEO
                  : entry.wType == 2 ? WMT_CODECINFO_AUDIO
                                     : WMT_CODECINFO_UNKNOWN;
    HRESULT hr = CopyStringOut(entry.name, pwszName, pcchName);
    if (FAILED(hr)) return hr;
    hr = CopyStringOut(entry.description, pwszDescription, pcchDescription);
    if (FAILED(hr)) return hr;
    return CopyBytesOut(entry.info.data(), entry.info.size(), pbCodecInfo, pcbCodecInfo);
}

HRESULT CWmSyncReader::GetAttributeCountEx(WORD wStreamNum, WORD* pcAttributes) noexcept {
    return GetAttributeCount(wStreamNum, pcAttributes);
}

HRESULT CWmSyncReader::GetAttributeIndices(WORD wStreamNum, LPCWSTR pwszName, WORD* pwLangIndex,
                                           WORD* pwIndices, WORD* pwCount) noexcept try {
    if (!pwszName || !pwCount) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const auto indices = m_attributes.Indices(wStreamNum, pwszName, pwLangIndex);
    const WORD given = *pwCount;
    *pwCount = static_cast<WORD>(indices.size());
    if (!pwIndices) return S_OK;
    if (given < indices.size()) return ASF_E_BUFFERTOOSMALL;
    std::copy(indices.begin(), indices.end(), pwIndices);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CWmSyncReader::GetAttributeByIndexEx(WORD wStreamNum, WORD wIndex, LPWSTR pwszName, WORD* pwNameLen,
                                             WMT_ATTR_DATATYPE* pType, WORD* pwLangIndex, BYTE* pValue,
                                             DWORD* pdwDataLength) noexcept {
    if (!pwNameLen || !pType || !pwLangIndex || !pdwDataLength) return E_POINTER;
    Lock lock(*m_pLock);
    if (!m_bOpen) return NS_E_INVALID_REQUEST;
    const SAsfAttribute* attr = m_attributes.ByIndex(wStreamNum, wIndex);
    if (!attr) return E_INVALIDARG;
    const HRESULT hr = CopyStringOut(attr->name, pwszName, pwNameLen);
    if (FAILED(hr)) return hr;
    *pType = attr->type;
    *pwLangIndex = attr->wLangIndex;
    return CopyBytesOut(attr->value.data(), attr->value.size(), pValue, pdwDataLength);
}

HRESULT CWmSyncReader::ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmSyncReader::AddAttribute(WORD, LPCWSTR, WORD*, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) noexcept {
    return E_NOTIMPL;
}
HRESULT CWmSyncReader::DeleteAttribute(WORD, WORD) noexcept { return E_NOTIMPL; }
HRESULT CWmSyncReader::AddCodecInfo(const WCHAR*, const WCHAR*, WMT_CODEC_INFO_TYPE, WORD, BYTE*) noexcept {
    return E_NOTIMPL;
}
