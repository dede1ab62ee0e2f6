// One stream delivered as stored (video the layer does not decode, AAC and
// other audio it does not decode): the exact payload bytes of each object
// with its key-frame flag. Video objects carry decode-order grid times
// (decode index x step, so their frame numbers are decode indices) and a
// SetRange starts at the key frame at or before the time; AAC frame i is at
// ceil(i x samples per frame x 10^7 / rate) and a SetRange starts at the
// frame nearest the time; other audio keeps its stored times.
//
// Not thread-safe; the reader serialises calls.
#pragma once

#include <deque>
#include <memory>

#include "wmf/CAsfSeeker.h"
#include "wmf/CAsfTimeline.h"

struct SCompressedSample {
    std::shared_ptr<AVPacket> pkt;
    int64_t time = 0;
    int64_t duration = 0;
    bool bKey = false;
    bool bDiscontinuity = false;
};

class CCompressedCursor {
public:
    static HRESULT Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                          CAsfSeeker& seeker, const SStreamTimeline& timeline, int64_t origin,
                          std::unique_ptr<CCompressedCursor>& cursor) noexcept;

    void SetRange(int64_t time) noexcept;
    HRESULT Next(SCompressedSample& sample) noexcept;

private:
    struct SQueued {
        SStreamObject object;
        int64_t index = 0;
    };

    CCompressedCursor(const CAsfHeaderInfo& header, CAsfSeeker& seeker, const SStreamTimeline& timeline,
                      int64_t origin) noexcept;

    HRESULT Seek() noexcept;
    HRESULT Read(SQueued& queued) noexcept;
    // Where a seek looks for an object at index, as a stored time.
    int64_t StoredTimeOf(int64_t index) const noexcept;
    int64_t TimeOfIndex(int64_t index) const noexcept;

    const CAsfHeaderInfo* m_pHeader;
    CAsfSeeker* m_pSeeker;
    SStreamTimeline m_timeline;
    int64_t m_origin;
    std::unique_ptr<CObjectReader> m_pReader;
    CGridAssigner m_assigner;
    CFrameGrid m_aacGrid;  // AAC frames as a grid of frame periods
    std::deque<SQueued> m_queue;
    bool m_bSeekPending = true;
    int64_t m_seekTime = 0;
    bool m_bDiscontinuity = true;
};
