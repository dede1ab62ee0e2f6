#include "wmf/CNSSBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "win/NsError.h"
#include "wmf/WmCopyOut.h"

HRESULT CNSSBuffer::Create(DWORD cbMaxLength, INSSBuffer** ppBuffer) noexcept try {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    auto pBuffer = ComPtr<CNSSBuffer>::Adopt(new (std::nothrow) CNSSBuffer());
    if (!pBuffer) return E_OUTOFMEMORY;
    // Not zeroed: the caller writes the sample, and pictures are large.
    pBuffer->m_pOwned = std::make_unique_for_overwrite<BYTE[]>(cbMaxLength);
    pBuffer->m_pData = pBuffer->m_pOwned.get();
    pBuffer->m_cbMaxLength = pBuffer->m_cbLength = cbMaxLength;
    *ppBuffer = pBuffer.Detach();
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CNSSBuffer::CreateCopy(const BYTE* pData, DWORD cbData, INSSBuffer** ppBuffer) noexcept {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    if (cbData && !pData) return E_INVALIDARG;
    ComPtr<INSSBuffer> pBuffer;
    const HRESULT hr = Create(cbData, pBuffer.Put());
    if (FAILED(hr)) return hr;
    if (cbData) std::memcpy(static_cast<CNSSBuffer*>(pBuffer.Get())->m_pData, pData, cbData);
    *ppBuffer = pBuffer.Detach();
    return S_OK;
}

HRESULT CNSSBuffer::Wrap(BYTE* pData, DWORD cbData, std::shared_ptr<const void> pOwner,
                         INSSBuffer** ppBuffer) noexcept {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    if (cbData && !pData) return E_INVALIDARG;
    auto* pBuffer = new (std::nothrow) CNSSBuffer();
    if (!pBuffer) return E_OUTOFMEMORY;
    pBuffer->m_pData = pData;
    pBuffer->m_cbMaxLength = pBuffer->m_cbLength = cbData;
    pBuffer->m_pOwner = std::move(pOwner);
    *ppBuffer = pBuffer;
    return S_OK;
}

HRESULT CNSSBuffer::CreateDeferred(DWORD cbLength, FillFunction fill, INSSBuffer** ppBuffer) noexcept {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    if (!fill) return E_INVALIDARG;
    auto* pBuffer = new (std::nothrow) CNSSBuffer();
    if (!pBuffer) return E_OUTOFMEMORY;
    pBuffer->m_cbMaxLength = pBuffer->m_cbLength = cbLength;
    pBuffer->m_fill = std::move(fill);
    *ppBuffer = pBuffer;
    return S_OK;
}

HRESULT CNSSBuffer::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_INSSBuffer || riid == IID_INSSBuffer2 ||
          riid == IID_INSSBuffer3))
        return E_NOINTERFACE;
    *ppv = static_cast<INSSBuffer3*>(this);
    AddRef();
    return S_OK;
}

ULONG CNSSBuffer::Release() noexcept {
    const ULONG cRef = --m_cRef;
    if (cRef == 0) delete this;
    return cRef;
}

HRESULT CNSSBuffer::EnsureData() noexcept try {
    if (!m_fill) return m_hrFill;
    // The function goes whatever its outcome: it may hold decoder state that
    // should not outlive the first access.
    FillFunction fill = std::move(m_fill);
    m_fill = nullptr;
    m_pOwned = std::make_unique_for_overwrite<BYTE[]>(m_cbMaxLength);
    m_hrFill = fill(m_pOwned.get(), m_cbMaxLength);
    if (FAILED(m_hrFill)) {
        m_pOwned.reset();
        return m_hrFill;
    }
    m_pData = m_pOwned.get();
    return S_OK;
} catch (const std::bad_alloc&) {
    m_hrFill = E_OUTOFMEMORY;
    return m_hrFill;
}

HRESULT CNSSBuffer::GetLength(DWORD* pdwLength) noexcept {
    if (!pdwLength) return E_POINTER;
    *pdwLength = m_cbLength;
    return S_OK;
}

HRESULT CNSSBuffer::SetLength(DWORD dwLength) noexcept {
    if (dwLength > m_cbMaxLength) return E_INVALIDARG;
    m_cbLength = dwLength;
    return S_OK;
}

HRESULT CNSSBuffer::GetMaxLength(DWORD* pdwLength) noexcept {
    if (!pdwLength) return E_POINTER;
    *pdwLength = m_cbMaxLength;
    return S_OK;
}

HRESULT CNSSBuffer::GetBuffer(BYTE** ppdwBuffer) noexcept {
    if (!ppdwBuffer) return E_POINTER;
    *ppdwBuffer = nullptr;
    const HRESULT hr = EnsureData();
    if (FAILED(hr)) return hr;
    *ppdwBuffer = m_pData;
    return S_OK;
}

HRESULT CNSSBuffer::GetBufferAndLength(BYTE** ppdwBuffer, DWORD* pdwLength) noexcept {
    if (!ppdwBuffer || !pdwLength) return E_POINTER;
    *ppdwBuffer = nullptr;
    *pdwLength = 0;
    const HRESULT hr = EnsureData();
    if (FAILED(hr)) return hr;
    *ppdwBuffer = m_pData;
    *pdwLength = m_cbLength;
    return S_OK;
}

HRESULT CNSSBuffer::GetSampleProperties(DWORD, BYTE*) noexcept { return E_NOTIMPL; }
HRESULT CNSSBuffer::SetSampleProperties(DWORD, BYTE*) noexcept { return E_NOTIMPL; }

HRESULT CNSSBuffer::SetProperty(GUID guidBufferProperty, void* pvBufferProperty,
                                DWORD dwBufferPropertySize) noexcept try {
    if (dwBufferPropertySize && !pvBufferProperty) return E_POINTER;
    const auto* pBytes = static_cast<const BYTE*>(pvBufferProperty);
    std::vector<BYTE> value(pBytes, pBytes + dwBufferPropertySize);
    const auto it = std::find_if(m_properties.begin(), m_properties.end(),
                                 [&](const Property& p) { return p.guid == guidBufferProperty; });
    if (it != m_properties.end())
        it->value = std::move(value);
    else
        m_properties.push_back(Property{guidBufferProperty, std::move(value)});
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CNSSBuffer::GetProperty(GUID guidBufferProperty, void* pvBufferProperty,
                                DWORD* pdwBufferPropertySize) noexcept {
    if (!pdwBufferPropertySize) return E_POINTER;
    const auto it = std::find_if(m_properties.begin(), m_properties.end(),
                                 [&](const Property& p) { return p.guid == guidBufferProperty; });
    if (it == m_properties.end()) return NS_E_UNSUPPORTED_PROPERTY;
    return CopyBytesOut(it->value.data(), it->value.size(), pvBufferProperty, pdwBufferPropertySize);
}
