#include "wmf/CCompressedCursor.h"

#include <algorithm>
#include <new>

#include "win/NsError.h"

namespace {

constexpr int64_t kSecond = 10'000'000;
constexpr int kSeekAttempts = 10;

}  // namespace

CCompressedCursor::CCompressedCursor(const CAsfHeaderInfo& header, CAsfSeeker& seeker,
                                     const SStreamTimeline& timeline, int64_t origin) noexcept
    : m_pHeader(&header),
      m_pSeeker(&seeker),
      m_timeline(timeline),
      m_origin(origin),
      m_assigner(m_timeline.IsVideo() ? m_timeline.grid : m_aacGrid) {
    if (m_timeline.bAacFrames && m_timeline.sampleRate > 0)
        m_aacGrid = CFrameGrid({m_timeline.sampleRate, m_timeline.samplesPerFrame}, true);
}

HRESULT CCompressedCursor::Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                                  CAsfSeeker& seeker, const SStreamTimeline& timeline, int64_t origin,
                                  std::unique_ptr<CCompressedCursor>& cursor) noexcept try {
    std::unique_ptr<CCompressedCursor> created(new CCompressedCursor(header, seeker, timeline, origin));
    const HRESULT hr = CObjectReader::Create(std::move(source), header, timeline.wStreamNum, created->m_pReader);
    if (FAILED(hr)) return hr;
    cursor = std::move(created);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

void CCompressedCursor::SetRange(int64_t time) noexcept {
    m_bSeekPending = true;
    m_seekTime = time;
    m_bDiscontinuity = true;
}

int64_t CCompressedCursor::TimeOfIndex(int64_t index) const noexcept {
    if (m_timeline.IsVideo()) return m_timeline.grid.TimeOf(index);
    if (m_timeline.bAacFrames) return m_timeline.AacFrameTime(index);
    return index;
}

int64_t CCompressedCursor::StoredTimeOf(int64_t index) const noexcept {
    if (m_timeline.IsVideo()) {
        const SFrameRate rate = m_timeline.grid.Rate();
        return m_origin + (2 * index + 1) * kSecond * rate.den / (2 * static_cast<int64_t>(rate.num));
    }
    return m_origin + TimeOfIndex(index);
}

HRESULT CCompressedCursor::Read(SQueued& queued) noexcept {
    for (;;) {
        const HRESULT hr = m_pReader->Next(queued.object);
        if (FAILED(hr)) return hr;
        const int64_t relative = queued.object.info.time - m_origin;
        if (m_timeline.IsVideo() || m_timeline.bAacFrames) {
            queued.index = m_assigner.Assign(relative);
        } else {
            queued.index = relative;
        }
        // Audio before the origin is cut.
        if (queued.index < 0 && m_timeline.IsAudio()) continue;
        return S_OK;
    }
}

HRESULT CCompressedCursor::Seek() noexcept try {
    m_bSeekPending = false;
    m_queue.clear();
    int64_t target = 0;
    if (m_timeline.IsVideo()) {
        // Past the end the last key frame comes.
        target = std::min(m_timeline.grid.IndexAtOrBefore(m_seekTime), std::max<int64_t>(m_timeline.endIndex - 1, 0));
    } else if (m_timeline.bAacFrames) {
        target = m_timeline.AacNearestFrame(m_seekTime);
    } else {
        target = m_seekTime;
    }
    int64_t searchTime = StoredTimeOf(target) - m_timeline.keyInterval;
    for (int attempt = 0;; ++attempt) {
        uint64_t pos = 0;
        HRESULT hr = m_pSeeker->PositionBefore(m_timeline.wStreamNum, searchTime, pos);
        if (FAILED(hr)) return hr;
        hr = m_pReader->SeekToByte(pos);
        if (FAILED(hr)) return hr;
        m_assigner.Reset();
        const bool atStart = pos <= m_pHeader->m_cbFirstPacket;
        std::deque<SQueued> run;
        int64_t firstTime = INT64_MIN;
        bool found = false;
        bool sawEarlier = false;
        for (;;) {
            SQueued queued;
            hr = Read(queued);
            if (hr == NS_E_NO_MORE_SAMPLES) {
                // Audio that ends before the target has nothing to give.
                found = found || (m_timeline.IsAudio() && sawEarlier);
                break;
            }
            if (FAILED(hr)) return hr;
            if (firstTime == INT64_MIN) firstTime = queued.object.info.time;
            if (m_timeline.IsVideo()) {
                if (queued.index > target) {
                    run.push_back(std::move(queued));
                    break;
                }
                // Delivery starts at the last key frame at or before the target.
                if (queued.object.info.bKey) {
                    m_pSeeker->Learn(m_timeline.wStreamNum, queued.object.info.time, queued.object.key.pos);
                    run.clear();
                    found = true;
                }
                if (found) run.push_back(std::move(queued));
            } else if (queued.index >= target) {
                // Audio: from the first frame at the target (AAC: the
                // nearest), once something before it shows none was missed.
                found = sawEarlier || atStart;
                run.push_back(std::move(queued));
                break;
            } else {
                sawEarlier = true;
            }
        }
        if (found || atStart || attempt >= kSeekAttempts) {
            m_queue = std::move(run);
            return S_OK;
        }
        if (firstTime != INT64_MIN) searchTime = std::min(searchTime, firstTime);
        searchTime -= kSecond << std::min(attempt, 20);
    }
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CCompressedCursor::Next(SCompressedSample& sample) noexcept try {
    if (m_bSeekPending) {
        const HRESULT hr = Seek();
        if (FAILED(hr)) return hr;
    }
    SQueued queued;
    if (!m_queue.empty()) {
        queued = std::move(m_queue.front());
        m_queue.pop_front();
    } else {
        const HRESULT hr = Read(queued);
        if (FAILED(hr)) return hr;
    }
    sample.pkt = std::shared_ptr<AVPacket>(queued.object.pkt.release(), [](AVPacket* p) { av_packet_free(&p); });
    sample.time = std::max<int64_t>(0, TimeOfIndex(queued.index));
    sample.duration = m_timeline.IsVideo() ? m_timeline.grid.Step()
                      : m_timeline.bAacFrames ? TimeOfIndex(queued.index + 1) - TimeOfIndex(queued.index)
                                              : 0;
    sample.bKey = queued.object.info.bKey;
    sample.bDiscontinuity = m_bDiscontinuity;
    m_bDiscontinuity = false;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
