#include "wmf/CVideoCursor.h"

#include <algorithm>
#include <new>

#include "win/NsError.h"

namespace {

constexpr int64_t kSecond = 10'000'000;
// Objects kept for decoding without reading the file again: the last two
// key frame periods, within these bounds.
constexpr size_t kKeptBytes = 48u << 20;
constexpr size_t kKeptObjects = 4096;
// A run read again from the file for one picture stays below this.
constexpr size_t kRunBytes = 256u << 20;
// A SetRange this little ahead of the reading position reads on.
constexpr int64_t kForwardReach = 5 * kSecond;
constexpr int kSeekAttempts = 10;

BYTE ContentTypeOf(const AVFrame& frame) noexcept {
    BYTE ct = 0;
    if (frame.interlaced_frame)
        ct |= WM_CT_INTERLACED | (frame.top_field_first ? WM_CT_TOP_FIELD_FIRST : WM_CT_BOTTOM_FIELD_FIRST);
    if (frame.repeat_pict) ct |= WM_CT_REPEAT_FIRST_FIELD;
    return ct;
}

}  // namespace

CVideoCursor::CVideoCursor(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                           CAsfSeeker& seeker, const SStreamTimeline& timeline, int64_t origin) noexcept
    : m_pSource(std::move(source)),
      m_pHeader(&header),
      m_pSeeker(&seeker),
      m_timeline(timeline),
      m_origin(origin),
      m_bBFrames(timeline.delay > 0 || timeline.shift != 0),
      m_assigner(m_timeline.grid),
      m_contentType(timeline.contentType) {}

HRESULT CVideoCursor::Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                             CAsfSeeker& seeker, const SStreamTimeline& timeline, int64_t origin,
                             std::shared_ptr<CVideoCursor>& cursor) noexcept try {
    std::shared_ptr<CVideoCursor> created(new CVideoCursor(source, header, seeker, timeline, origin));
    const HRESULT hr = CObjectReader::Create(source, header, timeline.wStreamNum, created->m_pScan);
    if (FAILED(hr)) return hr;
    created->m_pFrame = MakeFrame();
    created->m_pPicture = MakeFrame();
    created->m_pLatest = MakeFrame();
    if (!created->m_pFrame || !created->m_pPicture || !created->m_pLatest) return E_OUTOFMEMORY;
    cursor = std::move(created);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

void CVideoCursor::SetRange(int64_t time) noexcept {
    m_bSeekPending = true;
    m_seekIndex = m_timeline.grid.IndexAtOrBefore(time);
    m_bDiscontinuity = true;
}

HRESULT CVideoCursor::Next(SVideoSlot& slot) noexcept {
    if (m_bSeekPending) {
        const HRESULT hr = Seek();
        if (FAILED(hr)) return hr;
    }
    for (;;) {
        // At the end no reading or decoding happens, however late Duration is.
        if (m_next >= m_timeline.endIndex) return NS_E_NO_MORE_SAMPLES;
        while (!m_bScanEnd || m_ahead) {
            if (m_ahead) {
                if (m_ahead->slot > m_next) break;
                if (m_ahead->slot >= 0) m_cur = m_ahead;
                m_ahead.reset();
                continue;
            }
            SFrame frame;
            const HRESULT hr = ScanFrame(frame);
            if (hr == NS_E_NO_MORE_SAMPLES) {
                m_bScanEnd = true;
                break;
            }
            if (FAILED(hr)) return hr;
            m_ahead = frame;
        }
        if (m_cur) break;
        // The stream begins after the point asked for.
        if (!m_ahead) return NS_E_NO_MORE_SAMPLES;
        m_next = std::max(m_next + 1, m_ahead->slot);
    }
    slot.index = m_next;
    slot.picture = m_cur->picture;
    slot.bKey = m_cur->bKey && m_cur->slot == m_next;
    slot.bDiscontinuity = m_bDiscontinuity;
    m_bDiscontinuity = false;
    ++m_next;
    return S_OK;
}

void CVideoCursor::RestartScan() {
    m_kept.clear();
    m_cbKept = 0;
    m_assigner.Reset();
    m_cur.reset();
    m_ahead.reset();
    m_bScanEnd = false;
    m_flushed = 0;
    m_lastObject = {};
    m_lastSlot = INT64_MIN;
    m_bKeySeen = false;
}

HRESULT CVideoCursor::ScanFrame(SFrame& frame) noexcept try {
    SStreamObject object;
    const HRESULT hr = m_pScan->Next(object);
    if (hr == NS_E_NO_MORE_SAMPLES) {
        // B-frame streams drain their last pictures after the last object.
        if (m_flushed >= m_timeline.delay || !m_lastObject.trigger.IsSet()) return hr;
        frame.slot = m_lastSlot + 1 + m_flushed;
        frame.picture = m_lastObject;
        frame.picture.flush = m_flushed++;
        frame.bKey = false;
        frame.bDecodable = m_bKeySeen;
        return S_OK;
    }
    if (FAILED(hr)) return hr;
    const int64_t index = m_assigner.Assign(object.info.time - m_origin);
    frame.slot = index - m_timeline.shift;
    frame.picture = {object.key, object.info.time, -1};
    frame.bKey = object.info.bKey;
    if (frame.bKey) {
        m_bKeySeen = true;
        m_pSeeker->Learn(m_timeline.wStreamNum, object.info.time, object.key.pos);
    }
    frame.bDecodable = m_bKeySeen;
    m_lastObject = frame.picture;
    m_lastSlot = frame.slot;
    Keep(std::move(object));
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

void CVideoCursor::Keep(SStreamObject&& object) {
    const bool bKey = object.info.bKey;
    if (bKey) {
        // Keep the previous key frame period and this one.
        for (size_t i = m_kept.size(); i-- > 0;) {
            if (!m_kept[i].bKey) continue;
            for (size_t k = 0; k < i; ++k) m_cbKept -= static_cast<size_t>(m_kept[k].pkt->size);
            m_kept.erase(m_kept.begin(), m_kept.begin() + static_cast<ptrdiff_t>(i));
            break;
        }
    }
    m_cbKept += static_cast<size_t>(object.pkt->size);
    m_kept.push_back({std::move(object.pkt), object.key, object.info.time, bKey});
    while (m_kept.size() > 1 && (m_cbKept > kKeptBytes || m_kept.size() > kKeptObjects)) {
        m_cbKept -= static_cast<size_t>(m_kept.front().pkt->size);
        m_kept.pop_front();
    }
}

HRESULT CVideoCursor::Seek() noexcept {
    m_bSeekPending = false;
    const int64_t n = m_seekIndex;
    if (n >= m_timeline.endIndex) {
        m_next = n;
        return S_OK;
    }
    // Just ahead of the reading position, reading on finds the same frames.
    if (n >= m_next && (n - m_next) * m_timeline.grid.Step() <= kForwardReach) {
        m_next = n;
        return S_OK;
    }
    const SFrameRate rate = m_timeline.grid.Rate();
    const int64_t limit = n + m_timeline.shift;
    // The last stored time whose nearest grid point is at or before limit,
    // less the key frame spacing, so that the first look finds a key frame.
    int64_t searchTime = m_origin + (2 * limit + 1) * 10'000'000 * rate.den / (2 * static_cast<int64_t>(rate.num)) -
                         m_timeline.keyInterval;
    for (int attempt = 0;; ++attempt) {
        uint64_t pos = 0;
        HRESULT hr = m_pSeeker->PositionBefore(m_timeline.wStreamNum, searchTime, pos);
        if (FAILED(hr)) return hr;
        hr = m_pScan->SeekToByte(pos);
        if (FAILED(hr)) return hr;
        RestartScan();
        int64_t firstTime = INT64_MIN;
        bool tooLate = false;
        for (;;) {
            SFrame frame;
            hr = ScanFrame(frame);
            if (hr == NS_E_NO_MORE_SAMPLES) {
                m_bScanEnd = true;
                break;
            }
            if (FAILED(hr)) return hr;
            if (firstTime == INT64_MIN) {
                firstTime = frame.picture.time;
                tooLate = frame.slot > n;
            }
            if (frame.slot > n) {
                m_ahead = frame;
                break;
            }
            if (frame.slot >= 0) m_cur = frame;
        }
        const bool atStart = pos <= m_pHeader->m_cbFirstPacket;
        const bool settled = !tooLate && firstTime != INT64_MIN && m_cur && m_cur->bDecodable;
        if (settled || atStart || attempt >= kSeekAttempts) break;
        if (firstTime != INT64_MIN) searchTime = std::min(searchTime, firstTime);
        searchTime -= kSecond << std::min(attempt, 20);
    }
    m_next = n;
    return S_OK;
}

HRESULT CVideoCursor::Render(const SPictureKey& picture, VideoOut format, int width, int height, BYTE* pDst,
                             BYTE* pContentType) noexcept {
    const HRESULT hr = Produce(picture);
    if (FAILED(hr)) return hr;
    m_contentType = ContentTypeOf(*m_pPicture);
    *pContentType = m_contentType;
    return m_converter.Convert(*m_pPicture, format, width, height, pDst);
}

HRESULT CVideoCursor::FreshDecoder() noexcept {
    const AVCodecParameters* parameters = m_pScan->Parameters();
    if (!parameters) return NS_E_VIDEO_CODEC_NOT_INSTALLED;
    m_pDecoder.reset();
    m_bDecoderLive = false;
    const HRESULT hr = OpenDecoder(*parameters, m_timeline.codec.id, m_pDecoder);
    if (FAILED(hr)) return hr;
    m_bDecoderLive = true;
    m_lastFed = {};
    m_bHaveLatest = false;
    m_drained = 0;
    return S_OK;
}

void CVideoCursor::TakeOutput(AVFrame* frame, const SPictureKey& label, const SPictureKey& want, bool& found) {
    av_frame_unref(m_pLatest.get());
    av_frame_move_ref(m_pLatest.get(), frame);
    m_bHaveLatest = true;
    if (label == want) {
        av_frame_unref(m_pPicture.get());
        if (av_frame_ref(m_pPicture.get(), m_pLatest.get()) < 0) return;
        m_picture = want;
        m_bHavePicture = true;
        found = true;
    }
}

HRESULT CVideoCursor::FeedOne(const AVPacket* pkt, const SObjectKey& key, int64_t time,
                              const SPictureKey& want, bool& found) noexcept {
    // A damaged object is refused by the decoder and simply leaves no
    // picture of its own.
    const int err = avcodec_send_packet(m_pDecoder.get(), pkt);
    m_lastFed = key;
    if (err == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
    const SPictureKey label{key, time, -1};
    while (avcodec_receive_frame(m_pDecoder.get(), m_pFrame.get()) >= 0) TakeOutput(m_pFrame.get(), label, want, found);
    return S_OK;
}

HRESULT CVideoCursor::Drain(const SPictureKey& want, bool& found) noexcept {
    if (avcodec_send_packet(m_pDecoder.get(), nullptr) < 0) return S_OK;
    while (avcodec_receive_frame(m_pDecoder.get(), m_pFrame.get()) >= 0) {
        const SPictureKey label{m_lastFed, want.time, m_drained++};
        TakeOutput(m_pFrame.get(), label, want, found);
    }
    // A drained decoder takes nothing more.
    m_bDecoderLive = false;
    return S_OK;
}

HRESULT CVideoCursor::Produce(const SPictureKey& want) noexcept {
    if (m_bHavePicture && m_picture == want) return S_OK;
    bool found = false;
    bool tried = false;
    HRESULT hr = ProduceFromKept(want, found, tried);
    if (FAILED(hr)) return hr;
    // A B-frame stream's pictures just before a key frame in presentation
    // order need the key frame before it.
    for (int earlier = tried && m_bBFrames ? 1 : 0; !found && earlier < 3; ++earlier) {
        hr = ProduceFromFile(want, earlier, found);
        if (FAILED(hr)) return hr;
        if (!m_bBFrames) break;
    }
    if (found) return S_OK;
    // What the decoder could not make shows the latest picture before it.
    if (!m_bHaveLatest) return NS_E_VIDEO_CODEC_ERROR;
    av_frame_unref(m_pPicture.get());
    if (av_frame_ref(m_pPicture.get(), m_pLatest.get()) < 0) return E_OUTOFMEMORY;
    m_picture = want;
    m_bHavePicture = true;
    return S_OK;
}

HRESULT CVideoCursor::ProduceFromKept(const SPictureKey& want, bool& found, bool& tried) noexcept {
    tried = false;
    size_t target = m_kept.size();
    for (size_t i = m_kept.size(); i-- > 0;) {
        if (m_kept[i].key == want.trigger) {
            target = i;
            break;
        }
    }
    if (target == m_kept.size()) return S_OK;
    size_t key = m_kept.size();
    for (size_t i = target + 1; i-- > 0;) {
        if (m_kept[i].bKey) {
            key = i;
            break;
        }
    }
    size_t fed = m_kept.size();
    if (m_bDecoderLive && m_lastFed.IsSet()) {
        for (size_t i = 0; i < m_kept.size(); ++i) {
            if (m_kept[i].key == m_lastFed) {
                fed = i;
                break;
            }
        }
    }
    size_t start = 0;
    const bool continues = fed < target && (key == m_kept.size() || fed >= key) && want.flush < 0;
    if (continues) {
        start = fed + 1;
    } else if (key < m_kept.size()) {
        const HRESULT hr = FreshDecoder();
        if (FAILED(hr)) return hr;
        start = key;
    } else {
        return S_OK;
    }
    tried = true;
    for (size_t i = start; i <= target; ++i) {
        const HRESULT hr = FeedOne(m_kept[i].pkt.get(), m_kept[i].key, m_kept[i].time, want, found);
        if (FAILED(hr)) return hr;
        if (found) return S_OK;
    }
    if (want.flush >= 0) return Drain(want, found);
    return S_OK;
}

HRESULT CVideoCursor::ProduceFromFile(const SPictureKey& want, int earlierKeys, bool& found) noexcept try {
    if (!m_pFetch) {
        const HRESULT hr = CObjectReader::Create(m_pSource, *m_pHeader, m_timeline.wStreamNum, m_pFetch);
        if (FAILED(hr)) return hr;
    }
    int64_t searchTime = want.time - m_timeline.keyInterval * (1 + earlierKeys);
    for (int attempt = 0; attempt <= kSeekAttempts; ++attempt) {
        uint64_t pos = 0;
        HRESULT hr = m_pSeeker->PositionBefore(m_timeline.wStreamNum, searchTime, pos);
        if (FAILED(hr)) return hr;
        hr = m_pFetch->SeekToByte(pos);
        if (FAILED(hr)) return hr;
        const bool atStart = pos <= m_pHeader->m_cbFirstPacket;
        std::vector<SStreamObject> run;
        std::vector<size_t> keys;
        size_t cbRun = 0;
        bool reached = false;
        int64_t firstTime = INT64_MIN;
        for (;;) {
            SStreamObject object;
            hr = m_pFetch->Next(object);
            if (hr == NS_E_NO_MORE_SAMPLES) break;
            if (FAILED(hr)) return hr;
            if (firstTime == INT64_MIN) firstTime = object.info.time;
            if (object.info.time > want.time + CObjectReader::kMaxJump) break;
            if (object.info.bKey) keys.push_back(run.size());
            cbRun += static_cast<size_t>(object.pkt->size);
            const bool isTarget = object.key == want.trigger;
            run.push_back(std::move(object));
            if (isTarget) {
                reached = true;
                if (want.flush < 0) break;
            } else if (reached) {
                // Something follows the last object: the drain is not due.
                reached = false;
                break;
            }
            if (cbRun > kRunBytes) break;
        }
        if (!reached) {
            if (atStart || firstTime == INT64_MIN) return S_OK;
            searchTime = std::min(searchTime, firstTime) - (kSecond << std::min(attempt, 20));
            continue;
        }
        size_t start = 0;
        if (keys.size() > static_cast<size_t>(earlierKeys)) {
            start = keys[keys.size() - 1 - static_cast<size_t>(earlierKeys)];
        } else if (!atStart) {
            searchTime = std::min(searchTime, firstTime) - (kSecond << std::min(attempt, 20));
            continue;
        }
        hr = FreshDecoder();
        if (FAILED(hr)) return hr;
        for (size_t i = start; i < run.size(); ++i) {
            hr = FeedOne(run[i].pkt.get(), run[i].key, run[i].info.time, want, found);
            if (FAILED(hr)) return hr;
            if (found) return S_OK;
        }
        if (want.flush >= 0) return Drain(want, found);
        return S_OK;
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
