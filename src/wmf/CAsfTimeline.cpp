#include "wmf/CAsfTimeline.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numeric>

#include "win/NsError.h"

namespace {

constexpr int64_t kSecond = 10'000'000;
// Opening objects decoded to measure a video decoder's delay and an audio
// decoder's frame size and offset.
constexpr size_t kKeepVideo = 24;
constexpr size_t kKeepAudio = 48;
// The opening pass stops here whatever it has found.
constexpr size_t kMaxOpeningObjects = 100'000;
// Audio objects decoded at the end to find the last sample.
constexpr size_t kTailAudio = 64;
constexpr uint64_t kTailWindow = 2u << 20;

int64_t CeilDiv(int64_t a, int64_t b) noexcept { return a >= 0 ? (a + b - 1) / b : -((-a) / b); }

// The key CObjectReader gives an object, for a pass that reads every stream.
struct SKeyTrack {
    SObjectKey last;
    int64_t lastTime = INT64_MIN;
    SObjectKey Next(uint64_t pos) noexcept {
        SObjectKey key{pos, 0};
        if (last.IsSet() && last.pos == pos) key.idx = last.idx + 1;
        last = key;
        return key;
    }
    // A time more than 10 s past the previous one is damage.
    bool Accept(int64_t time, int64_t cap) noexcept {
        if (time > cap) return false;
        if (lastTime != INT64_MIN && time > lastTime + CObjectReader::kMaxJump) return false;
        lastTime = time;
        return true;
    }
};

// Sends one object and takes every frame it releases; returns the samples
// (audio) or frames (video) that came out.
int64_t Feed(AVCodecContext* decoder, const AVPacket* pkt, AVFrame* frame, BYTE* contentType = nullptr) {
    int64_t out = 0;
    if (avcodec_send_packet(decoder, pkt) < 0) return 0;
    while (avcodec_receive_frame(decoder, frame) >= 0) {
        if (decoder->codec_type == AVMEDIA_TYPE_AUDIO) {
            out += frame->nb_samples;
        } else {
            if (contentType && out == 0) {
                BYTE ct = 0;
                if (frame->interlaced_frame)
                    ct |= WM_CT_INTERLACED | (frame->top_field_first ? WM_CT_TOP_FIELD_FIRST : WM_CT_BOTTOM_FIELD_FIRST);
                if (frame->repeat_pict) ct |= WM_CT_REPEAT_FIRST_FIELD;
                *contentType = ct;
            }
            ++out;
        }
        av_frame_unref(frame);
    }
    return out;
}

SStreamTimeline* Find(std::vector<SStreamTimeline>& streams, WORD wStreamNum) noexcept {
    for (auto& s : streams)
        if (s.wStreamNum == wStreamNum && (s.IsVideo() || s.IsAudio())) return &s;
    return nullptr;
}

}  // namespace

int64_t SStreamTimeline::AudioStart(int64_t storedTime, const SObjectKey& key) const noexcept {
    if (key == firstKey) return firstSample;
    const double samples = static_cast<double>(storedTime - firstTime) * sampleRate / kSecond - offset;
    return firstSample + quantum * std::llround(samples / static_cast<double>(quantum));
}

int64_t SStreamTimeline::SampleTime(int64_t sample) const noexcept {
    if (sampleRate <= 0) return 0;
    const int64_t scaled = sample * kSecond;
    return scaled >= 0 ? scaled / sampleRate : -CeilDiv(-scaled, sampleRate);
}

int64_t SStreamTimeline::SampleEndTime(int64_t samples) const noexcept {
    if (sampleRate <= 0) return 0;
    return CeilDiv(samples * kSecond, sampleRate);
}

int64_t SStreamTimeline::SampleAt(int64_t time) const noexcept {
    if (sampleRate <= 0) return 0;
    return CeilDiv(time * sampleRate, kSecond);
}

int64_t SStreamTimeline::AacFrameTime(int64_t frame) const noexcept {
    if (sampleRate <= 0) return 0;
    return CeilDiv(frame * samplesPerFrame * kSecond, sampleRate);
}

int64_t SStreamTimeline::AacNearestFrame(int64_t time) const noexcept {
    if (sampleRate <= 0) return 0;
    const double frames = static_cast<double>(time) * sampleRate / (static_cast<double>(kSecond) * samplesPerFrame);
    return std::llround(frames);
}

HRESULT CAsfTimeline::Analyze(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                              std::vector<SStreamTimeline>& streams) {
    m_pHeader = &header;
    std::unique_ptr<CAsfDemux> demux;
    HRESULT hr = CAsfDemux::Open(std::move(source), header, demux);
    if (FAILED(hr)) return hr;
    std::vector<WORD> numbers;
    for (const auto& s : streams)
        if (s.IsVideo() || s.IsAudio()) numbers.push_back(s.wStreamNum);
    demux->Select(numbers);
    hr = ReadOpening(*demux, streams);
    if (FAILED(hr)) return hr;
    hr = ReadTail(*demux, streams);
    if (FAILED(hr)) return hr;
    m_duration = 0;
    for (const auto& s : streams)
        if (s.bHasData && (s.IsVideo() || s.IsAudio())) m_duration = std::max(m_duration, s.endTime);
    return S_OK;
}

HRESULT CAsfTimeline::ReadOpening(CAsfDemux& demux, std::vector<SStreamTimeline>& streams) {
    struct SOpening {
        std::vector<int64_t> times;
        std::vector<SStreamObject> kept;
        SKeyTrack track;
        int64_t lastKey = INT64_MIN;
        bool bDone = false;
    };
    std::vector<SOpening> opening(streams.size());
    const QWORD play = m_pHeader->PlayDuration();
    const int64_t storedCap = play ? static_cast<int64_t>(play) + kSecond : INT64_MAX;

    HRESULT hr = demux.SeekToPacket(0);
    if (FAILED(hr)) return hr;
    auto pkt = MakePacket();
    if (!pkt) return E_OUTOFMEMORY;
    SAsfObject object;
    int64_t firstAny = INT64_MAX;
    for (size_t n = 0; n < kMaxOpeningObjects; ++n) {
        hr = demux.Read(pkt.get(), object);
        if (hr == NS_E_NO_MORE_SAMPLES) break;
        if (FAILED(hr)) return hr;
        SStreamTimeline* stream = Find(streams, object.wStreamNum);
        if (!stream) continue;
        SOpening& o = opening[static_cast<size_t>(stream - streams.data())];
        const SObjectKey key = o.track.Next(object.pos);
        if (!o.track.Accept(object.time, storedCap)) continue;
        if (!stream->bHasData) {
            stream->bHasData = true;
            stream->firstTime = object.time;
            stream->firstKey = key;
        }
        firstAny = std::min(firstAny, object.time);
        const bool keep = stream->IsVideo() ? o.kept.size() < kKeepVideo : o.kept.size() < kKeepAudio;
        if (keep) {
            SStreamObject copy;
            copy.pkt.reset(av_packet_clone(pkt.get()));
            if (!copy.pkt) return E_OUTOFMEMORY;
            copy.info = object;
            copy.key = key;
            o.kept.push_back(std::move(copy));
        }
        if (stream->IsVideo()) {
            if (object.bKey) {
                if (o.lastKey != INT64_MIN) stream->keyInterval = std::max(stream->keyInterval, object.time - o.lastKey);
                o.lastKey = object.time;
            }
            if (o.times.size() < CFrameGrid::kOpeningFrames &&
                object.time - stream->firstTime <= CFrameGrid::kOpeningTime)
                o.times.push_back(object.time);
            else
                o.bDone = true;
        } else if (o.kept.size() >= kKeepAudio) {
            o.bDone = true;
        }
        bool allDone = true;
        bool dataDone = true;
        for (size_t i = 0; i < streams.size(); ++i) {
            if (!(streams[i].IsVideo() || streams[i].IsAudio())) continue;
            allDone = allDone && opening[i].bDone;
            if (streams[i].bHasData) dataDone = dataDone && opening[i].bDone;
        }
        // A stream that has not begun a minute in is not waited for.
        if (allDone || (dataDone && object.time > firstAny + 60 * kSecond)) break;
    }

    m_origin = INT64_MAX;
    for (const auto& s : streams)
        if (s.IsVideo() && s.bHasData) m_origin = std::min(m_origin, s.firstTime);
    if (m_origin == INT64_MAX) m_origin = 0;
    m_endCap = play ? static_cast<int64_t>(play) + kSecond - m_origin : INT64_MAX;

    for (size_t i = 0; i < streams.size(); ++i) {
        SStreamTimeline& s = streams[i];
        const AVCodecParameters* parameters = demux.Parameters(s.wStreamNum);
        if (!s.bHasData || !parameters) continue;
        // A stream with one key frame in its opening has them at least that
        // far apart.
        if (s.IsVideo() && opening[i].times.size() > 1 && s.keyInterval == 0)
            s.keyInterval = opening[i].times.back() - s.firstTime;
        if (s.IsVideo()) MeasureVideo(s, parameters, opening[i].kept, opening[i].times);
        else if (s.IsAudio()) MeasureAudio(s, parameters, opening[i].kept);
    }
    return S_OK;
}

void CAsfTimeline::MeasureVideo(SStreamTimeline& s, const AVCodecParameters* parameters,
                                std::vector<SStreamObject>& objects, const std::vector<int64_t>& times) {
    std::vector<int64_t> relative(times.size());
    std::transform(times.begin(), times.end(), relative.begin(), [&](int64_t t) { return t - m_origin; });
    SFrameRate stated{0, 1};
    const SAsfStream* info = m_pHeader->FindStream(s.wStreamNum);
    const bool decoded = s.codec.bDecoded;
    AvPtr<AVCodecContext> decoder;
    auto frame = MakeFrame();
    if (decoded) {
        if (info) stated = CFrameGrid::RateFromTimePerFrame(info->qwAvgTimePerFrame);
    } else if (frame && SUCCEEDED(OpenDecoder(*parameters, parameters->codec_id, decoder))) {
        // The rate the stream's own headers state, as FFmpeg parses it.
        for (size_t i = 0; i < objects.size() && i < 8 && !(decoder->framerate.num > 0); ++i)
            Feed(decoder.get(), objects[i].pkt.get(), frame.get());
        const AVRational r = decoder->framerate;
        if (r.num > 0 && r.den > 0 && r.num <= 240 * static_cast<int64_t>(r.den) && r.num >= r.den)
            stated = {r.num, r.den};
        decoder.reset();
    }
    const SFrameRate rate = CFrameGrid::ChooseRate(relative, stated);
    s.grid = CFrameGrid(rate, !decoded);
    if (!decoded || !frame || FAILED(OpenDecoder(*parameters, s.codec.id, decoder))) return;
    CGridAssigner assigner(s.grid);
    int64_t firstIndex = 0;
    for (size_t i = 0; i < objects.size(); ++i) {
        const int64_t index = assigner.Assign(objects[i].info.time - m_origin);
        if (i == 0) firstIndex = index;
        if (Feed(decoder.get(), objects[i].pkt.get(), frame.get(), &s.contentType) > 0) {
            s.shift = index - firstIndex;
            s.delay = static_cast<int>(i);
            return;
        }
    }
}

void CAsfTimeline::MeasureAudio(SStreamTimeline& s, const AVCodecParameters* parameters,
                                std::vector<SStreamObject>& objects) {
    s.sampleRate = parameters->sample_rate;
    s.channels = parameters->ch_layout.nb_channels;
    if (s.sampleRate <= 0) return;
    s.firstSample = std::llround(static_cast<double>(s.firstTime - m_origin) * s.sampleRate / kSecond);
    s.bAacFrames = parameters->codec_id == AV_CODEC_ID_AAC;
    AvPtr<AVCodecContext> decoder;
    auto frame = MakeFrame();
    if (!s.codec.bDecoded || !frame || FAILED(OpenDecoder(*parameters, s.codec.id, decoder))) return;
    int64_t position = 0;
    int64_t quantum = 0;
    int64_t lastLength = 0;
    int64_t quantumBeforeLast = 0;
    std::vector<double> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        const int64_t length = Feed(decoder.get(), objects[i].pkt.get(), frame.get());
        if (length <= 0) continue;
        quantumBeforeLast = quantum;
        quantum = std::gcd(quantum, length);
        lastLength = length;
        // The first object has no carried-over frame before it; it is
        // placed on its own.
        if (i > 0) {
            const double e = static_cast<double>(objects[i].info.time - s.firstTime) * s.sampleRate / kSecond;
            offsets.push_back(e - static_cast<double>(position));
        }
        position += length;
    }
    if (offsets.empty() || quantum <= 0) return;
    // The stream's last object may end in a partial frame.
    if (lastLength && quantumBeforeLast > quantum * 8) quantum = quantumBeforeLast;
    const auto [lo, hi] = std::minmax_element(offsets.begin(), offsets.end());
    // Stored times carry whole milliseconds, and a packet's time may lead
    // or trail its first decoded sample by part of a frame; snapping to the
    // decoder's frame size undoes both while the spread stays within a frame.
    if (*hi - *lo < 0.9 * static_cast<double>(quantum)) {
        s.quantum = quantum;
        s.offset = (*lo + *hi) / 2;
    }
    // Otherwise the decoder leaves gaps (frames it cannot decode): every
    // object's samples start at its own time and the gaps become silence.
}

HRESULT CAsfTimeline::ReadTail(CAsfDemux& demux, std::vector<SStreamTimeline>& streams) {
    struct STail {
        SKeyTrack track;
        bool bSeen = false;
        int64_t lastTime = 0;
        std::deque<SStreamObject> audio;
        std::vector<int64_t> times;
    };
    const QWORD play = m_pHeader->PlayDuration();
    const int64_t storedCap = play ? static_cast<int64_t>(play) + kSecond : INT64_MAX;
    const uint64_t first = demux.FirstPacketPos();
    uint64_t window = std::max<uint64_t>(kTailWindow, 64 * std::max<uint64_t>(demux.PacketSize(), 1));
    std::deque<STail> tails;
    auto pkt = MakePacket();
    if (!pkt) return E_OUTOFMEMORY;
    for (;;) {
        tails.clear();
        tails.resize(streams.size());
        const uint64_t count = demux.PacketCount();
        uint64_t start = first;
        if (demux.PacketSize() && count * demux.PacketSize() > window)
            start = first + (count - window / demux.PacketSize()) * demux.PacketSize();
        HRESULT hr = demux.SeekToByte(start);
        if (FAILED(hr)) return hr;
        SAsfObject object;
        for (;;) {
            hr = demux.Read(pkt.get(), object);
            if (hr == NS_E_NO_MORE_SAMPLES) break;
            if (FAILED(hr)) return hr;
            SStreamTimeline* stream = Find(streams, object.wStreamNum);
            if (!stream) continue;
            STail& t = tails[static_cast<size_t>(stream - streams.data())];
            const SObjectKey key = t.track.Next(object.pos);
            if (!t.track.Accept(object.time, storedCap)) continue;
            t.bSeen = true;
            t.lastTime = object.time;
            if (stream->IsVideo()) t.times.push_back(object.time);
            if (stream->IsAudio() && stream->codec.bDecoded) {
                SStreamObject copy;
                copy.pkt.reset(av_packet_clone(pkt.get()));
                if (!copy.pkt) return E_OUTOFMEMORY;
                copy.info = object;
                copy.key = key;
                t.audio.push_back(std::move(copy));
                if (t.audio.size() > kTailAudio) t.audio.pop_front();
            }
        }
        bool missing = false;
        for (size_t i = 0; i < streams.size(); ++i)
            if (streams[i].bHasData && !tails[i].bSeen) missing = true;
        if (!missing || start == first) break;
        window *= 4;
    }

    for (size_t i = 0; i < streams.size(); ++i) {
        SStreamTimeline& s = streams[i];
        STail& t = tails[i];
        if (!s.bHasData) continue;
        if (!t.bSeen) {
            // Seen at the start but nowhere later: the data is damaged.
            t.lastTime = s.firstTime;
            t.times.push_back(s.firstTime);
        }
        if (s.IsVideo()) {
            CGridAssigner assigner(s.grid);
            int64_t last = 0;
            for (const int64_t time : t.times) last = assigner.Assign(time - m_origin);
            s.endIndex = s.codec.bDecoded ? last - s.shift + s.delay + 1 : last + 1;
            const int64_t step = s.grid.Step();
            if (m_endCap != INT64_MAX && s.endIndex * step > m_endCap) s.endIndex = m_endCap / step;
            s.endIndex = std::max<int64_t>(s.endIndex, 0);
            s.endTime = s.endIndex * step;
        } else if (s.IsAudio() && s.codec.bDecoded) {
            const AVCodecParameters* parameters = demux.Parameters(s.wStreamNum);
            AvPtr<AVCodecContext> decoder;
            auto frame = MakeFrame();
            int64_t end = s.AudioStart(t.lastTime, {});
            if (parameters && frame && SUCCEEDED(OpenDecoder(*parameters, s.codec.id, decoder))) {
                end = 0;
                for (auto& o : t.audio) {
                    const int64_t length = Feed(decoder.get(), o.pkt.get(), frame.get());
                    if (length > 0) end = std::max(end, s.AudioStart(o.info.time, o.key) + length);
                }
                // What a decoder with a frame of delay still holds follows
                // the last samples it gave.
                if (end > 0) end += Feed(decoder.get(), nullptr, frame.get());
            }
            if (m_endCap != INT64_MAX) end = std::min(end, s.SampleAt(m_endCap));
            s.endSample = std::max<int64_t>(end, 0);
            s.endTime = s.SampleEndTime(s.endSample);
        } else if (s.IsAudio()) {
            int64_t end = t.lastTime - m_origin;
            if (s.bAacFrames) end = s.AacFrameTime(s.AacNearestFrame(end) + 1);
            s.endTime = std::clamp<int64_t>(end, 0, m_endCap);
        }
    }
    return S_OK;
}
