#include "reader/CROStream.h"

#include <new>

namespace {

// The host source's flag for a file read front to back (the platform's
// FILE_FLAG_SEQUENTIAL_SCAN).
constexpr uint32_t kOpenSequentialScan = 0x08000000;

// The host source's seek modes.
constexpr uint32_t kSourceSeekFromStart = 1;
constexpr uint32_t kSourceSeekFromEnd = 2;
constexpr uint32_t kSourceSeekFromCurrent = 3;

// What Release answers while other references remain.
constexpr ULONG kStillReferenced = 0xBAD;

}  // namespace

void CROStream::SourceDeleter::operator()(CSoftDataSource* pSource) const noexcept {
    pSource->Close();
    pSource->Cleanup();
    delete pSource;
}

std::unique_ptr<CROStream> CROStream::Create() noexcept {
    return std::unique_ptr<CROStream>(new (std::nothrow) CROStream());
}

CROStream::~CROStream() {
    m_pSource.reset();
}

HRESULT CROStream::OpenSource(const WCHAR* pwszName, DWORD /*dwReserved*/,
                              const WCHAR* pwszSecondName) noexcept try {
    m_pSource.reset();
    m_strPath = pwszName ? pwszName : u"";
    m_pSource.reset(CSoftDataSource::Construct(IOWORKMODE_READ));
    if (!m_pSource) return E_OUTOFMEMORY;
    return m_pSource->Open(m_strPath.c_str(), kOpenSequentialScan, pwszSecondName, /*reserved=*/0);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CROStream::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    // ISequentialStream is not answered: the platform's readers never ask
    // for it, and answering it would promise a separate identity.
    if (!(riid == IID_IUnknown || riid == IID_IStream)) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
}

ULONG CROStream::AddRef() noexcept {
    return static_cast<ULONG>(++m_lRef);
}

ULONG CROStream::Release() noexcept {
    if (--m_lRef != 0) return kStillReferenced;
    delete this;
    return 0;
}

HRESULT CROStream::Read(void* pv, ULONG cb, ULONG* pcbRead) noexcept {
    if (!m_pSource) return E_UNEXPECTED;
    const ULONG cbRead = m_pSource->Read(pv, cb);
    if (pcbRead) *pcbRead = cbRead;
    return cbRead == cb ? S_OK : S_FALSE;
}

HRESULT CROStream::Write(const void*, ULONG, ULONG*) noexcept {
    return E_NOTIMPL;
}

HRESULT CROStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                        ULARGE_INTEGER* plibNewPosition) noexcept {
    uint32_t mode = 0;
    switch (dwOrigin) {
    case STREAM_SEEK_SET: mode = kSourceSeekFromStart; break;
    case STREAM_SEEK_CUR: mode = kSourceSeekFromCurrent; break;
    case STREAM_SEEK_END: mode = kSourceSeekFromEnd; break;
    default: return E_INVALIDARG;
    }
    if (!m_pSource) return E_UNEXPECTED;
    // The move is compared with the size whatever the origin: the source
    // misbehaves at and past its end, and a negative move, read unsigned,
    // is never below the size.
    const uint64_t move = static_cast<uint64_t>(dlibMove.QuadPart);
    if (move >= m_pSource->GetSize()) return E_INVALIDARG;
    const uint64_t position = m_pSource->Seek(move, mode);
    if (plibNewPosition) plibNewPosition->QuadPart = position;
    return S_OK;
}

HRESULT CROStream::SetSize(ULARGE_INTEGER) noexcept {
    return E_NOTIMPL;
}

HRESULT CROStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) noexcept {
    return E_NOTIMPL;
}

HRESULT CROStream::Commit(DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT CROStream::Revert() noexcept {
    return E_NOTIMPL;
}

HRESULT CROStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT CROStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
    return E_NOTIMPL;
}

HRESULT CROStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) noexcept {
    if (!pstatstg || grfStatFlag != STATFLAG_NONAME) return E_INVALIDARG;
    if (!m_pSource) return E_UNEXPECTED;
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = m_pSource->GetSize();
    return S_OK;
}

HRESULT CROStream::Clone(IStream**) noexcept {
    return E_NOTIMPL;
}
