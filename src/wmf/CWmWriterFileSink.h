// The file sink a writer gets from SetOutputFilename, as the platform's
// writer adds one: it names the output file and carries the status
// callbacks registered with it (IWMRegisterCallback), which the writer
// notifies of its errors. The writer writes the file itself; the sink's
// data-unit methods are not a way in (E_NOTIMPL).
#pragma once

#include <atomic>
#include <string>

#include "wmf/CWmStatusListeners.h"
#include "wmf/WmInterfaces.h"

class CWmWriterFileSink final : public IWMWriterSink, public IWMRegisterCallback {
public:
    static HRESULT Create(std::u16string fileName, CWmWriterFileSink** ppSink) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMWriterSink
    HRESULT OnHeader(INSSBuffer* pHeader) noexcept override;
    HRESULT IsRealTime(BOOL* pfRealTime) noexcept override;
    HRESULT AllocateDataUnit(DWORD cbDataUnit, INSSBuffer** ppDataUnit) noexcept override;
    HRESULT OnDataUnit(INSSBuffer* pDataUnit) noexcept override;
    HRESULT OnEndWriting() noexcept override;

    // IWMRegisterCallback
    HRESULT Advise(IWMStatusCallback* pCallback, void* pvContext) noexcept override;
    HRESULT Unadvise(IWMStatusCallback* pCallback, void* pvContext) noexcept override;

    // The output file; set by the writer, one caller at a time.
    const std::u16string& FileName() const noexcept { return m_strFileName; }
    void SetFileName(std::u16string fileName) noexcept { m_strFileName = std::move(fileName); }
    void Notify(WMT_STATUS status, HRESULT hr) noexcept { m_listeners.Notify(status, hr); }

private:
    explicit CWmWriterFileSink(std::u16string fileName) noexcept
        : m_strFileName(std::move(fileName)) {}
    ~CWmWriterFileSink() = default;

    std::atomic<ULONG> m_cRef{1};
    std::u16string m_strFileName;
    CWmStatusListeners m_listeners;
};
