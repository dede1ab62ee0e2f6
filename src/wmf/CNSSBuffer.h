// A sample buffer (INSSBuffer/INSSBuffer3): bytes with a used length not
// above the buffer's size, and sample properties keyed by GUID.
//
// The bytes can be owned, borrowed from an owner that the buffer keeps alive
// (packet or frame memory, without a copy), or made on first access to the
// data, so that a reader can hand out samples whose data may never be looked
// at and convert a picture straight into the sample's memory when it is.
//
// Reference counting is thread-safe; everything else is for one caller at a
// time.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "wmf/WmInterfaces.h"

class CNSSBuffer final : public INSSBuffer3 {
public:
    // Owns cbMaxLength uninitialised bytes; the length is cbMaxLength, as a
    // writer's AllocateSample gives it.
    static HRESULT Create(DWORD cbMaxLength, INSSBuffer** ppBuffer) noexcept;
    // Owns a copy of cbData bytes.
    static HRESULT CreateCopy(const BYTE* pData, DWORD cbData, INSSBuffer** ppBuffer) noexcept;
    // Borrows cbData bytes at pData, which pOwner keeps valid; the buffer
    // holds pOwner until it dies.
    static HRESULT Wrap(BYTE* pData, DWORD cbData, std::shared_ptr<const void> pOwner,
                        INSSBuffer** ppBuffer) noexcept;

    // Writes cbDest bytes at pDest; a failure is the failure of every access
    // to the buffer's data.
    using FillFunction = std::function<HRESULT(BYTE* pDest, DWORD cbDest)>;
    // Owns cbLength bytes that fill makes the first time GetBuffer or
    // GetBufferAndLength is called (once; fill is dropped afterwards).
    // Lengths and properties are available at once.
    static HRESULT CreateDeferred(DWORD cbLength, FillFunction fill, INSSBuffer** ppBuffer) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // INSSBuffer
    HRESULT GetLength(DWORD* pdwLength) noexcept override;
    // E_INVALIDARG above the maximum length.
    HRESULT SetLength(DWORD dwLength) noexcept override;
    HRESULT GetMaxLength(DWORD* pdwLength) noexcept override;
    HRESULT GetBuffer(BYTE** ppdwBuffer) noexcept override;
    HRESULT GetBufferAndLength(BYTE** ppdwBuffer, DWORD* pdwLength) noexcept override;

    // INSSBuffer2 (not implemented by the platform either)
    HRESULT GetSampleProperties(DWORD cbProperties, BYTE* pbProperties) noexcept override;
    HRESULT SetSampleProperties(DWORD cbProperties, BYTE* pbProperties) noexcept override;

    // INSSBuffer3. GetProperty: NS_E_UNSUPPORTED_PROPERTY for a property not
    // set; a null buffer asks for the size; ASF_E_BUFFERTOOSMALL for a short one.
    HRESULT SetProperty(GUID guidBufferProperty, void* pvBufferProperty,
                        DWORD dwBufferPropertySize) noexcept override;
    HRESULT GetProperty(GUID guidBufferProperty, void* pvBufferProperty,
                        DWORD* pdwBufferPropertySize) noexcept override;

private:
    CNSSBuffer() noexcept = default;
    ~CNSSBuffer() = default;
    // Makes deferred bytes if they are not made yet.
    HRESULT EnsureData() noexcept;

    struct Property {
        GUID guid;
        std::vector<BYTE> value;
    };

    std::atomic<ULONG> m_cRef{1};
    BYTE* m_pData = nullptr;
    DWORD m_cbMaxLength = 0;
    DWORD m_cbLength = 0;
    std::unique_ptr<BYTE[]> m_pOwned;
    std::shared_ptr<const void> m_pOwner;
    FillFunction m_fill;
    HRESULT m_hrFill = S_OK;
    std::vector<Property> m_properties;
};
