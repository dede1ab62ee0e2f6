// A read-only IStream over the host's data source, through which the Windows
// Media reader gets every byte of a file: the reader never opens files by
// name, so all its file access goes through the host's I/O layer.
//
// The stream refuses what the host's source cannot do reliably: writes,
// locks, clones, any move to or past the end of the data (whatever the
// origin, so a negative relative move is refused too) and a Stat that asks
// for a name. The Windows Media layer is built to live with those refusals.
//
// Lifetime: created with a count of 1 that belongs to the creator
// (CAsfStream). The Windows Media reader takes and drops its own references;
// once the reader has been closed and released, the creator destroys the
// stream directly. AddRef and Release are atomic; Read, Seek and Stat take
// no lock, the reader calls them one at a time.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "vrx/VRXHost.h"
#include "win/ObjIdl.h"

class CROStream final : public IStream {
public:
    // Null when memory runs out.
    static std::unique_ptr<CROStream> Create() noexcept;
    ~CROStream();

    CROStream(const CROStream&) = delete;
    CROStream& operator=(const CROStream&) = delete;

    // Opens the file through a new data source of the host. The result is
    // the source's own Open status (negative on failure), or E_OUTOFMEMORY
    // when no source can be made. dwReserved is not used; pwszSecondName
    // goes to the source unchanged. A second call drops the first source.
    HRESULT OpenSource(const WCHAR* pwszName, DWORD dwReserved, const WCHAR* pwszSecondName) noexcept;

    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override;
    // 0 when this call freed the object, otherwise 0xBAD: the remaining
    // count is nobody's business but the stream's.
    ULONG Release() noexcept override;

    // One read of the source, no retry: S_FALSE when fewer bytes than asked
    // came back (end of data or a failure in the source). pcbRead may be
    // null.
    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) noexcept override;
    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) noexcept override;
    // The move, read as unsigned, must lie below the size of the data.
    HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) noexcept override;
    HRESULT SetSize(ULARGE_INTEGER libNewSize) noexcept override;
    HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                   ULARGE_INTEGER* pcbWritten) noexcept override;
    HRESULT Commit(DWORD grfCommitFlags) noexcept override;
    HRESULT Revert() noexcept override;
    HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) noexcept override;
    HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) noexcept override;
    // Only with STATFLAG_NONAME: type STGTY_STREAM and the size of the data.
    HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) noexcept override;
    HRESULT Clone(IStream** ppstm) noexcept override;

private:
    CROStream() noexcept = default;

    // Closes, cleans up and frees a source, in the order the host expects.
    struct SourceDeleter {
        void operator()(CSoftDataSource* pSource) const noexcept;
    };

    std::unique_ptr<CSoftDataSource, SourceDeleter> m_pSource;
    std::atomic<LONG> m_lRef{1};
    std::u16string m_strPath;
};
