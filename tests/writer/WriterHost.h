// A host for the writer's tests: the built plug-in loaded with dlopen and
// reached through its ordinals only, pictures that carry their frame index,
// a tone, the host's delivery loop, and the checks a user makes on a
// written file with ffprobe and ffmpeg.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "vrx/PlugOrdinals.h"
#include "vrx/PlugRecords.h"

// The plug-in's writer entry points and the host functions the tests need.
// Loaded once per process; the calling thread has COM initialised, as a
// host's thread must.
struct SPlugApi {
    PFN_WriterCreate create;
    PFN_WriterDestroy destroy;
    PFN_WriterNormaliseParams normalise;
    PFN_WriterOpen open;
    PFN_WriterIsAudioBehind isAudioBehind;
    PFN_WriterPutStreamData put;
    PFN_PluginQueryControl query;
    int32_t (*getDiskStatus)(char16_t);
    void (*clearDiskError)(char16_t);
};
// Null members when the library could not be loaded (the test fails then).
const SPlugApi& Plug();

// Owns one writer handle.
class CWriter {
public:
    CWriter() : m_h(Plug().create()) {}
    ~CWriter() { Destroy(); }
    CWriter(const CWriter&) = delete;
    CWriter& operator=(const CWriter&) = delete;
    void* Get() const { return m_h; }
    uint32_t Destroy();

private:
    void* m_h;
};

// What to write. sampleRate 0: no audio.
struct SClipSpec {
    PLUG_COLOR_FORMAT_ format = PLUG_COLOR_FORMAT_I420;
    uint32_t width = 160;
    uint32_t height = 120;
    uint32_t rateNum = 25;
    uint32_t rateDen = 1;
    uint32_t frames = 25;
    uint32_t sampleRate = 0;
    uint32_t channels = 2;
    bool normalise = true;      // ordinal 504 before the open
    bool twoPass = false;       // a video-only preprocessing pass first
    uint32_t audioBlock = 1152;  // sample frames per audio delivery
    // Length of the host's audio against the video's: 1 as long, 0.5 half.
    double audioShare = 1.0;
    uint32_t aspectX = 4;
    uint32_t aspectY = 3;
};

std::string Describe(const SClipSpec& spec);

// The encoding parameters a host would pass for spec.
SPlugMediaInfo MediaInfoOf(const SClipSpec& spec);

// Everything an open request points to.
class COpenRequest {
public:
    COpenRequest(const std::filesystem::path& target, const SPlugMediaInfo& info);
    const SPlugSourceList* Target() const { return &m_list; }
    const SPlugMuxParam* Params() const { return &m_params; }
    SPlugMuxParam& MutableParams() { return m_params; }
    SPlugSourceList& MutableTarget() { return m_list; }
    std::vector<SPlugStreamDesc>& Streams() { return m_streams; }

private:
    SPlugSourceItem m_item{};
    SPlugSourceList m_list{};
    std::vector<SPlugStreamDesc> m_streams;
    SPlugMuxParam m_params{};
};

// Bytes of one frame of the host's colour format.
uint32_t FrameBytes(PLUG_COLOR_FORMAT_ format, uint32_t width, uint32_t height);
// A picture whose cells spell index in light and dark, with a light top
// row and a dark bottom row so that a picture upside down shows. RGB32 is
// laid out bottom-up, as hosts deliver it.
std::vector<uint8_t> MakeFrame(PLUG_COLOR_FORMAT_ format, uint32_t width, uint32_t height, uint32_t index);

// Interleaved 16-bit PCM of a 440 Hz tone from sample frame first on.
std::vector<uint8_t> MakeTone(uint32_t sampleRate, uint32_t channels, uint32_t first, uint32_t count);

// The status of every call of an encode, for the test's messages.
struct SEncodeResult {
    uint32_t normalise = 0;
    uint32_t open = 0;
    uint32_t queryTwoPass = 0;
    uint32_t twoPassAnswer = 0;
    uint32_t beginPass = 0;
    uint32_t endPass = 0;
    uint32_t firstPutFailure = 0;  // 0 when every delivery succeeded
    uint32_t destroy = 0;
    uint32_t audioFramesSent = 0;
};

// Writes spec into target as a host does: video frames in order, the last
// one marked, and after each frame audio blocks while the plug-in says the
// audio is behind; the host's audio ends (marked) after audioShare of the
// video's length. With twoPass, query 10, control 11, the video alone,
// control 12, then the final pass.
SEncodeResult EncodeWithPlug(const std::filesystem::path& target, const SClipSpec& spec);

// What the file holds, read back with ffprobe and ffmpeg.
struct SFrameMark {
    int index = -1;       // -1: no readable index
    bool upsideDown = false;
};
struct SFileReport {
    std::string error;                 // empty when the tools could read it
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<double> videoPts;      // seconds, in presentation order
    std::vector<SFrameMark> marks;     // one per decoded frame
    bool hasAudio = false;
    double audioStart = 0;             // seconds: the first packet's time
    double audioEnd = 0;               // the last packet's time plus its length
    double audioPeak = 0;              // largest sample, 0 to 1
    uint32_t sampleRate = 0;
    std::string videoCodec;
    std::string displayAspect;         // "16:9"
};
SFileReport ReadBack(const std::filesystem::path& file);

// The checks, as gtest expectations.
// Every call of the encode answered 0, and the two-pass query answered 1.
void ExpectEncodeSucceeded(const SEncodeResult& result, const SClipSpec& spec);
// The file holds spec.frames frames with indices 0, 1, ... upright, at
// k x frame duration (to the millisecond), and, with audio, a tone that
// ends within one frame duration of the video's end.
void ExpectFileMatches(const SFileReport& report, const SClipSpec& spec);
// Delivers frames first to first + count - 1 of spec, marking frame
// spec.frames - 1 as the last.
void PutFrames(void* hWriter, const SClipSpec& spec, uint32_t first, uint32_t count);
