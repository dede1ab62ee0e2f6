// One ASF file being written with libavformat's asf muxer: the streams, the
// header metadata, the interleaving of the encoders' packets and the end of
// the file (the index, then the header rewritten with the final sizes).
//
// Times: packets arrive in their encoder's time base and are stored in
// whole milliseconds, rounded to the nearest (never truncated), so that a
// reader snaps them back onto the exact frame grid. Negative times (audio
// priming) stay negative: they lie in the file's preroll, and video keeps
// starting at 0.
//
// Interleaving: packets go to the file in time order across the streams. A
// packet waits while another stream that has not ended has nothing queued;
// each stream's queue keeps a few megabytes in memory and the rest in a
// temporary file, so one stream running far ahead of the other costs disk,
// not memory.
//
// A file whose writing failed is closed without its trailer: its header
// still says zero packets and no duration, so it is clearly unfinished.
// One caller at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wmf/AvPtr.h"
#include "wmf/CAsfFileIo.h"
#include "wmf/CPacketSpool.h"

class CAsfMuxer {
public:
    CAsfMuxer() noexcept = default;
    ~CAsfMuxer();
    CAsfMuxer(const CAsfMuxer&) = delete;
    CAsfMuxer& operator=(const CAsfMuxer&) = delete;

    // Before Open: streams in the file's order (ASF stream numbers 1, 2, ...)
    // from an opened encoder, whose time base the packets of the stream will
    // carry. A zero sample aspect ratio means square pixels (none written).
    HRESULT AddStream(const AVCodecContext& encoder, AVRational sampleAspect,
                      int* pIndex) noexcept;
    // Before Open: a header text (libavformat's generic names: "title",
    // "author", "copyright", "comment", "rating"; other names are written
    // as they are).
    HRESULT SetMetadata(const std::string& key, const std::string& value) noexcept;

    // Creates the file and writes the header.
    HRESULT Open(const std::string& path,
                 DWORD msStallLimit = CAsfFileIo::kDefaultStallLimit) noexcept;
    bool IsOpen() const noexcept { return m_bOpen; }

    // Queues a packet of a stream and writes what the interleaving lets go.
    // pkt is left unreferenced.
    HRESULT Write(int index, AVPacket* pkt) noexcept;
    // No more packets for that stream: the others stop waiting for it.
    HRESULT EndStream(int index) noexcept;
    // Pushes the bytes written so far to the file.
    HRESULT Flush() noexcept;
    // Ends every stream, writes what is queued, the index and the final
    // header, and closes the file. After a failure, the file is closed
    // without them and the failure is returned.
    HRESULT Finish() noexcept;
    // Closes the file as it is, unfinished.
    void Abandon() noexcept;

    // Bytes and packets of a stream handed to Write so far.
    struct SStreamStats {
        uint64_t cbBytes = 0;
        uint64_t cPackets = 0;
    };
    SStreamStats Stats(int index) const noexcept;
    // The first failure so far, or S_OK.
    HRESULT Status() const noexcept { return m_hrFailed; }

private:
    struct FormatDeleter {
        void operator()(AVFormatContext* p) const noexcept { avformat_free_context(p); }
    };
    struct SStream {
        AVRational encoderTimeBase{};
        std::unique_ptr<CPacketSpool> pQueue;
        int64_t lastDts = INT64_MIN;  // ms
        bool bEnded = false;
        SStreamStats stats;
    };

    // Writes queued packets in time order for as long as no stream that
    // can still grow is empty.
    HRESULT Drain() noexcept;
    HRESULT Fail(HRESULT hr) noexcept;

    std::unique_ptr<AVFormatContext, FormatDeleter> m_pFormat;
    CAsfFileIo m_file;
    std::vector<SStream> m_streams;
    AvPtr<AVPacket> m_pOut;
    bool m_bOpen = false;
    HRESULT m_hrFailed = S_OK;
};
