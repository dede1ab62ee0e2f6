#include "wmf/CStreamIo.h"

#include <algorithm>
#include <new>

namespace {

// Large enough for several ASF packets per call into the caller's stream.
constexpr int kIoBufferSize = 64 * 1024;

}  // namespace

HRESULT CStreamSource::Create(IStream* pStream, std::shared_ptr<CStreamSource>& source) noexcept try {
    if (!pStream) return E_POINTER;
    STATSTG stat{};
    const HRESULT hr = pStream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    std::shared_ptr<CStreamSource> created(new CStreamSource(pStream));
    created->m_cbSize = stat.cbSize.QuadPart;
    source = std::move(created);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CStreamSource::ReadAt(uint64_t pos, void* pv, uint32_t cb, uint32_t* pcbRead) noexcept {
    *pcbRead = 0;
    if (pos >= m_cbSize || cb == 0) return S_OK;
    cb = static_cast<uint32_t>(std::min<uint64_t>(cb, m_cbSize - pos));
    if (m_cbStreamPos != pos) {
        // Only absolute moves to a byte inside the stream: some streams
        // refuse everything else.
        LARGE_INTEGER move{};
        move.QuadPart = static_cast<LONGLONG>(pos);
        const HRESULT hr = m_pStream->Seek(move, STREAM_SEEK_SET, nullptr);
        if (FAILED(hr)) {
            m_cbStreamPos = UINT64_MAX;
            m_hrLast = hr;
            return hr;
        }
        m_cbStreamPos = pos;
    }
    ULONG cbRead = 0;
    const HRESULT hr = m_pStream->Read(pv, cb, &cbRead);
    if (FAILED(hr)) {
        m_cbStreamPos = UINT64_MAX;
        m_hrLast = hr;
        return hr;
    }
    cbRead = std::min<ULONG>(cbRead, cb);
    m_cbStreamPos = pos + cbRead;
    // A stream reports its end only by reading short.
    if (cbRead < cb) m_cbSize = pos + cbRead;
    *pcbRead = cbRead;
    return S_OK;
}

HRESULT CStreamIo::Create(std::shared_ptr<CStreamSource> source, std::unique_ptr<CStreamIo>& io) noexcept try {
    if (!source) return E_POINTER;
    std::unique_ptr<CStreamIo> created(new CStreamIo(std::move(source)));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer) return E_OUTOFMEMORY;
    AVIOContext* context = avio_alloc_context(buffer, kIoBufferSize, /*write_flag=*/0,
                                              created.get(), &CStreamIo::Read, nullptr,
                                              &CStreamIo::Seek);
    if (!context) {
        av_free(buffer);
        return E_OUTOFMEMORY;
    }
    created->m_pContext.reset(context);
    io = std::move(created);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

int CStreamIo::Read(void* opaque, uint8_t* buf, int size) noexcept {
    auto* self = static_cast<CStreamIo*>(opaque);
    if (size <= 0) return 0;
    uint32_t cbRead = 0;
    const HRESULT hr = self->m_pSource->ReadAt(self->m_cbPos, buf, static_cast<uint32_t>(size), &cbRead);
    // EIO alone would hide the stream's reason; the source keeps it.
    if (FAILED(hr)) return AVERROR(EIO);
    // AVIO wants AVERROR_EOF, never 0, at the end of the data.
    if (cbRead == 0) return AVERROR_EOF;
    self->m_cbPos += cbRead;
    return static_cast<int>(cbRead);
}

int64_t CStreamIo::Seek(void* opaque, int64_t offset, int whence) noexcept {
    auto* self = static_cast<CStreamIo*>(opaque);
    const auto size = static_cast<int64_t>(self->m_pSource->Size());
    whence &= ~AVSEEK_FORCE;
    int64_t target = 0;
    switch (whence) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = static_cast<int64_t>(self->m_cbPos) + offset;
        break;
    case SEEK_END:
        target = size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    // The caller's stream moves only when bytes are read, so a position at
    // or past the end never reaches it.
    self->m_cbPos = static_cast<uint64_t>(target);
    return target;
}
