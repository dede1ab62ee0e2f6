#include "writer/FakeWm.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "win/NsError.h"
#include "wmf/WmAttributes.h"

namespace {

std::atomic<int> g_cLive{0};
std::unique_ptr<SFakeWorld> g_pWorld;

// Reference counting and the live count of every fake.
class CFakeBase {
protected:
    CFakeBase() noexcept { ++g_cLive; }
    virtual ~CFakeBase() { --g_cLive; }
    ULONG AddRefImpl() noexcept { return ++m_cRef; }
    ULONG ReleaseImpl() noexcept {
        const ULONG cRef = --m_cRef;
        if (cRef == 0) delete this;
        return cRef;
    }
    // Hands out this object as I after the world allowed the query.
    template <class I>
    HRESULT Offer(I* p, const char* pszClass, const char* pszInterface, void** ppv) {
        const HRESULT hr = World().Step(std::string(pszClass) + "::QI(" + pszInterface + ")");
        if (FAILED(hr)) return hr;
        p->AddRef();
        *ppv = p;
        return S_OK;
    }

private:
    std::atomic<ULONG> m_cRef{1};
};

#define FAKE_IUNKNOWN                                              \
    ULONG AddRef() noexcept override { return AddRefImpl(); }      \
    ULONG Release() noexcept override { return ReleaseImpl(); }

// A media type and its format bytes, answered with the size-query
// convention of GetMediaType.
class CMediaTypeHolder {
public:
    HRESULT Get(WM_MEDIA_TYPE* pType, DWORD* pcbType) const {
        if (!pcbType) return E_POINTER;
        const DWORD cbNeeded = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + m_format.size());
        if (!pType) {
            *pcbType = cbNeeded;
            return S_OK;
        }
        if (*pcbType < cbNeeded) {
            *pcbType = cbNeeded;
            return ASF_E_BUFFERTOOSMALL;
        }
        *pType = m_mt;
        BYTE* pFormat = reinterpret_cast<BYTE*>(pType + 1);
        if (!m_format.empty()) std::memcpy(pFormat, m_format.data(), m_format.size());
        pType->cbFormat = static_cast<ULONG>(m_format.size());
        pType->pbFormat = m_format.empty() ? nullptr : pFormat;
        return S_OK;
    }
    HRESULT Set(const WM_MEDIA_TYPE* pType) {
        if (!pType) return E_POINTER;
        m_mt = *pType;
        m_format.assign(pType->pbFormat, pType->pbFormat + (pType->pbFormat ? pType->cbFormat : 0));
        m_mt.pbFormat = nullptr;
        m_mt.pUnk = nullptr;
        return S_OK;
    }
    std::vector<BYTE> Bytes() const {
        std::vector<BYTE> bytes(sizeof(WM_MEDIA_TYPE) + m_format.size());
        DWORD cb = static_cast<DWORD>(bytes.size());
        Get(reinterpret_cast<WM_MEDIA_TYPE*>(bytes.data()), &cb);
        return bytes;
    }
    const GUID& MajorType() const { return m_mt.majortype; }

private:
    WM_MEDIA_TYPE m_mt{};
    std::vector<BYTE> m_format;
};

HRESULT CopyString(const std::u16string& text, WCHAR* p, WORD* pcch) {
    if (!pcch) return E_POINTER;
    const WORD cchNeeded = static_cast<WORD>(text.size() + 1);
    if (!p) {
        *pcch = cchNeeded;
        return S_OK;
    }
    if (*pcch < cchNeeded) return ASF_E_BUFFERTOOSMALL;
    std::copy(text.begin(), text.end(), p);
    p[text.size()] = 0;
    return S_OK;
}

class CFakeStreamConfig final : public CFakeBase,
                                public IWMStreamConfig2,
                                public IWMVideoMediaProps,
                                public IWMPropertyVault {
public:
    explicit CFakeStreamConfig(const GUID& type) : m_type(type) {}
    CFakeStreamConfig* Clone() const { return new CFakeStreamConfig(*this); }

    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMStreamConfig)
            return Offer(static_cast<IWMStreamConfig*>(this), "StreamConfig", "IWMStreamConfig", ppv);
        if (riid == IID_IWMStreamConfig2)
            return Offer(static_cast<IWMStreamConfig2*>(this), "StreamConfig", "IWMStreamConfig2", ppv);
        if (riid == IID_IWMMediaProps)
            return Offer(static_cast<IWMMediaProps*>(this), "StreamConfig", "IWMMediaProps", ppv);
        if (riid == IID_IWMVideoMediaProps && m_type == WMMEDIATYPE_Video)
            return Offer(static_cast<IWMVideoMediaProps*>(this), "StreamConfig", "IWMVideoMediaProps", ppv);
        if (riid == IID_IWMPropertyVault)
            return Offer(static_cast<IWMPropertyVault*>(this), "StreamConfig", "IWMPropertyVault", ppv);
        return E_NOINTERFACE;
    }

    // IWMStreamConfig
    HRESULT GetStreamType(GUID* p) noexcept override { *p = m_type; return S_OK; }
    HRESULT GetStreamNumber(WORD* p) noexcept override { *p = m_wNumber; return S_OK; }
    HRESULT SetStreamNumber(WORD w) noexcept override {
        return Set("StreamConfig::SetStreamNumber", [&] { m_wNumber = w; });
    }
    HRESULT GetStreamName(WCHAR* p, WORD* pcch) noexcept override { return CopyString(m_name, p, pcch); }
    HRESULT SetStreamName(const WCHAR* p) noexcept override {
        return Set("StreamConfig::SetStreamName", [&] { m_name = p; });
    }
    HRESULT GetConnectionName(WCHAR* p, WORD* pcch) noexcept override {
        return CopyString(m_connection, p, pcch);
    }
    HRESULT SetConnectionName(const WCHAR* p) noexcept override {
        return Set("StreamConfig::SetConnectionName", [&] { m_connection = p; });
    }
    HRESULT GetBitrate(DWORD* p) noexcept override { *p = m_dwBitrate; return S_OK; }
    HRESULT SetBitrate(DWORD dw) noexcept override {
        return Set("StreamConfig::SetBitrate", [&] { m_dwBitrate = dw; });
    }
    HRESULT GetBufferWindow(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetBufferWindow(DWORD) noexcept override { return E_NOTIMPL; }

    // IWMStreamConfig2
    HRESULT GetTransportType(WMT_TRANSPORT_TYPE*) noexcept override { return E_NOTIMPL; }
    HRESULT SetTransportType(WMT_TRANSPORT_TYPE) noexcept override { return E_NOTIMPL; }
    HRESULT AddDataUnitExtension(GUID id, WORD cb, BYTE*, DWORD) noexcept override {
        return Set("StreamConfig::AddDataUnitExtension", [&] { m_extensions.emplace_back(id, cb); });
    }
    HRESULT GetDataUnitExtensionCount(WORD* p) noexcept override {
        *p = static_cast<WORD>(m_extensions.size());
        return S_OK;
    }
    HRESULT GetDataUnitExtension(WORD i, GUID* pId, WORD* pcb, BYTE*, DWORD* pcbInfo) noexcept override {
        if (i >= m_extensions.size()) return E_INVALIDARG;
        *pId = m_extensions[i].first;
        *pcb = m_extensions[i].second;
        *pcbInfo = 0;
        return S_OK;
    }
    HRESULT RemoveAllDataUnitExtensions() noexcept override { return E_NOTIMPL; }

    // IWMMediaProps / IWMVideoMediaProps
    HRESULT GetType(GUID* p) noexcept override { *p = m_type; return S_OK; }
    HRESULT GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcb) noexcept override {
        const HRESULT hr = World().Step("StreamConfig::GetMediaType");
        return FAILED(hr) ? hr : m_mediaType.Get(pType, pcb);
    }
    HRESULT SetMediaType(WM_MEDIA_TYPE* pType) noexcept override {
        const HRESULT hr = World().Step("StreamConfig::SetMediaType");
        return FAILED(hr) ? hr : m_mediaType.Set(pType);
    }
    HRESULT GetMaxKeyFrameSpacing(LONGLONG* p) noexcept override { *p = m_llKeySpacing; return S_OK; }
    HRESULT SetMaxKeyFrameSpacing(LONGLONG ll) noexcept override {
        return Set("StreamConfig::SetMaxKeyFrameSpacing", [&] { m_llKeySpacing = ll; });
    }
    HRESULT GetQuality(DWORD* p) noexcept override { *p = m_dwQuality; return S_OK; }
    HRESULT SetQuality(DWORD dw) noexcept override {
        return Set("StreamConfig::SetQuality", [&] { m_dwQuality = dw; });
    }

    // IWMPropertyVault
    HRESULT GetPropertyCount(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetPropertyByName(const WCHAR* pszName, WMT_ATTR_DATATYPE* pType, BYTE* pValue,
                              DWORD* pcb) noexcept override {
        const auto it = m_properties.find(pszName);
        if (it == m_properties.end()) return NS_E_UNSUPPORTED_PROPERTY;
        *pType = WMT_TYPE_DWORD;
        if (*pcb < it->second.size()) return ASF_E_BUFFERTOOSMALL;
        std::memcpy(pValue, it->second.data(), it->second.size());
        *pcb = static_cast<DWORD>(it->second.size());
        return S_OK;
    }
    HRESULT SetProperty(const WCHAR* pszName, WMT_ATTR_DATATYPE, BYTE* pValue, DWORD cb) noexcept override {
        return Set("StreamConfig::SetProperty",
                   [&] { m_properties[pszName].assign(pValue, pValue + cb); });
    }
    HRESULT GetPropertyByIndex(DWORD, WCHAR*, DWORD*, WMT_ATTR_DATATYPE*, BYTE*, DWORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT CopyPropertiesFrom(IWMPropertyVault*) noexcept override { return E_NOTIMPL; }
    HRESULT Clear() noexcept override { return E_NOTIMPL; }

    CMediaTypeHolder m_mediaType;

private:
    CFakeStreamConfig(const CFakeStreamConfig& o)
        : CFakeBase(),
          m_mediaType(o.m_mediaType),
          m_type(o.m_type),
          m_wNumber(o.m_wNumber),
          m_name(o.m_name),
          m_connection(o.m_connection),
          m_dwBitrate(o.m_dwBitrate),
          m_llKeySpacing(o.m_llKeySpacing),
          m_dwQuality(o.m_dwQuality),
          m_properties(o.m_properties),
          m_extensions(o.m_extensions) {}

    template <class F>
    HRESULT Set(const char* pszStep, F change) {
        const HRESULT hr = World().Step(pszStep);
        if (SUCCEEDED(hr)) change();
        return hr;
    }

    GUID m_type;
    WORD m_wNumber = 0;
    std::u16string m_name;
    std::u16string m_connection;
    DWORD m_dwBitrate = 0;
    LONGLONG m_llKeySpacing = 0;
    DWORD m_dwQuality = 0;
    std::map<std::u16string, std::vector<BYTE>> m_properties;
    std::vector<std::pair<GUID, WORD>> m_extensions;
};

class CFakeMutualExclusion final : public CFakeBase, public IWMMutualExclusion {
public:
    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMMutualExclusion)
            return Offer(static_cast<IWMMutualExclusion*>(this), "Exclusion", "IWMMutualExclusion", ppv);
        return E_NOINTERFACE;
    }
    HRESULT GetStreams(WORD*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT AddStream(WORD w) noexcept override {
        const HRESULT hr = World().Step("Exclusion::AddStream");
        if (SUCCEEDED(hr)) m_streams.push_back(w);
        return hr;
    }
    HRESULT RemoveStream(WORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetType(GUID* p) noexcept override { *p = m_type; return S_OK; }
    HRESULT SetType(REFGUID type) noexcept override {
        const HRESULT hr = World().Step("Exclusion::SetType");
        if (SUCCEEDED(hr)) m_type = type;
        return hr;
    }

private:
    GUID m_type = GUID_NULL;
    std::vector<WORD> m_streams;
};

class CFakeProfile final : public CFakeBase, public IWMProfile {
public:
    explicit CFakeProfile(WMT_VERSION dwVersion) : m_dwVersion(dwVersion) {}

    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMProfile)
            return Offer(static_cast<IWMProfile*>(this), "Profile", "IWMProfile", ppv);
        return E_NOINTERFACE;
    }
    HRESULT GetVersion(WMT_VERSION* p) noexcept override { *p = m_dwVersion; return S_OK; }
    HRESULT GetName(WCHAR* p, DWORD* pcch) noexcept override {
        WORD cch = static_cast<WORD>(*pcch);
        const HRESULT hr = CopyString(m_name, p, &cch);
        *pcch = cch;
        return hr;
    }
    HRESULT SetName(const WCHAR* p) noexcept override {
        const HRESULT hr = World().Step("Profile::SetName");
        if (SUCCEEDED(hr)) m_name = p;
        return hr;
    }
    HRESULT GetDescription(WCHAR*, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetDescription(const WCHAR*) noexcept override { return World().Step("Profile::SetDescription"); }
    HRESULT GetStreamCount(DWORD* p) noexcept override {
        const HRESULT hr = World().Step("Profile::GetStreamCount");
        if (SUCCEEDED(hr)) *p = static_cast<DWORD>(m_streams.size());
        return hr;
    }
    HRESULT GetStream(DWORD i, IWMStreamConfig** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step("Profile::GetStream");
        if (FAILED(hr)) return hr;
        if (i >= m_streams.size()) return E_INVALIDARG;
        *pp = m_streams[i]->Clone();
        return S_OK;
    }
    HRESULT GetStreamByNumber(WORD, IWMStreamConfig**) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveStream(IWMStreamConfig*) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveStreamByNumber(WORD) noexcept override { return E_NOTIMPL; }
    HRESULT AddStream(IWMStreamConfig* pConfig) noexcept override {
        const HRESULT hr = World().Step("Profile::AddStream");
        if (FAILED(hr)) return hr;
        m_streams.push_back(ComPtr<CFakeStreamConfig>::Adopt(static_cast<CFakeStreamConfig*>(pConfig)->Clone()));
        return S_OK;
    }
    HRESULT ReconfigStream(IWMStreamConfig* pConfig) noexcept override {
        const HRESULT hr = World().Step("Profile::ReconfigStream");
        if (FAILED(hr)) return hr;
        WORD wNumber = 0;
        pConfig->GetStreamNumber(&wNumber);
        for (auto& pStream : m_streams) {
            WORD wOwn = 0;
            pStream->GetStreamNumber(&wOwn);
            if (wOwn == wNumber) {
                pStream = ComPtr<CFakeStreamConfig>::Adopt(static_cast<CFakeStreamConfig*>(pConfig)->Clone());
            }
        }
        return S_OK;
    }
    HRESULT CreateNewStream(REFGUID type, IWMStreamConfig** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step("Profile::CreateNewStream");
        if (SUCCEEDED(hr)) *pp = static_cast<IWMStreamConfig2*>(new CFakeStreamConfig(type));
        return hr;
    }
    HRESULT GetMutualExclusionCount(DWORD* p) noexcept override {
        *p = static_cast<DWORD>(m_exclusions.size());
        return S_OK;
    }
    HRESULT GetMutualExclusion(DWORD, IWMMutualExclusion**) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveMutualExclusion(IWMMutualExclusion*) noexcept override { return E_NOTIMPL; }
    HRESULT AddMutualExclusion(IWMMutualExclusion* p) noexcept override {
        const HRESULT hr = World().Step("Profile::AddMutualExclusion");
        if (SUCCEEDED(hr)) m_exclusions.emplace_back(p);
        return hr;
    }
    HRESULT CreateNewMutualExclusion(IWMMutualExclusion** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step("Profile::CreateNewMutualExclusion");
        if (SUCCEEDED(hr)) *pp = new CFakeMutualExclusion;
        return hr;
    }

private:
    WMT_VERSION m_dwVersion;
    std::u16string m_name;
    std::vector<ComPtr<CFakeStreamConfig>> m_streams;
    std::vector<ComPtr<IWMMutualExclusion>> m_exclusions;
};

class CFakeProfileManager final : public CFakeBase, public IWMProfileManager2, public IWMCodecInfo3 {
public:
    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMProfileManager)
            return Offer(static_cast<IWMProfileManager*>(this), "Manager", "IWMProfileManager", ppv);
        if (riid == IID_IWMProfileManager2 && !World().bNoManager2)
            return Offer(static_cast<IWMProfileManager2*>(this), "Manager", "IWMProfileManager2", ppv);
        if (riid == IID_IWMCodecInfo)
            return Offer(static_cast<IWMCodecInfo*>(this), "Manager", "IWMCodecInfo", ppv);
        if (riid == IID_IWMCodecInfo3)
            return Offer(static_cast<IWMCodecInfo3*>(this), "Manager", "IWMCodecInfo3", ppv);
        return E_NOINTERFACE;
    }

    // IWMProfileManager(2)
    HRESULT CreateEmptyProfile(WMT_VERSION dwVersion, IWMProfile** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step("Manager::CreateEmptyProfile");
        if (FAILED(hr)) return hr;
        {
            std::lock_guard lock(World().mutex);
            World().emptyProfileVersions.push_back(dwVersion);
        }
        *pp = new CFakeProfile(dwVersion);
        return S_OK;
    }
    HRESULT LoadProfileByID(REFGUID, IWMProfile**) noexcept override { return E_NOTIMPL; }
    HRESULT LoadProfileByData(const WCHAR*, IWMProfile**) noexcept override { return E_NOTIMPL; }
    HRESULT SaveProfile(IWMProfile*, WCHAR*, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetSystemProfileCount(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT LoadSystemProfile(DWORD, IWMProfile**) noexcept override { return E_NOTIMPL; }
    HRESULT GetSystemProfileVersion(WMT_VERSION*) noexcept override { return E_NOTIMPL; }
    HRESULT SetSystemProfileVersion(WMT_VERSION dwVersion) noexcept override {
        std::lock_guard lock(World().mutex);
        World().systemVersions.push_back(dwVersion);
        return S_OK;
    }

    // IWMCodecInfo(2, 3)
    HRESULT GetCodecInfoCount(REFGUID type, DWORD* p) noexcept override {
        const HRESULT hr = World().Step(Name("GetCodecInfoCount", type));
        if (FAILED(hr)) return hr;
        *p = type == WMMEDIATYPE_Video ? static_cast<DWORD>(World().videoCodecs.size())
                                       : static_cast<DWORD>(World().audioCodecs.size());
        return S_OK;
    }
    HRESULT GetCodecFormatCount(REFGUID type, DWORD iCodec, DWORD* p) noexcept override {
        const HRESULT hr = World().Step(Name("GetCodecFormatCount", type));
        if (FAILED(hr)) return hr;
        if (!HasFormat(type, iCodec, 0, /*bCodecOnly=*/true)) return E_INVALIDARG;
        if (type == WMMEDIATYPE_Video) {
            *p = static_cast<DWORD>(World().videoCodecs.at(iCodec).size());
        } else {
            const SFakeAudioCodec& codec = World().audioCodecs.at(iCodec);
            *p = codec.bVbrOnly && !m_bAudioVbr ? 0 : static_cast<DWORD>(codec.formats.size());
        }
        return S_OK;
    }
    HRESULT GetCodecFormat(REFGUID type, DWORD iCodec, DWORD iFormat, IWMStreamConfig** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step(Name("GetCodecFormat", type));
        if (FAILED(hr)) return hr;
        if (!HasFormat(type, iCodec, iFormat, /*bCodecOnly=*/false)) return E_INVALIDARG;
        auto* pConfig = new CFakeStreamConfig(type);
        WM_MEDIA_TYPE mt{};
        mt.majortype = type;
        std::vector<BYTE> format;
        if (type == WMMEDIATYPE_Video) {
            const SFakeVideoFormat& f = World().videoCodecs.at(iCodec).at(iFormat);
            VIDEOINFOHEADER vih{};
            vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            vih.bmiHeader.biCompression = f.dwFourCC;
            vih.rcSource = {0, 0, 320, 240};
            vih.rcTarget = vih.rcSource;
            vih.bmiHeader.biWidth = 320;
            vih.bmiHeader.biHeight = 240;
            format.assign(reinterpret_cast<BYTE*>(&vih), reinterpret_cast<BYTE*>(&vih + 1));
            mt.subtype = GuidFromFourCC(f.dwFourCC);
            mt.formattype = f.bVideoInfo ? WMFORMAT_VideoInfo : WMFORMAT_WaveFormatEx;
        } else {
            const SFakeAudioCodec& codec = World().audioCodecs.at(iCodec);
            const WAVEFORMATEX& wfx = codec.formats.at(iFormat);
            format.assign(reinterpret_cast<const BYTE*>(&wfx), reinterpret_cast<const BYTE*>(&wfx + 1));
            format.resize(format.size() + wfx.cbSize, 0xEE);
            mt.subtype = GuidFromFourCC(wfx.wFormatTag);
            mt.formattype = codec.bNotWaveFormat ? WMFORMAT_VideoInfo : WMFORMAT_WaveFormatEx;
        }
        mt.cbFormat = static_cast<ULONG>(format.size());
        mt.pbFormat = format.data();
        pConfig->m_mediaType.Set(&mt);
        *pp = static_cast<IWMStreamConfig2*>(pConfig);
        return S_OK;
    }
    HRESULT GetCodecName(REFGUID, DWORD, WCHAR*, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetCodecFormatDesc(REFGUID, DWORD, DWORD, IWMStreamConfig**, WCHAR*, DWORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT GetCodecFormatProp(REFGUID, DWORD, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*,
                               DWORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT GetCodecProp(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*, DWORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT SetCodecEnumerationSetting(REFGUID type, DWORD, const WCHAR* pszName, WMT_ATTR_DATATYPE,
                                       const BYTE* pValue, DWORD cb) noexcept override {
        const HRESULT hr = World().Step("Manager::SetCodecEnumerationSetting");
        if (FAILED(hr)) return hr;
        if (type == WMMEDIATYPE_Audio && std::u16string_view(pszName) == g_wszVBREnabled &&
            cb == sizeof(BOOL)) {
            BOOL bValue = FALSE;
            std::memcpy(&bValue, pValue, sizeof(bValue));
            m_bAudioVbr = bValue != FALSE;
        }
        return S_OK;
    }
    HRESULT GetCodecEnumerationSetting(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*,
                                       DWORD*) noexcept override {
        return E_NOTIMPL;
    }

private:
    static bool HasFormat(REFGUID type, DWORD iCodec, DWORD iFormat, bool bCodecOnly) {
        const SFakeWorld& world = World();
        if (type == WMMEDIATYPE_Video) {
            return iCodec < world.videoCodecs.size() &&
                   (bCodecOnly || iFormat < world.videoCodecs[iCodec].size());
        }
        return iCodec < world.audioCodecs.size() &&
               (bCodecOnly || iFormat < world.audioCodecs[iCodec].formats.size());
    }
    static std::string Name(const char* pszMethod, REFGUID type) {
        return std::string("Manager::") + pszMethod + (type == WMMEDIATYPE_Video ? "(video)" : "(audio)");
    }
    bool m_bAudioVbr = false;
};

class CFakeSampleBuffer final : public CFakeBase, public INSSBuffer3 {
public:
    explicit CFakeSampleBuffer(DWORD cb) : m_data(cb, 0xCD) {}

    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_INSSBuffer)
            return Offer(static_cast<INSSBuffer*>(this), "Sample", "INSSBuffer", ppv);
        if (riid == IID_INSSBuffer3)
            return Offer(static_cast<INSSBuffer3*>(this), "Sample", "INSSBuffer3", ppv);
        return E_NOINTERFACE;
    }
    HRESULT GetLength(DWORD* p) noexcept override { *p = static_cast<DWORD>(m_data.size()); return S_OK; }
    HRESULT SetLength(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetMaxLength(DWORD* p) noexcept override { return GetLength(p); }
    HRESULT GetBuffer(BYTE** pp) noexcept override { *pp = m_data.data(); return S_OK; }
    HRESULT GetBufferAndLength(BYTE** pp, DWORD* p) noexcept override {
        *pp = m_data.data();
        return GetLength(p);
    }
    HRESULT GetSampleProperties(DWORD, BYTE*) noexcept override { return E_NOTIMPL; }
    HRESULT SetSampleProperties(DWORD, BYTE*) noexcept override { return E_NOTIMPL; }
    HRESULT SetProperty(GUID id, void* pValue, DWORD cb) noexcept override {
        const HRESULT hr = World().Step("Sample::SetProperty");
        if (SUCCEEDED(hr)) {
            auto* p = static_cast<BYTE*>(pValue);
            m_properties.emplace_back(id, std::vector<BYTE>(p, p + cb));
        }
        return hr;
    }
    HRESULT GetProperty(GUID, void*, DWORD*) noexcept override { return E_NOTIMPL; }

    SFakeSample Record(DWORD dwInput, QWORD cnsTime, DWORD dwFlags, bool bPreprocessed) const {
        return {dwInput, cnsTime, dwFlags, bPreprocessed, m_data, m_properties};
    }

private:
    std::vector<BYTE> m_data;
    std::vector<std::pair<GUID, std::vector<BYTE>>> m_properties;
};

class CFakeInputProps final : public CFakeBase, public IWMInputMediaProps {
public:
    explicit CFakeInputProps(const GUID& type) : m_type(type) {}

    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMInputMediaProps)
            return Offer(static_cast<IWMInputMediaProps*>(this), "InputProps", "IWMInputMediaProps", ppv);
        return E_NOINTERFACE;
    }
    HRESULT GetType(GUID* p) noexcept override {
        const HRESULT hr = World().Step("InputProps::GetType");
        if (SUCCEEDED(hr)) *p = m_type;
        return hr;
    }
    HRESULT GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcb) noexcept override { return m_mediaType.Get(pType, pcb); }
    HRESULT SetMediaType(WM_MEDIA_TYPE* pType) noexcept override {
        const HRESULT hr = World().Step(m_type == WMMEDIATYPE_Audio ? "InputProps::SetMediaType(audio)"
                                                                   : "InputProps::SetMediaType(video)");
        return FAILED(hr) ? hr : m_mediaType.Set(pType);
    }
    HRESULT GetConnectionName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetGroupName(WCHAR*, WORD*) noexcept override { return E_NOTIMPL; }

    std::vector<BYTE> TypeBytes() const { return m_mediaType.Bytes(); }

private:
    GUID m_type;
    CMediaTypeHolder m_mediaType;
};

class CFakeSink final : public CFakeBase, public IWMWriterSink, public IWMRegisterCallback {
public:
    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMWriterSink)
            return Offer(static_cast<IWMWriterSink*>(this), "Sink", "IWMWriterSink", ppv);
        if (riid == IID_IWMRegisterCallback)
            return Offer(static_cast<IWMRegisterCallback*>(this), "Sink", "IWMRegisterCallback", ppv);
        return E_NOINTERFACE;
    }
    HRESULT OnHeader(INSSBuffer*) noexcept override { return E_NOTIMPL; }
    HRESULT IsRealTime(BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT AllocateDataUnit(DWORD, INSSBuffer**) noexcept override { return E_NOTIMPL; }
    HRESULT OnDataUnit(INSSBuffer*) noexcept override { return E_NOTIMPL; }
    HRESULT OnEndWriting() noexcept override { return E_NOTIMPL; }
    HRESULT Advise(IWMStatusCallback* pCallback, void*) noexcept override {
        const HRESULT hr = World().Step("Sink::Advise");
        if (FAILED(hr)) return hr;
        m_callbacks.emplace_back(pCallback);
        std::lock_guard lock(World().mutex);
        ++World().cAdvised;
        return S_OK;
    }
    HRESULT Unadvise(IWMStatusCallback*, void*) noexcept override { return E_NOTIMPL; }

    void Notify(WMT_STATUS status, HRESULT hr) {
        for (const auto& pCallback : m_callbacks) pCallback->OnStatus(status, hr, WMT_TYPE_DWORD, nullptr, nullptr);
    }

private:
    std::vector<ComPtr<IWMStatusCallback>> m_callbacks;
};

class CFakeWriter final : public CFakeBase,
                          public IWMWriter,
                          public IWMWriterAdvanced2,
                          public IWMHeaderInfo3,
                          public IWMWriterPreprocess {
public:
    CFakeWriter() {
        for (DWORD i = 0; i < World().cSinks; ++i) m_sinks.push_back(ComPtr<CFakeSink>::Adopt(new CFakeSink));
        World().cWriterObjects = 1 + static_cast<int>(m_sinks.size());
    }

    FAKE_IUNKNOWN
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IWMWriter)
            return Offer(static_cast<IWMWriter*>(this), "Writer", "IWMWriter", ppv);
        if (riid == IID_IWMWriterAdvanced)
            return Offer(static_cast<IWMWriterAdvanced*>(this), "Writer", "IWMWriterAdvanced", ppv);
        if (riid == IID_IWMWriterAdvanced2)
            return Offer(static_cast<IWMWriterAdvanced2*>(this), "Writer", "IWMWriterAdvanced2", ppv);
        if (riid == IID_IWMHeaderInfo3)
            return Offer(static_cast<IWMHeaderInfo3*>(this), "Writer", "IWMHeaderInfo3", ppv);
        if (riid == IID_IWMWriterPreprocess)
            return Offer(static_cast<IWMWriterPreprocess*>(this), "Writer", "IWMWriterPreprocess", ppv);
        return E_NOINTERFACE;
    }

    // IWMWriter
    HRESULT SetProfileByID(REFGUID) noexcept override { return E_NOTIMPL; }
    HRESULT SetProfile(IWMProfile* pProfile) noexcept override {
        const HRESULT hr = World().Step("Writer::SetProfile");
        if (FAILED(hr)) return hr;
        SProfileSnapshot snapshot = SnapshotProfile(pProfile);
        for (const SStreamSnapshot& stream : snapshot.streams) {
            m_inputs.push_back(ComPtr<CFakeInputProps>::Adopt(new CFakeInputProps(stream.type)));
        }
        if (!(World().extraInputType == GUID_NULL)) {
            m_inputs.push_back(ComPtr<CFakeInputProps>::Adopt(new CFakeInputProps(World().extraInputType)));
        }
        std::lock_guard lock(World().mutex);
        World().writerProfile = std::move(snapshot.streams);
        World().cWriterObjects += static_cast<int>(m_inputs.size());
        return S_OK;
    }
    HRESULT SetOutputFilename(const WCHAR* psz) noexcept override {
        const HRESULT hr = World().Step("Writer::SetOutputFilename");
        std::lock_guard lock(World().mutex);
        World().outputFilename = psz;
        return hr;
    }
    HRESULT GetInputCount(DWORD* p) noexcept override {
        const HRESULT hr = World().Step("Writer::GetInputCount");
        if (SUCCEEDED(hr)) *p = static_cast<DWORD>(m_inputs.size());
        return hr;
    }
    HRESULT GetInputProps(DWORD i, IWMInputMediaProps** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step("Writer::GetInputProps");
        if (FAILED(hr)) return hr;
        *pp = m_inputs.at(i).Get();
        (*pp)->AddRef();
        return S_OK;
    }
    HRESULT SetInputProps(DWORD i, IWMInputMediaProps* pInput) noexcept override {
        const HRESULT hr = World().Step("Writer::SetInputProps");
        if (FAILED(hr)) return hr;
        std::lock_guard lock(World().mutex);
        World().inputTypes[i] = static_cast<CFakeInputProps*>(pInput)->TypeBytes();
        return S_OK;
    }
    HRESULT GetInputFormatCount(DWORD, DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetInputFormat(DWORD, DWORD, IWMInputMediaProps**) noexcept override { return E_NOTIMPL; }
    HRESULT BeginWriting() noexcept override { return World().Step("Writer::BeginWriting"); }
    HRESULT EndWriting() noexcept override {
        World().endWritingGate.Pass();
        return Notified(World().Step("Writer::EndWriting"));
    }
    HRESULT AllocateSample(DWORD cb, INSSBuffer** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step("Writer::AllocateSample");
        if (SUCCEEDED(hr)) *pp = new CFakeSampleBuffer(cb);
        return hr;
    }
    HRESULT WriteSample(DWORD dwInput, QWORD cnsTime, DWORD dwFlags, INSSBuffer* pSample) noexcept override {
        World().writeSampleGate.Pass();
        const HRESULT hr = World().Step("Writer::WriteSample");
        World().RecordSample(static_cast<CFakeSampleBuffer*>(pSample)->Record(dwInput, cnsTime, dwFlags, false));
        return Notified(hr);
    }
    HRESULT Flush() noexcept override { return World().Step("Writer::Flush"); }

    // IWMWriterAdvanced(2)
    HRESULT GetSinkCount(DWORD* p) noexcept override {
        const HRESULT hr = World().Step("Writer::GetSinkCount");
        if (SUCCEEDED(hr)) *p = static_cast<DWORD>(m_sinks.size());
        return hr;
    }
    HRESULT GetSink(DWORD i, IWMWriterSink** pp) noexcept override {
        *pp = nullptr;
        const HRESULT hr = World().Step("Writer::GetSink");
        if (FAILED(hr)) return hr;
        *pp = m_sinks.at(i).Get();
        (*pp)->AddRef();
        return S_OK;
    }
    HRESULT AddSink(IWMWriterSink*) noexcept override { return E_NOTIMPL; }
    HRESULT RemoveSink(IWMWriterSink*) noexcept override { return E_NOTIMPL; }
    HRESULT WriteStreamSample(WORD, QWORD, DWORD, QWORD, DWORD, INSSBuffer*) noexcept override { return E_NOTIMPL; }
    HRESULT SetLiveSource(BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT IsRealTime(BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT GetWriterTime(QWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetStatistics(WORD, WM_WRITER_STATISTICS*) noexcept override { return E_NOTIMPL; }
    HRESULT SetSyncTolerance(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT GetSyncTolerance(DWORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetInputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT SetInputSetting(DWORD, LPCWSTR pszName, WMT_ATTR_DATATYPE, const BYTE* pValue, WORD cb) noexcept override {
        const HRESULT hr = World().Step("Writer::SetInputSetting");
        BOOL bValue = FALSE;
        std::memcpy(&bValue, pValue, std::min<size_t>(cb, sizeof(bValue)));
        std::lock_guard lock(World().mutex);
        World().inputSettings.emplace_back(pszName, bValue);
        return hr;
    }

    // IWMHeaderInfo(2, 3): attributes only
    HRESULT GetAttributeCount(WORD, WORD*) noexcept override { return E_NOTIMPL; }
    HRESULT GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*, BYTE*, WORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT GetAttributeByName(WORD*, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*, WORD*) noexcept override { return E_NOTIMPL; }
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
    HRESULT GetAttributeByIndexEx(WORD, WORD, LPWSTR, WORD*, WMT_ATTR_DATATYPE*, WORD*, BYTE*, DWORD*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT AddAttribute(WORD wStreamNum, LPCWSTR pszName, WORD* pwIndex, WMT_ATTR_DATATYPE type, WORD,
                         const BYTE* pValue, DWORD cb) noexcept override {
        const HRESULT hr = World().Step("Writer::AddAttribute");
        std::lock_guard lock(World().mutex);
        *pwIndex = static_cast<WORD>(World().attributes.size());
        World().attributes.push_back({wStreamNum, pszName, type, std::vector<BYTE>(pValue, pValue + cb)});
        return hr;
    }
    HRESULT DeleteAttribute(WORD, WORD) noexcept override { return E_NOTIMPL; }
    HRESULT AddCodecInfo(const WCHAR*, const WCHAR*, WMT_CODEC_INFO_TYPE, WORD, BYTE*) noexcept override {
        return E_NOTIMPL;
    }

    // IWMWriterPreprocess
    HRESULT GetMaxPreprocessingPasses(DWORD, DWORD, DWORD* p) noexcept override {
        const HRESULT hr = World().Step("Writer::GetMaxPreprocessingPasses");
        if (SUCCEEDED(hr)) *p = World().dwMaxPasses;
        return hr;
    }
    HRESULT SetNumPreprocessingPasses(DWORD, DWORD, DWORD) noexcept override {
        return World().Step("Writer::SetNumPreprocessingPasses");
    }
    HRESULT BeginPreprocessingPass(DWORD, DWORD) noexcept override {
        return World().Step("Writer::BeginPreprocessingPass");
    }
    HRESULT PreprocessSample(DWORD dwInput, QWORD cnsTime, DWORD dwFlags, INSSBuffer* pSample) noexcept override {
        World().writeSampleGate.Pass();
        const HRESULT hr = World().Step("Writer::PreprocessSample");
        World().RecordSample(static_cast<CFakeSampleBuffer*>(pSample)->Record(dwInput, cnsTime, dwFlags, true));
        return hr;
    }
    HRESULT EndPreprocessingPass(DWORD, DWORD) noexcept override {
        return World().Step("Writer::EndPreprocessingPass");
    }

private:
    // As the runtime does, a failure is also reported to the callbacks.
    HRESULT Notified(HRESULT hr) {
        if (FAILED(hr)) {
            for (const auto& pSink : m_sinks) pSink->Notify(WMT_ERROR, hr);
        }
        return hr;
    }

    std::vector<ComPtr<CFakeInputProps>> m_inputs;
    std::vector<ComPtr<CFakeSink>> m_sinks;
};

}  // namespace

void CGate::Close() {
    std::lock_guard lock(m_mutex);
    m_bOpen = false;
}

void CGate::Open() {
    {
        std::lock_guard lock(m_mutex);
        m_bOpen = true;
    }
    m_cv.notify_all();
}

void CGate::Pass() {
    std::unique_lock lock(m_mutex);
    ++m_cHeld;
    m_cv.notify_all();
    m_cv.wait(lock, [this] { return m_bOpen; });
    --m_cHeld;
}

bool CGate::WaitUntilHeld() {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::seconds(10), [this] { return m_cHeld > 0; });
}

bool SFakeSample::HasProperty(const GUID& id) const {
    return std::ranges::any_of(properties, [&](const auto& p) { return p.first == id; });
}

HRESULT SFakeWorld::Step(const std::string& name) {
    std::lock_guard lock(mutex);
    calls.push_back(name);
    const int nCall = ++callCounts[name];
    const auto it = failures.find(name);
    if (it == failures.end() || (it->second.nth != 0 && it->second.nth != nCall)) return S_OK;
    return it->second.hr;
}

int SFakeWorld::CountCalls(const std::string& name) {
    std::lock_guard lock(mutex);
    const auto it = callCounts.find(name);
    return it == callCounts.end() ? 0 : it->second;
}

std::vector<SFakeSample> SFakeWorld::Samples(DWORD dwInput) {
    std::lock_guard lock(mutex);
    std::vector<SFakeSample> result;
    std::ranges::copy_if(samples, std::back_inserter(result),
                         [&](const SFakeSample& s) { return s.dwInput == dwInput; });
    return result;
}

void SFakeWorld::RecordSample(SFakeSample sample) {
    std::lock_guard lock(mutex);
    samples.push_back(std::move(sample));
}

SFakeWorld& World() {
    if (!g_pWorld) ResetWorld();
    return *g_pWorld;
}

WAVEFORMATEX WmaFormat(DWORD dwRate, WORD wChannels, DWORD dwBitrate, WORD wBlockAlign) {
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_WMAUDIO2;
    wfx.nChannels = wChannels;
    wfx.nSamplesPerSec = dwRate;
    wfx.nAvgBytesPerSec = dwBitrate / 8;
    wfx.nBlockAlign = wBlockAlign;
    wfx.wBitsPerSample = 16;
    wfx.cbSize = 10;
    return wfx;
}

void ResetWorld() {
    g_pWorld = std::make_unique<SFakeWorld>();
    SFakeWorld& world = *g_pWorld;
    world.videoCodecs = {{{MakeFourCC('W', 'M', 'V', '2')}}, {{MakeFourCC('W', 'M', 'V', '1')}}};
    world.audioCodecs = {{{WmaFormat(48000, 2, 192000, 8917), WmaFormat(48000, 2, 128000, 5945),
                           WmaFormat(48000, 2, 64000, 2973), WmaFormat(44100, 2, 128000, 5945),
                           WmaFormat(44100, 1, 48000, 2230)}}};
}

int LiveFakeObjects() { return g_cLive; }

const WM_MEDIA_TYPE* InputType(DWORD dwInput) {
    std::lock_guard lock(World().mutex);
    const auto it = World().inputTypes.find(dwInput);
    return it == World().inputTypes.end() ? nullptr : reinterpret_cast<const WM_MEDIA_TYPE*>(it->second.data());
}

extern "C" HRESULT WMCreateProfileManager(IWMProfileManager** ppManager) noexcept {
    *ppManager = nullptr;
    if (World().bNoManager) return CO_E_NOTINITIALIZED;
    const HRESULT hr = World().Step("WMCreateProfileManager");
    if (SUCCEEDED(hr)) *ppManager = static_cast<IWMProfileManager2*>(new CFakeProfileManager);
    return hr;
}

extern "C" HRESULT WMCreateWriter(IUnknown*, IWMWriter** ppWriter) noexcept {
    *ppWriter = nullptr;
    const HRESULT hr = World().Step("WMCreateWriter");
    if (SUCCEEDED(hr)) *ppWriter = new CFakeWriter;
    return hr;
}

extern "C" HRESULT WMCreateSyncReader(IUnknown*, DWORD, IWMSyncReader** ppReader) noexcept {
    *ppReader = nullptr;
    return E_NOTIMPL;
}
