// The reader as a host reaches it: the built plug-in loaded with dlopen, its
// entry points found by ordinal only, a file named in the host's source
// record. Also the helpers the host-side tests share: content hashes, the
// 90 kHz time of a frame, stored packets read with libavformat.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "vrx/PlugOrdinals.h"

// Every reader entry point; null members when the library is missing.
struct ReaderApi {
    PFN_ReaderCreate Create = nullptr;
    PFN_ReaderDestroy Destroy = nullptr;
    PFN_ReaderOpen Open = nullptr;
    PFN_ReaderGetProgramCount GetProgramCount = nullptr;
    PFN_ReaderGetVideoStreamCount GetVideoStreamCount = nullptr;
    PFN_ReaderGetVideoStreamDesc GetVideoStreamDesc = nullptr;
    PFN_ReaderGetAudioStreamCount GetAudioStreamCount = nullptr;
    PFN_ReaderGetAudioStreamDesc GetAudioStreamDesc = nullptr;
    PFN_ReaderSelectStreams SelectStreams = nullptr;
    PFN_ReaderGetState GetState = nullptr;
    PFN_ReaderGetFrameBufferSize GetFrameBufferSize = nullptr;
    PFN_ReaderSetRange SetRange = nullptr;
    PFN_ReaderSetOptions SetOptions = nullptr;
    PFN_ReaderReadFrame ReadFrame = nullptr;
    PFN_ReaderGetFrame GetFrame = nullptr;
    PFN_ReaderSeekFrame SeekFrame = nullptr;
    PFN_ReaderProbeFrame ProbeFrame = nullptr;
    PFN_ReaderGetNextFrame GetNextFrame = nullptr;
    PFN_ReaderPeekNextFrame PeekNextFrame = nullptr;
    PFN_ReaderPeekFrame PeekFrame = nullptr;
    PFN_ReaderGetNextSample GetNextSample = nullptr;
    PFN_ReaderReadAudio ReadAudio = nullptr;
    PFN_ReaderGetAudio GetAudio = nullptr;
};

// Loads the plug-in once per process; the test fails (and null comes back)
// when it cannot be loaded.
const ReaderApi* LoadReaderApi();

// COM for the calling thread while the object lives, as a host holds it.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    int32_t m_hr;
};

// One source item in its list, laid out as the host lays them out.
struct SourceList {
    explicit SourceList(const std::filesystem::path& file);
    SourceList(const SourceList&) = delete;
    SourceList& operator=(const SourceList&) = delete;

    SPlugSourceItem item{};
    SPlugSourceList list{};
};

// A reader handle destroyed with the object.
class ReaderHandle {
public:
    explicit ReaderHandle(const ReaderApi& api);
    ~ReaderHandle();
    ReaderHandle(const ReaderHandle&) = delete;
    ReaderHandle& operator=(const ReaderHandle&) = delete;

    void* Get() const noexcept { return m_hReader; }
    uint32_t Open(const std::filesystem::path& file);

private:
    const ReaderApi& m_api;
    void* m_hReader;
};

// A fresh record, as a host hands it in.
SPlugFrameInfo NewFrameInfo();

// FNV-1a over the bytes: equal content, equal hash.
uint64_t HashBytes(const uint8_t* pData, size_t cb);

// The grid step of decoded video for a host frame rate, in 100 ns units:
// 333667 for 30000/1001, else floor(10^7 x den / num).
uint64_t DecodedFrameStep(uint32_t dwNum, uint32_t dwDen);
// The same for compressed video: the nearest integer.
uint64_t CompressedFrameStep(uint32_t dwNum, uint32_t dwDen);
// The 90 kHz time of frame i: floor(i x step x 9 / 1000).
uint64_t FrameTicks(uint64_t i, uint64_t cnsStep);

// The payloads of one kind of stream in file order, as libavformat reads
// them (isVideo selects the first video, otherwise the first audio
// stream), with their key-frame flags and stored times in milliseconds.
struct StoredPacket {
    std::vector<uint8_t> data;
    bool bKey = false;
    int64_t msTime = 0;
};
std::vector<StoredPacket> ReadStoredPackets(const std::filesystem::path& file, bool isVideo);

// Sample frames of the first audio stream decoded from the start to the end
// with libavcodec.
uint64_t DecodedSampleCount(const std::filesystem::path& file);
