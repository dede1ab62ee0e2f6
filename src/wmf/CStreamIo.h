// libavformat reads the caller's IStream through this adapter. The stream
// may refuse relative and end-relative moves and any position at or past its
// end, and its Stat needs STATFLAG_NONAME; so positions are kept here, the
// stream only ever sees absolute seeks to a byte it holds, and a short read
// marks the end of the data.
//
// Threads: FFmpeg calls Read/Seek on whichever thread is inside
// av_read_frame() or av_seek_frame(); the reader serialises those calls, so
// nothing here locks.
#pragma once

#include <cstdint>
#include <memory>

#include "win/ObjIdl.h"
#include "wmf/AvPtr.h"

// The caller's stream and what is known about it, shared by every
// CStreamIo of one open file (each cursor of the reader has its own).
class CStreamSource {
public:
    // Takes a reference on pStream; fails with the stream's own code when
    // Stat does.
    static HRESULT Create(IStream* pStream, std::shared_ptr<CStreamSource>& source) noexcept;

    // Reads up to cb bytes at byte pos; *pcbRead is 0 at or past the end.
    // A short read is the end of the data: later reads stop there.
    HRESULT ReadAt(uint64_t pos, void* pv, uint32_t cb, uint32_t* pcbRead) noexcept;

    uint64_t Size() const noexcept { return m_cbSize; }
    // The last failure the stream itself reported, S_OK when none.
    HRESULT LastError() const noexcept { return m_hrLast; }

private:
    explicit CStreamSource(IStream* pStream) noexcept : m_pStream(pStream) {}

    ComPtr<IStream> m_pStream;
    uint64_t m_cbSize = 0;
    // Where the stream's own position is; UINT64_MAX when unknown.
    uint64_t m_cbStreamPos = UINT64_MAX;
    HRESULT m_hrLast = S_OK;
};

class CStreamIo {
public:
    // One AVIOContext over the shared source, starting at byte 0.
    static HRESULT Create(std::shared_ptr<CStreamSource> source,
                          std::unique_ptr<CStreamIo>& io) noexcept;
    ~CStreamIo() = default;
    CStreamIo(const CStreamIo&) = delete;
    CStreamIo& operator=(const CStreamIo&) = delete;

    AVIOContext* Context() const noexcept { return m_pContext.get(); }
    HRESULT LastError() const noexcept { return m_pSource->LastError(); }

    static int Read(void* opaque, uint8_t* buf, int size) noexcept;
    static int64_t Seek(void* opaque, int64_t offset, int whence) noexcept;

private:
    explicit CStreamIo(std::shared_ptr<CStreamSource> source) noexcept
        : m_pSource(std::move(source)) {}

    std::shared_ptr<CStreamSource> m_pSource;
    AvPtr<AVIOContext> m_pContext;
    uint64_t m_cbPos = 0;
};
