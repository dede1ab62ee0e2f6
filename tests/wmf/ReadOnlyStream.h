// The part of a test IStream that behaves like the reader's adapter over the
// host's data source whatever holds the bytes: reference counting, moves
// only from the start or the end and only to a byte below the end, Stat
// only with STATFLAG_NONAME, and no writing. A derived stream gives the
// bytes (ReadAt) and their count (Size).
#pragma once

#include <atomic>

#include "win/ObjIdl.h"

class CReadOnlyStream : public IStream {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IStream)) return E_NOINTERFACE;
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override {
        const ULONG cRef = --m_cRef;
        if (cRef == 0) delete this;
        return cRef;
    }
    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) noexcept override {
        ++m_reads;
        const ULONG got = ReadAt(m_pos, pv, cb);
        m_pos += got;
        if (pcbRead) *pcbRead = got;
        return got == cb ? S_OK : S_FALSE;
    }
    HRESULT Write(const void*, ULONG, ULONG*) noexcept override { return E_NOTIMPL; }
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* pNew) noexcept override {
        ++m_seeks;
        const auto offset = static_cast<uint64_t>(move.QuadPart);
        if (origin == STREAM_SEEK_CUR || origin > STREAM_SEEK_END || offset >= Size()) {
            ++m_refusedSeeks;
            return E_INVALIDARG;
        }
        m_pos = origin == STREAM_SEEK_SET ? offset : Size() - 1 - offset;
        if (pNew) pNew->QuadPart = m_pos;
        return S_OK;
    }
    HRESULT SetSize(ULARGE_INTEGER) noexcept override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) noexcept override { return E_NOTIMPL; }
    HRESULT Commit(DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT Revert() noexcept override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG* pStat, DWORD flag) noexcept override {
        if (!pStat || flag != STATFLAG_NONAME) return E_INVALIDARG;
        *pStat = {};
        pStat->type = STGTY_STREAM;
        pStat->cbSize.QuadPart = m_cbReported ? m_cbReported : Size();
        return S_OK;
    }
    HRESULT Clone(IStream**) noexcept override { return E_NOTIMPL; }

    int Reads() const noexcept { return m_reads; }
    int Seeks() const noexcept { return m_seeks; }
    int RefusedSeeks() const noexcept { return m_refusedSeeks; }
    // Stat reports this size instead: a stream that ends before it says.
    void ReportSize(uint64_t cb) noexcept { m_cbReported = cb; }

protected:
    CReadOnlyStream() = default;
    virtual ~CReadOnlyStream() = default;
    virtual uint64_t Size() const noexcept = 0;
    // Copies up to cb bytes at pos; fewer at the end.
    virtual ULONG ReadAt(uint64_t pos, void* pv, ULONG cb) noexcept = 0;

private:
    std::atomic<ULONG> m_cRef{1};
    uint64_t m_pos = 0;
    uint64_t m_cbReported = 0;
    int m_reads = 0;
    int m_seeks = 0;
    int m_refusedSeeks = 0;
};
