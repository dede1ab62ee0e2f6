// A first-in first-out queue of encoded packets whose memory is bounded:
// packets stay in memory up to a byte limit, and the ones beyond it go to an
// anonymous temporary file until the queue has drained past them. The
// writer uses it where one stream must wait for another (interleaving, the
// audio of a preprocessing pass) so that its memory does not grow with the
// length of the file. One caller at a time.
#pragma once

#include <cstdio>
#include <deque>
#include <memory>

#include "wmf/AvPtr.h"
#include "win/WinError.h"

class CPacketSpool {
public:
    explicit CPacketSpool(size_t cbMemoryLimit) noexcept : m_cbMemoryLimit(cbMemoryLimit) {}

    // Queues a copy of the packet (data, times, flags, stream index; side
    // data is not kept).
    HRESULT Push(const AVPacket& pkt) noexcept;

    bool Empty() const noexcept { return m_memory.empty() && m_cSpilled == 0; }
    size_t Count() const noexcept { return m_memory.size() + m_cSpilled; }
    size_t MemoryBytes() const noexcept { return m_cbMemory; }

    // The oldest packet, valid until the next Pop or Push; null when empty.
    HRESULT Front(const AVPacket** ppPkt) noexcept;
    // Moves the oldest packet into pOut (which is unreferenced first).
    HRESULT Pop(AVPacket* pOut) noexcept;

private:
    struct FileCloser {
        void operator()(FILE* p) const noexcept { fclose(p); }
    };
    HRESULT Spill(const AVPacket& pkt) noexcept;
    // Reads the next spilled packet into m_pHead.
    HRESULT LoadHead() noexcept;

    const size_t m_cbMemoryLimit;
    std::deque<AvPtr<AVPacket>> m_memory;
    size_t m_cbMemory = 0;

    // Spilled packets, all younger than every packet in memory.
    std::unique_ptr<FILE, FileCloser> m_pFile;
    size_t m_cSpilled = 0;
    int64_t m_readOffset = 0;
    int64_t m_writeOffset = 0;
    AvPtr<AVPacket> m_pHead;  // the oldest spilled packet once read back
};
