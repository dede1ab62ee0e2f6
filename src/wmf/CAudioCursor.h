// One decoded audio stream's reading position. Samples are numbered from
// the origin; after SetRange(t) the first one delivered is
// ceil(t x rate / 10^7), and every sample from there equals what a decode
// from the start gives: the decoder starts far enough back to reach the
// same state (per codec), each object's samples go where the time line puts
// them, overlaps are trimmed and gaps (objects the decoder cannot decode, a
// stream that starts late) become silence.
//
// Not thread-safe; the reader serialises calls.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "wmf/CAsfSeeker.h"
#include "wmf/CAsfTimeline.h"

// PCM as delivered: interleaved, little-endian, in WAVE channel order.
struct SAudioOut {
    int channels = 2;
    int bits = 16;  // 8 (unsigned), 16, 24 (packed) or 32
};

struct SAudioChunk {
    int64_t firstSample = 0;
    int64_t frames = 0;
    std::shared_ptr<std::vector<BYTE>> data;
    bool bDiscontinuity = false;
};

class CAudioCursor {
public:
    static HRESULT Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                          CAsfSeeker& seeker, const SStreamTimeline& timeline,
                          std::unique_ptr<CAudioCursor>& cursor) noexcept;

    void SetRange(int64_t time) noexcept;
    void SetOutput(const SAudioOut& out) noexcept;
    // The next block of samples; NS_E_NO_MORE_SAMPLES after the last one.
    HRESULT Next(SAudioChunk& chunk) noexcept;

private:
    CAudioCursor(const CAsfHeaderInfo& header, CAsfSeeker& seeker, const SStreamTimeline& timeline) noexcept;

    HRESULT Seek() noexcept;
    HRESULT FreshDecoder() noexcept;
    // Decodes one object and queues its samples from m_next on.
    HRESULT Place(const SStreamObject& object) noexcept;
    // Queues the frames the decoder releases, the first at sample start.
    HRESULT TakeFrames(int64_t start) noexcept;
    // Queues the frames the decoder still holds at the end of the data.
    HRESULT Drain() noexcept;
    HRESULT Convert(const AVFrame& frame, int64_t skip, std::vector<BYTE>& out) noexcept;
    void QueueSilence(int64_t frames);
    int64_t StoredTimeOf(int64_t sample) const noexcept;

    const CAsfHeaderInfo* m_pHeader;
    CAsfSeeker* m_pSeeker;
    SStreamTimeline m_timeline;
    SAudioOut m_out;

    std::unique_ptr<CObjectReader> m_pReader;
    AvPtr<AVCodecContext> m_pDecoder;
    AvPtr<SwrContext> m_pResampler;
    AvPtr<AVFrame> m_pFrame;
    int m_swrInFormat = -1;
    int m_swrInChannels = 0;
    SAudioOut m_swrOut;

    bool m_bSeekPending = true;
    int64_t m_target = 0;
    int64_t m_next = 0;  // the next sample to queue
    // Where the decoder's output has reached: a frame it releases only
    // when drained follows on from here, whatever was skipped.
    int64_t m_decodedEnd = 0;
    std::deque<SAudioChunk> m_queue;
    bool m_bDiscontinuity = true;
    bool m_bEnd = false;
};
