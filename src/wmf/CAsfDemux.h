// libavformat's asf demuxer over the caller's stream, as the reader's
// cursors use it: stored payloads exactly as the file holds them (no
// parsers, no filled-in times), only the streams asked for, and
// repositioning to any data packet of the file.
//
// Each cursor owns its own CAsfDemux, so streams read at different places
// of the file never queue data for each other. Not thread-safe: the reader
// serialises all calls.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "wmf/AvPtr.h"
#include "wmf/CAsfHeaderInfo.h"
#include "wmf/CStreamIo.h"

// One media object as stored.
struct SAsfObject {
    WORD wStreamNum = 0;
    int64_t time = 0;    // stored presentation time minus preroll, 100 ns
    uint64_t pos = 0;    // the data packet in which the object starts
    bool bKey = false;   // the writer marked it a key frame
};

class CAsfDemux {
public:
    static HRESULT Open(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                        std::unique_ptr<CAsfDemux>& demux) noexcept;
    ~CAsfDemux() = default;
    CAsfDemux(const CAsfDemux&) = delete;
    CAsfDemux& operator=(const CAsfDemux&) = delete;

    // Only these streams are returned; the payloads of others are skipped.
    void Select(const std::vector<WORD>& streams) noexcept;
    // The codec parameters FFmpeg derived from the stream's stored format;
    // null for an unknown number.
    const AVCodecParameters* Parameters(WORD wStreamNum) const noexcept;

    // Continues with the data packet at that byte position (rounded down to
    // a packet boundary); objects that began before it are skipped.
    HRESULT SeekToByte(uint64_t pos) noexcept;
    HRESULT SeekToPacket(uint64_t packetIndex) noexcept;
    // The next whole object of a selected stream. NS_E_NO_MORE_SAMPLES at
    // the end of the data; an object cut short by the end of a truncated
    // file is not returned.
    HRESULT Read(AVPacket* pkt, SAsfObject& object) noexcept;

    // Data packets are all this size when the file says so; 0 when their
    // size varies.
    uint64_t PacketSize() const noexcept { return m_cbPacket; }
    // Data packets the stream really holds.
    uint64_t PacketCount() const noexcept;
    uint64_t FirstPacketPos() const noexcept { return m_cbFirst; }
    uint64_t PacketIndexOf(uint64_t pos) const noexcept;

private:
    CAsfDemux() = default;

    std::unique_ptr<CStreamIo> m_pIo;
    AvPtr<AVFormatContext> m_pFormat;
    std::vector<int> m_indexOf;  // stream number -> AVStream index, -1 none
    uint64_t m_cbFirst = 0;
    uint64_t m_cbPacket = 0;
    uint64_t m_cbDataEnd = 0;
    bool m_bTruncated = false;
};
