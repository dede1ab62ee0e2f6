// A mutual exclusion of a profile: its type (CLSID_WMMUTEX_*) and the
// numbers of the streams of which a reader plays only one.
// Not thread-safe: one caller at a time.
#pragma once

#include <atomic>
#include <vector>

#include "wmf/WmInterfaces.h"

class CWmMutualExclusion final : public IWMMutualExclusion {
public:
    // An empty exclusion of type GUID_NULL.
    static HRESULT Create(IWMMutualExclusion** ppME) noexcept;
    // A copy of any exclusion, read through its interface.
    static HRESULT CreateCopy(IWMMutualExclusion* pSource, IWMMutualExclusion** ppME) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMStreamList. GetStreams reports the count needed in *pcStreams and
    // fails with ASF_E_BUFFERTOOSMALL when the array is too short; a null
    // array asks for the count. A stream is listed once: adding a listed
    // number, or removing an absent one, is E_INVALIDARG.
    HRESULT GetStreams(WORD* pwStreamNumArray, WORD* pcStreams) noexcept override;
    HRESULT AddStream(WORD wStreamNum) noexcept override;
    HRESULT RemoveStream(WORD wStreamNum) noexcept override;

    // IWMMutualExclusion
    HRESULT GetType(GUID* pguidType) noexcept override;
    HRESULT SetType(REFGUID guidType) noexcept override;

private:
    CWmMutualExclusion() noexcept = default;
    ~CWmMutualExclusion() = default;

    std::atomic<ULONG> m_cRef{1};
    GUID m_guidType = GUID_NULL;
    std::vector<WORD> m_streams;
};
