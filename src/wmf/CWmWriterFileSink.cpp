#include "wmf/CWmWriterFileSink.h"

#include <new>

HRESULT CWmWriterFileSink::Create(std::u16string fileName, CWmWriterFileSink** ppSink) noexcept {
    if (!ppSink) return E_POINTER;
    *ppSink = new (std::nothrow) CWmWriterFileSink(std::move(fileName));
    return *ppSink ? S_OK : E_OUTOFMEMORY;
}

HRESULT CWmWriterFileSink::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IWMWriterSink)
        *ppv = static_cast<IWMWriterSink*>(this);
    else if (riid == IID_IWMRegisterCallback)
        *ppv = static_cast<IWMRegisterCallback*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CWmWriterFileSink::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

HRESULT CWmWriterFileSink::OnHeader(INSSBuffer*) noexcept { return E_NOTIMPL; }

HRESULT CWmWriterFileSink::IsRealTime(BOOL* pfRealTime) noexcept {
    if (!pfRealTime) return E_POINTER;
    *pfRealTime = FALSE;
    return S_OK;
}

HRESULT CWmWriterFileSink::AllocateDataUnit(DWORD, INSSBuffer** ppDataUnit) noexcept {
    if (ppDataUnit) *ppDataUnit = nullptr;
    return E_NOTIMPL;
}

HRESULT CWmWriterFileSink::OnDataUnit(INSSBuffer*) noexcept { return E_NOTIMPL; }

HRESULT CWmWriterFileSink::OnEndWriting() noexcept { return E_NOTIMPL; }

HRESULT CWmWriterFileSink::Advise(IWMStatusCallback* pCallback, void* pvContext) noexcept {
    return m_listeners.Advise(pCallback, pvContext);
}

HRESULT CWmWriterFileSink::Unadvise(IWMStatusCallback* pCallback, void* pvContext) noexcept {
    return m_listeners.Unadvise(pCallback, pvContext);
}
