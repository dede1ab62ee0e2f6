#include "wmf/CPacketSpool.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "win/NsError.h"
#include "wmf/CAsfFileIo.h"

namespace {

// What the file keeps of a packet, followed by its size bytes.
struct SRecord {
    int64_t pts;
    int64_t dts;
    int64_t duration;
    int32_t flags;
    int32_t streamIndex;
    int32_t size;
    int32_t reserved;
};

// Moves all size bytes with pread or pwrite, whichever io is, through
// short transfers and interruptions.
template <class TBuffer, class TIo>
bool TransferAll(TIo io, int fd, TBuffer* data, size_t size, int64_t offset) noexcept {
    while (size > 0) {
        const ssize_t n = io(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool WriteAt(int fd, const void* data, size_t size, int64_t offset) noexcept {
    return TransferAll(pwrite, fd, static_cast<const uint8_t*>(data), size, offset);
}

bool ReadAt(int fd, void* data, size_t size, int64_t offset) noexcept {
    return TransferAll(pread, fd, static_cast<uint8_t*>(data), size, offset);
}

}  // namespace

HRESULT CPacketSpool::Push(const AVPacket& pkt) noexcept {
    const auto cb = static_cast<size_t>(pkt.size);
    // Once anything went to the file, everything after it must too, or a
    // younger packet would overtake it.
    if (m_cSpilled > 0 || m_cbMemory + cb > m_cbMemoryLimit) return Spill(pkt);
    AvPtr<AVPacket> pCopy = MakePacket();
    if (!pCopy) return E_OUTOFMEMORY;
    if (av_packet_ref(pCopy.get(), &pkt) < 0) return E_OUTOFMEMORY;
    av_packet_free_side_data(pCopy.get());
    try {
        m_memory.push_back(std::move(pCopy));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_cbMemory += cb;
    return S_OK;
}

HRESULT CPacketSpool::Spill(const AVPacket& pkt) noexcept {
    if (!m_pFile) {
        m_pFile.reset(std::tmpfile());
        if (!m_pFile) return CAsfFileIo::HrFromErrno(errno, /*bOpening=*/false);
    }
    const int fd = fileno(m_pFile.get());
    const SRecord record{pkt.pts, pkt.dts, pkt.duration, pkt.flags, pkt.stream_index, pkt.size, 0};
    if (!WriteAt(fd, &record, sizeof(record), m_writeOffset) ||
        !WriteAt(fd, pkt.data, static_cast<size_t>(pkt.size), m_writeOffset + sizeof(record)))
        return CAsfFileIo::HrFromErrno(errno, /*bOpening=*/false);
    m_writeOffset += static_cast<int64_t>(sizeof(record)) + pkt.size;
    ++m_cSpilled;
    return S_OK;
}

HRESULT CPacketSpool::LoadHead() noexcept {
    if (m_pHead) return S_OK;
    const int fd = fileno(m_pFile.get());
    SRecord record{};
    if (!ReadAt(fd, &record, sizeof(record), m_readOffset)) return NS_E_FILE_READ;
    AvPtr<AVPacket> pHead = MakePacket();
    if (!pHead || av_new_packet(pHead.get(), record.size) < 0) return E_OUTOFMEMORY;
    if (!ReadAt(fd, pHead->data, static_cast<size_t>(record.size),
                m_readOffset + static_cast<int64_t>(sizeof(record))))
        return NS_E_FILE_READ;
    pHead->pts = record.pts;
    pHead->dts = record.dts;
    pHead->duration = record.duration;
    pHead->flags = record.flags;
    pHead->stream_index = record.streamIndex;
    m_readOffset += static_cast<int64_t>(sizeof(record)) + record.size;
    m_pHead = std::move(pHead);
    return S_OK;
}

HRESULT CPacketSpool::Front(const AVPacket** ppPkt) noexcept {
    *ppPkt = nullptr;
    if (!m_memory.empty()) {
        *ppPkt = m_memory.front().get();
        return S_OK;
    }
    if (m_cSpilled == 0) return S_OK;
    const HRESULT hr = LoadHead();
    if (FAILED(hr)) return hr;
    *ppPkt = m_pHead.get();
    return S_OK;
}

HRESULT CPacketSpool::Pop(AVPacket* pOut) noexcept {
    av_packet_unref(pOut);
    if (!m_memory.empty()) {
        m_cbMemory -= static_cast<size_t>(m_memory.front()->size);
        av_packet_move_ref(pOut, m_memory.front().get());
        m_memory.pop_front();
        return S_OK;
    }
    if (m_cSpilled == 0) return E_UNEXPECTED;
    const HRESULT hr = LoadHead();
    if (FAILED(hr)) return hr;
    av_packet_move_ref(pOut, m_pHead.get());
    m_pHead.reset();
    if (--m_cSpilled == 0) {
        // Drained: start the file over so that it does not keep growing.
        m_readOffset = m_writeOffset = 0;
        if (ftruncate(fileno(m_pFile.get()), 0) != 0) return NS_E_FILE_WRITE;
    }
    return S_OK;
}
