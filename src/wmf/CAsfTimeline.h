// The time line a file is presented on, worked out when it is opened from
// its opening stretch and its last data, never from a full scan:
//
// - the origin, the first video frame's stored time, which every stream is
//   shifted by (audio before it is cut);
// - per video stream the frame grid; for decoded streams also the shift
//   from the stored time of the object that makes a picture come out of the
//   decoder to the picture's place (B-frame streams come out one picture
//   later than they go in) and the decoder's delay in objects;
// - per decoded audio stream where each object's decoded samples go: its
//   stored time in samples, snapped to the decoder's frame size and
//   corrected by the offset measured on the opening objects, so that a
//   decode started anywhere puts every sample where a decode from the start
//   puts it;
// - where each stream ends, and the file's Duration, the latest end.
#pragma once

#include <memory>
#include <vector>

#include "wmf/CAsfHeaderInfo.h"
#include "wmf/CFrameGrid.h"
#include "wmf/CObjectReader.h"
#include "wmf/ReaderCodecs.h"

struct SStreamTimeline {
    WORD wStreamNum = 0;
    AsfStreamKind kind = AsfStreamKind::Unknown;
    SCodecChoice codec;
    bool bHasData = false;
    int64_t firstTime = 0;  // stored time of the stream's first object

    // Video: frame n is at grid.TimeOf(n), for n < endIndex.
    CFrameGrid grid;
    int64_t shift = 0;  // decoded: picture index = grid index of its trigger - shift
    int delay = 0;      // decoded: objects in before the first picture comes out
    int64_t endIndex = 0;
    BYTE contentType = 0;  // interlace flags of the first decoded picture
    // The longest stretch between key frames seen in the opening (100 ns);
    // seeks start looking that far before their target.
    int64_t keyInterval = 0;

    // Decoded audio: samples numbered from the origin.
    int sampleRate = 0;
    int channels = 0;
    int64_t firstSample = 0;  // where the stream's first object starts
    int64_t quantum = 1;
    double offset = 0;
    SObjectKey firstKey;
    int64_t endSample = 0;

    // Compressed AAC: frame i is at ceil(i x samplesPerFrame x 10^7 / rate).
    bool bAacFrames = false;
    int samplesPerFrame = 1024;

    // Where the stream ends on the output time line (100 ns).
    int64_t endTime = 0;

    bool IsVideo() const noexcept { return kind == AsfStreamKind::Video; }
    bool IsAudio() const noexcept { return kind == AsfStreamKind::Audio; }
    // Decoded audio: the sample where an object's decoded samples start.
    int64_t AudioStart(int64_t storedTime, const SObjectKey& key) const noexcept;
    // The output time of a sample index, rounded down so that
    // ceil(time x rate / 10^7) gives the index back.
    int64_t SampleTime(int64_t sample) const noexcept;
    // Where a stream of that many samples ends, rounded up so that
    // floor(time x rate / 10^7) gives the whole count.
    int64_t SampleEndTime(int64_t samples) const noexcept;
    // The first sample at or after an output time.
    int64_t SampleAt(int64_t time) const noexcept;
    // AAC frames.
    int64_t AacFrameTime(int64_t frame) const noexcept;
    int64_t AacNearestFrame(int64_t time) const noexcept;
};

class CAsfTimeline {
public:
    // streams: one entry per stream with its number, kind and codec choice
    // filled in; the rest is filled here.
    HRESULT Analyze(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                    std::vector<SStreamTimeline>& streams);

    int64_t Origin() const noexcept { return m_origin; }
    int64_t Duration() const noexcept { return m_duration; }

private:
    HRESULT ReadOpening(CAsfDemux& demux, std::vector<SStreamTimeline>& streams);
    HRESULT ReadTail(CAsfDemux& demux, std::vector<SStreamTimeline>& streams);
    void MeasureVideo(SStreamTimeline& stream, const AVCodecParameters* parameters,
                      std::vector<SStreamObject>& objects, const std::vector<int64_t>& times);
    void MeasureAudio(SStreamTimeline& stream, const AVCodecParameters* parameters,
                      std::vector<SStreamObject>& objects);

    const CAsfHeaderInfo* m_pHeader = nullptr;
    int64_t m_origin = 0;
    int64_t m_duration = 0;
    int64_t m_endCap = INT64_MAX;  // output time no end may pass
};
