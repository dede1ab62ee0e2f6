#include "wmf/CAsfMuxer.h"

#include "win/NsError.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

// Each stream keeps this much of its queue in memory; the rest waits on disk.
constexpr size_t kQueueMemoryLimit = 4 * 1024 * 1024;
constexpr AVRational kMilliseconds{1, 1000};

}  // namespace

CAsfMuxer::~CAsfMuxer() { Abandon(); }

HRESULT CAsfMuxer::Fail(HRESULT hr) noexcept {
    if (SUCCEEDED(m_hrFailed)) m_hrFailed = hr;
    return m_hrFailed;
}

HRESULT CAsfMuxer::AddStream(const AVCodecContext& encoder, AVRational sampleAspect,
                             int* pIndex) noexcept try {
    if (m_bOpen || !pIndex) return E_UNEXPECTED;
    if (!m_pFormat) {
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, "asf", nullptr) < 0 || !raw)
            return E_OUTOFMEMORY;
        m_pFormat.reset(raw);
    }
    AVStream* st = avformat_new_stream(m_pFormat.get(), nullptr);
    if (!st) return E_OUTOFMEMORY;
    if (avcodec_parameters_from_context(st->codecpar, &encoder) < 0) return E_OUTOFMEMORY;
    st->time_base = kMilliseconds;
    // libavformat refuses a file whose stream and codec parameters disagree
    // on the aspect ratio, so both get the same.
    if (sampleAspect.num > 0 && sampleAspect.den > 0) {
        st->sample_aspect_ratio = sampleAspect;
        st->codecpar->sample_aspect_ratio = sampleAspect;
    } else {
        st->sample_aspect_ratio = AVRational{0, 1};
        st->codecpar->sample_aspect_ratio = AVRational{0, 1};
    }
    SStream stream;
    stream.encoderTimeBase = encoder.time_base;
    stream.pQueue = std::make_unique<CPacketSpool>(kQueueMemoryLimit);
    m_streams.push_back(std::move(stream));
    *pIndex = st->index;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CAsfMuxer::SetMetadata(const std::string& key, const std::string& value) noexcept {
    if (m_bOpen || !m_pFormat) return E_UNEXPECTED;
    return av_dict_set(&m_pFormat->metadata, key.c_str(), value.c_str(), 0) < 0 ? E_OUTOFMEMORY
                                                                               : S_OK;
}

HRESULT CAsfMuxer::Open(const std::string& path, DWORD msStallLimit) noexcept {
    if (m_bOpen || !m_pFormat || m_streams.empty()) return E_UNEXPECTED;
    m_pOut = MakePacket();
    if (!m_pOut) return E_OUTOFMEMORY;
    HRESULT hr = m_file.Create(path, msStallLimit);
    if (FAILED(hr)) return hr;
    m_pFormat->pb = m_file.Context();
    // Left to itself the muxer would shift every stream so that the audio
    // priming starts at 0, moving the first video frame off 0; the preroll
    // of the file has room for those negative times instead.
    m_pFormat->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    const int err = avformat_write_header(m_pFormat.get(), nullptr);
    if (err < 0) {
        hr = FAILED(m_file.LastError()) ? m_file.LastError()
             : err == AVERROR(ENOMEM)   ? E_OUTOFMEMORY
                                        : NS_E_INVALID_OUTPUT_FORMAT;
        m_file.Close();
        m_pFormat->pb = nullptr;
        return hr;
    }
    m_bOpen = true;
    m_hrFailed = S_OK;
    return S_OK;
}

HRESULT CAsfMuxer::Write(int index, AVPacket* pkt) noexcept {
    if (!m_bOpen || index < 0 || index >= static_cast<int>(m_streams.size())) {
        av_packet_unref(pkt);
        return E_UNEXPECTED;
    }
    if (FAILED(m_hrFailed)) {
        av_packet_unref(pkt);
        return m_hrFailed;
    }
    SStream& stream = m_streams[index];
    // Rounded to the nearest millisecond: frame 2 at 30000/1001 is 66.733 ms
    // and is stored as 67, which a reader snaps back to frame 2.
    const AVRounding rounding = static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX);
    int64_t dts = av_rescale_q_rnd(pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts,
                                   stream.encoderTimeBase, kMilliseconds, rounding);
    int64_t pts = av_rescale_q_rnd(pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts,
                                   stream.encoderTimeBase, kMilliseconds, rounding);
    // Whole milliseconds can collide at very high rates; the muxer needs
    // every stream's times to increase.
    if (stream.lastDts != INT64_MIN && dts <= stream.lastDts) dts = stream.lastDts + 1;
    if (pts < dts) pts = dts;
    stream.lastDts = dts;
    pkt->dts = dts;
    pkt->pts = pts;
    pkt->duration = av_rescale_q(pkt->duration, stream.encoderTimeBase, kMilliseconds);
    pkt->stream_index = index;
    stream.stats.cbBytes += static_cast<uint64_t>(pkt->size);
    ++stream.stats.cPackets;
    const HRESULT hr = stream.pQueue->Push(*pkt);
    av_packet_unref(pkt);
    if (FAILED(hr)) return Fail(hr);
    return Drain();
}

HRESULT CAsfMuxer::EndStream(int index) noexcept {
    if (!m_bOpen || index < 0 || index >= static_cast<int>(m_streams.size())) return E_UNEXPECTED;
    m_streams[index].bEnded = true;
    return FAILED(m_hrFailed) ? m_hrFailed : Drain();
}

HRESULT CAsfMuxer::Drain() noexcept {
    for (;;) {
        int best = -1;
        int64_t bestDts = 0;
        for (size_t i = 0; i < m_streams.size(); ++i) {
            const AVPacket* pFront = nullptr;
            const HRESULT hr = m_streams[i].pQueue->Front(&pFront);
            if (FAILED(hr)) return Fail(hr);
            if (!pFront) {
                // This stream's next packet may still come before all the others.
                if (!m_streams[i].bEnded) return S_OK;
                continue;
            }
            if (best < 0 || pFront->dts < bestDts) {
                best = static_cast<int>(i);
                bestDts = pFront->dts;
            }
        }
        if (best < 0) return S_OK;
        HRESULT hr = m_streams[best].pQueue->Pop(m_pOut.get());
        if (FAILED(hr)) return Fail(hr);
        // The queue already orders the streams; libavformat's own
        // interleaving would hold packets back for a stream that has ended.
        const int err = av_write_frame(m_pFormat.get(), m_pOut.get());
        av_packet_unref(m_pOut.get());
        if (err < 0) {
            hr = FAILED(m_file.LastError()) ? m_file.LastError()
                 : err == AVERROR(ENOMEM)   ? E_OUTOFMEMORY
                                            : NS_E_FILE_WRITE;
            return Fail(hr);
        }
    }
}

HRESULT CAsfMuxer::Flush() noexcept {
    if (!m_bOpen) return E_UNEXPECTED;
    if (FAILED(m_hrFailed)) return m_hrFailed;
    avio_flush(m_file.Context());
    return FAILED(m_file.LastError()) ? Fail(m_file.LastError()) : S_OK;
}

HRESULT CAsfMuxer::Finish() noexcept {
    if (!m_bOpen) return E_UNEXPECTED;
    if (SUCCEEDED(m_hrFailed)) {
        for (auto& stream : m_streams) stream.bEnded = true;
        Drain();
    }
    if (FAILED(m_hrFailed)) {
        const HRESULT hr = m_hrFailed;
        Abandon();
        return hr;
    }
    const int err = av_write_trailer(m_pFormat.get());
    m_bOpen = false;
    HRESULT hr = m_file.Close();
    m_pFormat->pb = nullptr;
    if (SUCCEEDED(hr) && err < 0) hr = NS_E_FILE_WRITE;
    if (FAILED(hr)) Fail(hr);
    return hr;
}

void CAsfMuxer::Abandon() noexcept {
    if (!m_bOpen) return;
    m_bOpen = false;
    // The trailer is what frees the muxer's index; with the file refusing
    // every further byte it changes nothing on disk, and the header keeps
    // saying that the file has no packets.
    m_file.Refuse();
    av_write_trailer(m_pFormat.get());
    m_file.Close();
    m_pFormat->pb = nullptr;
}

CAsfMuxer::SStreamStats CAsfMuxer::Stats(int index) const noexcept {
    if (index < 0 || index >= static_cast<int>(m_streams.size())) return {};
    return m_streams[index].stats;
}
