#include "reader/CMediaTypeBuffer.h"

#include <new>

HRESULT CMediaTypeBuffer::Read(IWMMediaProps* pProps) noexcept try {
    m_bValid = false;
    m_buffer.clear();
    if (!pProps) return E_POINTER;
    DWORD cbType = 0;
    HRESULT hr = pProps->GetMediaType(nullptr, &cbType);
    if (hr != S_OK) return hr;
    // A size below the structure would let the runtime write past the buffer.
    if (cbType < sizeof(WM_MEDIA_TYPE)) return ASF_E_BUFFERTOOSMALL;
    m_buffer.assign((cbType + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
    hr = pProps->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(m_buffer.data()), &cbType);
    if (hr != S_OK) return hr;
    m_bValid = true;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

const WM_MEDIA_TYPE* CMediaTypeBuffer::Get() const noexcept {
    return m_bValid ? reinterpret_cast<const WM_MEDIA_TYPE*>(m_buffer.data()) : nullptr;
}

const VIDEOINFOHEADER* CMediaTypeBuffer::VideoInfo() const noexcept {
    const WM_MEDIA_TYPE* pType = Get();
    if (!pType || !(pType->formattype == FORMAT_VideoInfo) || !pType->pbFormat ||
        pType->cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(pType->pbFormat);
}

const WAVEFORMATEX* CMediaTypeBuffer::WaveFormat() const noexcept {
    const WM_MEDIA_TYPE* pType = Get();
    if (!pType || !(pType->formattype == FORMAT_WaveFormatEx) || !pType->pbFormat ||
        pType->cbFormat < sizeof(WAVEFORMATEX))
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(pType->pbFormat);
}

DWORD CMediaTypeBuffer::FormatBytesFrom(size_t offset) const noexcept {
    const WM_MEDIA_TYPE* pType = Get();
    if (!pType || pType->cbFormat <= offset) return 0;
    return static_cast<DWORD>(pType->cbFormat - offset);
}
