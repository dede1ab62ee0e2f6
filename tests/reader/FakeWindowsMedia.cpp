#include "FakeWindowsMedia.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "win/NsError.h"
#include "win/ObjIdl.h"
#include "wmf/WmAttributes.h"

namespace {

template <class T>
std::vector<BYTE> BytesOf(const T& value) {
    const auto* p = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(p, p + sizeof(T));
}

// Reference counting shared by the fakes; each answers its own interfaces.
template <class... Interfaces>
class FakeObject : public Interfaces... {
public:
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override {
        const ULONG cRef = --m_cRef;
        if (cRef == 0) delete this;
        return cRef;
    }

protected:
    virtual ~FakeObject() = default;
    template <class I>
    HRESULT Answer(void** ppv) noexcept {
        *ppv = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }

private:
    std::atomic<ULONG> m_cRef{1};
};

class FakeBuffer final : public FakeObject<INSSBuffer3> {
public:
    explicit FakeBuffer(const FakeSample& sample) : m_sample(sample) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (riid == IID_IUnknown || riid == IID_INSSBuffer || riid == IID_INSSBuffer2 || riid == IID_INSSBuffer3)
            return Answer<INSSBuffer3>(ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetLength(DWORD* pcb) noexcept override {
        *pcb = static_cast<DWORD>(m_sample.data.size());
        return S_OK;
    }
    HRESULT SetLength(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetMaxLength(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetBuffer(BYTE**) noexcept override { return E_NOTIMPL; }
    HRESULT GetBufferAndLength(BYTE** ppData, DWORD* pcb) noexcept override {
        *ppData = m_sample.data.data();
        *pcb = static_cast<DWORD>(m_sample.data.size());
        return S_OK;
    }
    HRESULT GetSampleProperties(DWORD, BYTE*) noexcept override { return E_NOTIMPL; }
    HRESULT SetSampleProperties(DWORD, BYTE*) noexcept override { return E_NOTIMPL; }
    HRESULT SetProperty(GUID, void*, DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetProperty(GUID guid, void* pv, DWORD* pcb) noexcept override {
        if (!(guid == WM_SampleExtensionGUID_ContentType) || !m_sample.contentType) return NS_E_UNSUPPORTED_PROPERTY;
        if (!pv) {
            *pcb = 1;
            return S_OK;
        }
        if (*pcb < 1) return ASF_E_BUFFERTOOSMALL;
        *static_cast<BYTE*>(pv) = *m_sample.contentType;
        *pcb = 1;
        return S_OK;
    }

private:
    FakeSample m_sample;
};

class FakeProps final : public FakeObject<IWMOutputMediaProps> {
public:
    FakeProps(const FakeMediaType& type, size_t index) : m_type(type), m_index(index) {}
    size_t Index() const noexcept { return m_index; }
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (riid == IID_IUnknown || riid == IID_IWMMediaProps || riid == IID_IWMOutputMediaProps)
            return Answer<IWMOutputMediaProps>(ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetType(GUID* pguid) noexcept override {
        *pguid = m_type.majortype;
        return S_OK;
    }
    HRESULT GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcb) noexcept override { return m_type.CopyTo(pType, pcb); }
    HRESULT SetMediaType(WM_MEDIA_TYPE*) noexcept override { return E_NOTIMPL; }
    HRESULT GetStreamGroupName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetConnectionName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }

private:
    FakeMediaType m_type;
    size_t m_index;
};

class FakeStreamConfig final : public FakeObject<IWMStreamConfig, IWMVideoMediaProps> {
public:
    FakeStreamConfig(const FakeMediaType& type, DWORD dwBitrate) : m_type(type), m_dwBitrate(dwBitrate) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (riid == IID_IUnknown || riid == IID_IWMStreamConfig) return Answer<IWMStreamConfig>(ppv);
        if (riid == IID_IWMMediaProps || riid == IID_IWMVideoMediaProps) return Answer<IWMVideoMediaProps>(ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetStreamType(GUID*) noexcept override { return E_NOTIMPL; }
    HRESULT GetStreamNumber(WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetStreamNumber(WORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetStreamName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetStreamName(const WCHAR*) noexcept override { return E_NOTIMPL; }
    HRESULT GetConnectionName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetConnectionName(const WCHAR*) noexcept override { return E_NOTIMPL; }
    HRESULT GetBitrate(DWORD* pdw) noexcept override {
        *pdw = m_dwBitrate;
        return S_OK;
    }
    HRESULT SetBitrate(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetBufferWindow(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetBufferWindow(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetType(GUID* pguid) noexcept override {
        *pguid = m_type.majortype;
        return S_OK;
    }
    HRESULT GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcb) noexcept override { return m_type.CopyTo(pType, pcb); }
    HRESULT SetMediaType(WM_MEDIA_TYPE*) noexcept override { return E_NOTIMPL; }
    HRESULT GetMaxKeyFrameSpacing(LONGLONG*) noexcept override { return E_NOTIMPL; }
    HRESULT SetMaxKeyFrameSpacing(LONGLONG) noexcept override { return E_NOTIMPL; }
    HRESULT GetQuality(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetQuality(DWORD) noexcept override { return E_NOTIMPL; }

private:
    FakeMediaType m_type;
    DWORD m_dwBitrate;
};

const FakeOutput* OutputOfStream(WORD wStream) {
    for (const auto& output : Fake().file.outputs)
        if (output.wStream == wStream) return &output;
    return nullptr;
}

class FakeProfile final : public FakeObject<IWMProfile> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (riid == IID_IUnknown || riid == IID_IWMProfile) return Answer<IWMProfile>(ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetVersion(WMT_VERSION*) noexcept override { return E_NOTIMPL; }
    HRESULT GetName(WCHAR*, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetName(const WCHAR*) noexcept override { return E_NOTIMPL; }
    HRESULT GetDescription(WCHAR*, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetDescription(const WCHAR*) noexcept override { return E_NOTIMPL; }
    HRESULT GetStreamCount(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetStream(DWORD, IWMStreamConfig**) noexcept override { return E_NOTIMPL; }
    HRESULT GetStreamByNumber(WORD wStream, IWMStreamConfig** ppConfig) noexcept override {
        *ppConfig = nullptr;
        const FakeOutput* pOutput = OutputOfStream(wStream);
        if (!pOutput || !pOutput->bInProfile) return NS_E_INVALID_STREAM;
        *ppConfig = new FakeStreamConfig(pOutput->streamType, pOutput->dwBitrate);
        return S_OK;
    }
    HRESULT RemoveStream(IWMStreamConfig*) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveStreamByNumber(WORD) noexcept override { return E_NOTIMPL; }
    HRESULT AddStream(IWMStreamConfig*) noexcept override { return E_NOTIMPL; }
    HRESULT ReconfigStream(IWMStreamConfig*) noexcept override { return E_NOTIMPL; }
    HRESULT CreateNewStream(REFGUID, IWMStreamConfig**) noexcept override { return E_NOTIMPL; }
    HRESULT GetMutualExclusionCount(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetMutualExclusion(DWORD, IWMMutualExclusion**) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveMutualExclusion(IWMMutualExclusion*) noexcept override { return E_NOTIMPL; }
    HRESULT AddMutualExclusion(IWMMutualExclusion*) noexcept override { return E_NOTIMPL; }
    HRESULT CreateNewMutualExclusion(IWMMutualExclusion**) noexcept override { return E_NOTIMPL; }
};

class FakeHeaderInfo final : public FakeObject<IWMHeaderInfo3> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (riid == IID_IUnknown || riid == IID_IWMHeaderInfo || riid == IID_IWMHeaderInfo2 ||
            riid == IID_IWMHeaderInfo3)
            return Answer<IWMHeaderInfo3>(ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetAttributeCount(WORD, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*, BYTE*, WORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT GetAttributeByName(WORD* pwStream, LPCWSTR pszName, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                               WORD* pcb) noexcept override {
        const FakeFile& file = Fake().file;
        const std::u16string name = pszName;
        if (*pwStream == 0 && name == g_wszWMDuration && file.duration)
            return Copy(WMT_TYPE_QWORD, BytesOf(*file.duration), pType, pValue, pcb);
        const std::optional<DWORD>& aspect = name == g_wszWMAspectRatioX   ? file.aspectX
                                             : name == g_wszWMAspectRatioY ? file.aspectY
                                                                           : std::nullopt;
        if (*pwStream != 0 && aspect) return Copy(WMT_TYPE_DWORD, BytesOf(*aspect), pType, pValue, pcb);
        return ASF_E_NOTFOUND;
    }
    HRESULT SetAttribute(WORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE*, WORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetMarkerCount(WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetMarker(WORD, WCHAR*, WORD*, QWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT AddMarker(const WCHAR*, QWORD) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveMarker(WORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetScriptCount(WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT AddScript(const WCHAR*, const WCHAR*, QWORD) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveScript(WORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetCodecInfoCount(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetCodecInfo(DWORD, WORD*, WCHAR*, WORD*, WCHAR*, WMT_CODEC_INFO_TYPE*, WORD*, BYTE*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT GetAttributeCountEx(WORD, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetAttributeIndices(WORD, LPCWSTR, WORD*, WORD*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetAttributeByIndexEx(WORD, WORD, LPWSTR, WORD*, WMT_ATTR_DATATYPE*, WORD*, BYTE*,
                                  DWORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT AddAttribute(WORD, LPCWSTR, WORD*, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT DeleteAttribute(WORD, WORD) noexcept override { return E_NOTIMPL; }
    HRESULT AddCodecInfo(const WCHAR*, const WCHAR*, WMT_CODEC_INFO_TYPE, WORD, BYTE*) noexcept override {
        return E_NOTIMPL;
    }

private:
    static HRESULT Copy(WMT_ATTR_DATATYPE type, const std::vector<BYTE>& bytes, WMT_ATTR_DATATYPE* pType,
                        BYTE* pValue, WORD* pcb) noexcept {
        *pType = type;
        if (pValue) {
            if (*pcb < bytes.size()) return ASF_E_BUFFERTOOSMALL;
            std::memcpy(pValue, bytes.data(), bytes.size());
        }
        *pcb = static_cast<WORD>(bytes.size());
        return S_OK;
    }
};

class FakeSyncReader final : public FakeObject<IWMSyncReader> {
public:
    FakeSyncReader() { m_cursor.assign(Fake().file.outputs.size(), 0); }
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMSyncReader) return Answer<IWMSyncReader>(ppv);
        if (riid == IID_IWMProfile) {
            *ppv = static_cast<IWMProfile*>(new FakeProfile());
            return S_OK;
        }
        if (riid == IID_IWMHeaderInfo3 && Fake().file.bHeaderInfo) {
            *ppv = static_cast<IWMHeaderInfo3*>(new FakeHeaderInfo());
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    HRESULT Open(const WCHAR*) noexcept override { return E_NOTIMPL; }
    HRESULT Close() noexcept override {
        ++Fake().calls.cClosed;
        m_pStream.Reset();
        return S_OK;
    }
    HRESULT SetRange(QWORD cnsStart, LONGLONG) noexcept override {
        Fake().calls.ranges.push_back(cnsStart);
        if (cnsStart > Fake().file.cnsSeekLimit) return NS_E_INVALID_REQUEST;
        const auto& outputs = Fake().file.outputs;
        for (size_t i = 0; i < outputs.size(); ++i) {
            const auto& samples = outputs[i].samples;
            size_t cursor = 0;
            while (cursor + 1 < samples.size() && samples[cursor + 1].cnsTime <= cnsStart) ++cursor;
            if (samples.empty() || cnsStart > samples.back().cnsTime) cursor = samples.size();
            m_cursor[i] = cursor;
        }
        return S_OK;
    }
    HRESULT SetRangeByFrame(WORD, QWORD, LONGLONG) noexcept override { return E_NOTIMPL; }
    HRESULT GetNextSample(WORD wStream, INSSBuffer** ppSample, QWORD* pcnsTime, QWORD* pcnsDuration, DWORD* pdwFlags,
                          DWORD*, WORD*) noexcept override {
        *ppSample = nullptr;
        const auto& outputs = Fake().file.outputs;
        for (size_t i = 0; i < outputs.size(); ++i) {
            if (outputs[i].wStream != wStream) continue;
            if (m_cursor[i] >= outputs[i].samples.size()) return NS_E_NO_MORE_SAMPLES;
            const FakeSample& sample = outputs[i].samples[m_cursor[i]++];
            *ppSample = new FakeBuffer(sample);
            *pcnsTime = sample.cnsTime;
            *pcnsDuration = 0;
            *pdwFlags = 0;
            return S_OK;
        }
        return NS_E_INVALID_REQUEST;
    }
    HRESULT SetStreamsSelected(WORD cStreams, WORD* pwStreams, WMT_STREAM_SELECTION* pSelections) noexcept override {
        for (WORD i = 0; i < cStreams; ++i) Fake().calls.selection[pwStreams[i]] = pSelections[i];
        return S_OK;
    }
    HRESULT GetStreamSelected(WORD, WMT_STREAM_SELECTION*) noexcept override { return E_NOTIMPL; }
    HRESULT SetReadStreamSamples(WORD wStream, BOOL fCompressed) noexcept override {
        Fake().calls.compressed[wStream] = fCompressed;
        return S_OK;
    }
    HRESULT GetReadStreamSamples(WORD, BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT GetOutputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetOutputSetting(DWORD, LPCWSTR pszName, WMT_ATTR_DATATYPE, const BYTE*, WORD) noexcept override {
        Fake().calls.settings.emplace_back(pszName);
        return S_OK;
    }
    HRESULT GetOutputCount(DWORD* pc) noexcept override {
        *pc = static_cast<DWORD>(Fake().file.outputs.size());
        return S_OK;
    }
    HRESULT GetOutputProps(DWORD dwOutput, IWMOutputMediaProps** ppProps) noexcept override {
        *ppProps = new FakeProps(Fake().file.outputs.at(dwOutput).outputType, 0);
        return S_OK;
    }
    HRESULT SetOutputProps(DWORD dwOutput, IWMOutputMediaProps* pProps) noexcept override {
        Fake().calls.installedFormat[dwOutput] = static_cast<FakeProps*>(pProps)->Index();
        return S_OK;
    }
    HRESULT GetOutputFormatCount(DWORD dwOutput, DWORD* pc) noexcept override {
        *pc = static_cast<DWORD>(Fake().file.outputs.at(dwOutput).formats.size());
        return S_OK;
    }
    HRESULT GetOutputFormat(DWORD dwOutput, DWORD dwFormat, IWMOutputMediaProps** ppProps) noexcept override {
        *ppProps = new FakeProps(Fake().file.outputs.at(dwOutput).formats.at(dwFormat), dwFormat);
        return S_OK;
    }
    HRESULT GetOutputNumberForStream(WORD, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetStreamNumberForOutput(DWORD dwOutput, WORD* pwStream) noexcept override {
        *pwStream = Fake().file.outputs.at(dwOutput).wStream;
        return S_OK;
    }
    HRESULT GetMaxOutputSampleSize(DWORD, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetMaxStreamSampleSize(WORD, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT OpenStream(IStream* pStream) noexcept override {
        ++Fake().calls.cOpened;
        m_pStream = ComPtr<IStream>(pStream);
        return S_OK;
    }

private:
    std::vector<size_t> m_cursor;
    ComPtr<IStream> m_pStream;
};

class FakeProfileManager final : public FakeObject<IWMProfileManager, IWMCodecInfo> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (riid == IID_IUnknown || riid == IID_IWMProfileManager) return Answer<IWMProfileManager>(ppv);
        if (riid == IID_IWMCodecInfo) return Answer<IWMCodecInfo>(ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT CreateEmptyProfile(WMT_VERSION, IWMProfile**) noexcept override { return E_NOTIMPL; }
    HRESULT LoadProfileByID(REFGUID, IWMProfile**) noexcept override { return E_NOTIMPL; }
    HRESULT LoadProfileByData(const WCHAR*, IWMProfile**) noexcept override { return E_NOTIMPL; }
    HRESULT SaveProfile(IWMProfile*, WCHAR*, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetSystemProfileCount(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT LoadSystemProfile(DWORD, IWMProfile**) noexcept override { return E_NOTIMPL; }
    HRESULT GetCodecInfoCount(REFGUID, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetCodecFormatCount(REFGUID, DWORD, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetCodecFormat(REFGUID guidType, DWORD dwCodec, DWORD dwFormat,
                           IWMStreamConfig** ppConfig) noexcept override {
        *ppConfig = nullptr;
        if (!(guidType == WMMEDIATYPE_Video) || !Fake().bVideoCodec || dwCodec != 0 || dwFormat != 0)
            return NS_E_INVALID_REQUEST;
        *ppConfig = new FakeStreamConfig(VideoType(MakeFourCC('W', 'M', 'V', '2'), 320, 240), 500000);
        return S_OK;
    }
};

}  // namespace

HRESULT FakeMediaType::CopyTo(WM_MEDIA_TYPE* pType, DWORD* pcbType) const noexcept {
    const DWORD cb = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + format.size());
    if (!pType) {
        *pcbType = cb;
        return S_OK;
    }
    if (*pcbType < cb) return ASF_E_BUFFERTOOSMALL;
    *pType = WM_MEDIA_TYPE{majortype, subtype, TRUE, FALSE, 0, formattype, nullptr,
                           static_cast<ULONG>(format.size()), reinterpret_cast<BYTE*>(pType + 1)};
    std::memcpy(pType + 1, format.data(), format.size());
    *pcbType = cb;
    return S_OK;
}

FakeMediaType VideoType(DWORD dwFourCC, LONG nWidth, LONG nHeight, LONGLONG cnsAvgTimePerFrame,
                        const std::vector<BYTE>& codecData) {
    VIDEOINFOHEADER vih{};
    vih.AvgTimePerFrame = cnsAvgTimePerFrame;
    vih.bmiHeader.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + codecData.size());
    vih.bmiHeader.biWidth = nWidth;
    vih.bmiHeader.biHeight = nHeight;
    vih.bmiHeader.biCompression = dwFourCC;
    std::vector<BYTE> format(sizeof(vih) + codecData.size());
    std::memcpy(format.data(), &vih, sizeof(vih));
    std::copy(codecData.begin(), codecData.end(), format.begin() + sizeof(vih));
    return FakeMediaType{WMMEDIATYPE_Video, GuidFromFourCC(dwFourCC), WMFORMAT_VideoInfo, format};
}

FakeMediaType PictureType(const GUID& subtype) {
    FakeMediaType type = VideoType(subtype.Data1, 320, 240);
    type.subtype = subtype;
    return type;
}

FakeMediaType WaveType(const GUID& major, WORD wTag, WORD nChannels, DWORD nRate, WORD wBits, WORD nBlockAlign) {
    const WAVEFORMATEX wfx{wTag, nChannels, nRate, nRate * nBlockAlign, nBlockAlign, wBits, 0};
    return FakeMediaType{major, GuidFromFourCC(wTag), WMFORMAT_WaveFormatEx, BytesOf(wfx)};
}

std::vector<FakeSample> EvenSamples(size_t n, QWORD cnsStep, QWORD cnsFirst) {
    std::vector<FakeSample> samples(n);
    for (size_t i = 0; i < n; ++i) samples[i].cnsTime = cnsFirst + i * cnsStep;
    return samples;
}

FakeRuntime& Fake() {
    static FakeRuntime s_runtime;
    return s_runtime;
}

extern "C" HRESULT WMCreateSyncReader(IUnknown*, DWORD, IWMSyncReader** ppReader) noexcept {
    *ppReader = nullptr;
    if (!Fake().bComReady) return CO_E_NOTINITIALIZED;
    ++Fake().calls.cReadersCreated;
    *ppReader = new FakeSyncReader();
    return S_OK;
}

extern "C" HRESULT WMCreateProfileManager(IWMProfileManager** ppManager) noexcept {
    *ppManager = nullptr;
    if (!Fake().bComReady) return CO_E_NOTINITIALIZED;
    *ppManager = new FakeProfileManager();
    return S_OK;
}
