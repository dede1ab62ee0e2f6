// The byte-stream interfaces of the platform's object model: the reader hands
// an IStream over the host's data source to the Windows Media layer. Method
// order and record layout follow the platform's objidl.h, so any IStream
// implementation is interchangeable across our libraries.
#pragma once

#include "win/Unknown.h"

// {0C733A30-2A1C-11CE-ADE5-00AA0044773D}
inline constexpr IID IID_ISequentialStream{
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
// {0000000C-0000-0000-C000-000000000046}
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Origins of IStream::Seek.
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// IStream::Stat flags: with STATFLAG_DEFAULT the stream allocates pwcsName
// with CoTaskMemAlloc and the caller frees it with CoTaskMemFree.
inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;

// STATSTG::type.
inline constexpr DWORD STGTY_STORAGE = 1;
inline constexpr DWORD STGTY_STREAM = 2;
inline constexpr DWORD STGTY_LOCKBYTES = 3;
inline constexpr DWORD STGTY_PROPERTY = 4;

struct STATSTG {
    WCHAR* pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};
static_assert(sizeof(STATSTG) == 80 && offsetof(STATSTG, cbSize) == 16 && offsetof(STATSTG, clsid) == 56);

struct ISequentialStream : IUnknown {
    static constexpr const IID& kIid = IID_ISequentialStream;

    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) noexcept = 0;
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) noexcept = 0;

protected:
    ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
    static constexpr const IID& kIid = IID_IStream;

    virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) noexcept = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) noexcept = 0;
    virtual HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                           ULARGE_INTEGER* pcbWritten) noexcept = 0;
    virtual HRESULT Commit(DWORD grfCommitFlags) noexcept = 0;
    virtual HRESULT Revert() noexcept = 0;
    virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) noexcept = 0;
    virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) noexcept = 0;
    virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) noexcept = 0;
    virtual HRESULT Clone(IStream** ppstm) noexcept = 0;

protected:
    ~IStream() = default;
};
