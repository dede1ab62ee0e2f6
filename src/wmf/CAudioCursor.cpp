#include "wmf/CAudioCursor.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "win/NsError.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace {

constexpr int64_t kSecond = 10'000'000;
constexpr int kSeekAttempts = 10;
// Codecs that are only exact from the start are decoded from there for
// targets up to this far in; beyond, the usual warm-up is the best there is.
constexpr int64_t kFromStartLimit = 20 * 60 * kSecond;

}  // namespace

CAudioCursor::CAudioCursor(const CAsfHeaderInfo& header, CAsfSeeker& seeker, const SStreamTimeline& timeline) noexcept
    : m_pHeader(&header), m_pSeeker(&seeker), m_timeline(timeline) {
    m_out.channels = std::max(1, timeline.channels);
}

HRESULT CAudioCursor::Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                             CAsfSeeker& seeker, const SStreamTimeline& timeline,
                             std::unique_ptr<CAudioCursor>& cursor) noexcept try {
    std::unique_ptr<CAudioCursor> created(new CAudioCursor(header, seeker, timeline));
    const HRESULT hr = CObjectReader::Create(std::move(source), header, timeline.wStreamNum, created->m_pReader);
    if (FAILED(hr)) return hr;
    created->m_pFrame = MakeFrame();
    if (!created->m_pFrame) return E_OUTOFMEMORY;
    cursor = std::move(created);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

void CAudioCursor::SetRange(int64_t time) noexcept {
    m_bSeekPending = true;
    m_target = std::max<int64_t>(0, m_timeline.SampleAt(time));
    m_bDiscontinuity = true;
}

void CAudioCursor::SetOutput(const SAudioOut& out) noexcept { m_out = out; }

int64_t CAudioCursor::StoredTimeOf(int64_t sample) const noexcept {
    const double offset = m_timeline.offset + static_cast<double>(sample - m_timeline.firstSample);
    return m_timeline.firstTime + static_cast<int64_t>(offset * kSecond / m_timeline.sampleRate);
}

HRESULT CAudioCursor::FreshDecoder() noexcept {
    const AVCodecParameters* parameters = m_pReader->Parameters();
    if (!parameters) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
    m_pDecoder.reset();
    return OpenDecoder(*parameters, m_timeline.codec.id, m_pDecoder);
}

void CAudioCursor::QueueSilence(int64_t frames) {
    const int64_t block = static_cast<int64_t>(m_out.channels) * (m_out.bits / 8);
    while (frames > 0) {
        // Long gaps come out in pieces of a quarter second.
        const int64_t n = std::min<int64_t>(frames, std::max(1, m_timeline.sampleRate / 4));
        SAudioChunk chunk;
        chunk.firstSample = m_next;
        chunk.frames = n;
        // Silence of unsigned 8-bit PCM is the middle value.
        chunk.data = std::make_shared<std::vector<BYTE>>(static_cast<size_t>(n * block),
                                                         m_out.bits == 8 ? BYTE{0x80} : BYTE{0});
        m_queue.push_back(std::move(chunk));
        m_next += n;
        frames -= n;
    }
}

HRESULT CAudioCursor::Convert(const AVFrame& frame, int64_t skip, std::vector<BYTE>& out) noexcept try {
    const int inChannels = frame.ch_layout.nb_channels;
    if (inChannels <= 0 || frame.nb_samples <= skip) return S_OK;
    if (!m_pResampler || m_swrInFormat != frame.format || m_swrInChannels != inChannels ||
        m_swrOut.channels != m_out.channels || m_swrOut.bits != m_out.bits) {
        AVChannelLayout inLayout{};
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_NATIVE) av_channel_layout_copy(&inLayout, &frame.ch_layout);
        else av_channel_layout_default(&inLayout, inChannels);
        AVChannelLayout outLayout{};
        if (m_out.channels == inChannels) av_channel_layout_copy(&outLayout, &inLayout);
        else av_channel_layout_default(&outLayout, m_out.channels);
        const AVSampleFormat outFormat = m_out.bits == 8    ? AV_SAMPLE_FMT_U8
                                         : m_out.bits == 16 ? AV_SAMPLE_FMT_S16
                                                            : AV_SAMPLE_FMT_S32;
        SwrContext* raw = nullptr;
        const int err = swr_alloc_set_opts2(&raw, &outLayout, outFormat, frame.sample_rate, &inLayout,
                                            static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        AvPtr<SwrContext> resampler(raw);
        if (err < 0 || swr_init(resampler.get()) < 0) return E_FAIL;
        m_pResampler = std::move(resampler);
        m_swrInFormat = frame.format;
        m_swrInChannels = inChannels;
        m_swrOut = m_out;
    }
    const int frames = frame.nb_samples;
    const int wide = m_out.bits == 24 ? 4 : m_out.bits / 8;
    std::vector<BYTE> converted(static_cast<size_t>(frames) * m_out.channels * wide);
    uint8_t* planes[1] = {converted.data()};
    const int got = swr_convert(m_pResampler.get(), planes, frames,
                                const_cast<const uint8_t**>(frame.extended_data), frames);
    if (got < 0) return E_FAIL;
    const size_t first = static_cast<size_t>(skip) * m_out.channels;
    const size_t samples = static_cast<size_t>(got - skip) * m_out.channels;
    if (got <= skip) return S_OK;
    if (m_out.bits == 24) {
        // Packed 24-bit: the top three bytes of each 32-bit sample.
        out.resize(samples * 3);
        for (size_t i = 0; i < samples; ++i) std::memcpy(&out[i * 3], &converted[(first + i) * 4 + 1], 3);
    } else {
        out.assign(converted.begin() + static_cast<ptrdiff_t>(first * wide),
                   converted.begin() + static_cast<ptrdiff_t>((first + samples) * wide));
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CAudioCursor::Place(const SStreamObject& object) noexcept {
    if (!m_pDecoder) {
        const HRESULT hr = FreshDecoder();
        if (FAILED(hr)) return hr;
    }
    const int err = avcodec_send_packet(m_pDecoder.get(), object.pkt.get());
    if (err == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
    // A frame the decoder refuses leaves a gap that the next object's start
    // turns into silence.
    return TakeFrames(m_timeline.AudioStart(object.info.time, object.key));
}

HRESULT CAudioCursor::TakeFrames(int64_t start) noexcept try {
    while (avcodec_receive_frame(m_pDecoder.get(), m_pFrame.get()) >= 0) {
        const int64_t frames = m_pFrame->nb_samples;
        if (start > m_next) QueueSilence(start - m_next);
        const int64_t skip = std::max<int64_t>(0, m_next - start);
        if (skip < frames) {
            SAudioChunk chunk;
            chunk.data = std::make_shared<std::vector<BYTE>>();
            const HRESULT hr = Convert(*m_pFrame, skip, *chunk.data);
            if (FAILED(hr)) return hr;
            chunk.firstSample = start + skip;
            chunk.frames = frames - skip;
            m_next = start + frames;
            m_queue.push_back(std::move(chunk));
        }
        start += frames;
        m_decodedEnd = start;
        av_frame_unref(m_pFrame.get());
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CAudioCursor::Drain() noexcept {
    // Decoders with a frame of delay (WMA among them) hold the last frame
    // back until they are told that no more data comes.
    if (!m_pDecoder || avcodec_send_packet(m_pDecoder.get(), nullptr) < 0) return S_OK;
    return TakeFrames(m_decodedEnd);
}

HRESULT CAudioCursor::Seek() noexcept try {
    m_bSeekPending = false;
    m_queue.clear();
    m_bEnd = false;
    m_next = m_target;
    m_decodedEnd = m_target;
    m_pDecoder.reset();
    if (m_target >= m_timeline.endSample) return S_OK;
    const size_t warmup = static_cast<size_t>(m_timeline.codec.warmupObjects);
    const bool fromStart = m_timeline.codec.bWarmupFromStart &&
                           m_timeline.SampleTime(m_target) <= kFromStartLimit;
    int64_t searchTime = StoredTimeOf(m_target) - kSecond / 2;
    for (int attempt = 0;; ++attempt) {
        uint64_t pos = m_pHeader->m_cbFirstPacket;
        HRESULT hr = S_OK;
        if (!fromStart) {
            hr = m_pSeeker->PositionBefore(m_timeline.wStreamNum, searchTime, pos);
            if (FAILED(hr)) return hr;
        }
        hr = m_pReader->SeekToByte(pos);
        if (FAILED(hr)) return hr;
        const bool atStart = pos <= m_pHeader->m_cbFirstPacket;
        std::deque<SStreamObject> ring;
        int64_t firstTime = INT64_MIN;
        bool tooLate = false;
        for (;;) {
            SStreamObject object;
            hr = m_pReader->Next(object);
            if (hr == NS_E_NO_MORE_SAMPLES) break;
            if (FAILED(hr)) return hr;
            const int64_t start = m_timeline.AudioStart(object.info.time, object.key);
            if (firstTime == INT64_MIN) {
                firstTime = object.info.time;
                tooLate = start > m_target;
            }
            if (start > m_target) {
                m_pReader->PushBack(std::move(object));
                break;
            }
            if (fromStart) {
                hr = Place(object);
                if (FAILED(hr)) return hr;
                continue;
            }
            ring.push_back(std::move(object));
            if (ring.size() > warmup + 1) ring.pop_front();
        }
        const bool enough = fromStart || ring.size() >= warmup + 1;
        if ((!tooLate && enough) || atStart || attempt >= kSeekAttempts) {
            for (const auto& object : ring) {
                hr = Place(object);
                if (FAILED(hr)) return hr;
            }
            return S_OK;
        }
        if (firstTime != INT64_MIN) searchTime = std::min(searchTime, firstTime);
        searchTime -= kSecond << std::min(attempt, 20);
    }
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CAudioCursor::Next(SAudioChunk& chunk) noexcept {
    if (m_bSeekPending) {
        const HRESULT hr = Seek();
        if (FAILED(hr)) return hr;
    }
    while (m_queue.empty()) {
        if (m_bEnd || m_next >= m_timeline.endSample) return NS_E_NO_MORE_SAMPLES;
        SStreamObject object;
        HRESULT hr = m_pReader->Next(object);
        if (hr == NS_E_NO_MORE_SAMPLES) {
            m_bEnd = true;
            hr = Drain();
            if (FAILED(hr)) return hr;
            continue;
        }
        if (FAILED(hr)) return hr;
        hr = Place(object);
        if (FAILED(hr)) return hr;
    }
    chunk = std::move(m_queue.front());
    m_queue.pop_front();
    // Nothing past the stream's end.
    if (chunk.firstSample >= m_timeline.endSample) {
        m_queue.clear();
        m_bEnd = true;
        return NS_E_NO_MORE_SAMPLES;
    }
    if (chunk.firstSample + chunk.frames > m_timeline.endSample) {
        const int64_t keep = m_timeline.endSample - chunk.firstSample;
        const size_t block = static_cast<size_t>(m_out.channels) * static_cast<size_t>(m_out.bits / 8);
        chunk.data->resize(static_cast<size_t>(keep) * block);
        chunk.frames = keep;
    }
    chunk.bDiscontinuity = m_bDiscontinuity;
    m_bDiscontinuity = false;
    return S_OK;
}
