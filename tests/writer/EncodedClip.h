// Pictures and tone fed to the encoder in the end-to-end tests, and what
// ffprobe and ffmpeg read back from the file written.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "writer/CWMVEncoder.h"

struct SClipFormat {
    DWORD dwColorFormat;  // host colour format: 1 RGB32, 13 YUY2, 14 UYVY, 23 I420
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwRateNum;
    DWORD dwRateDen;
    DWORD dwSampleRate;  // 0: no audio
    DWORD dwChannels;
};

// Rows at the top (and, for pictures stored bottom-up, the bottom) whose
// uniform level numbers the frame: it rises over 8 frames, then starts again.
inline constexpr int kBandRows = 16;
inline constexpr int kLevelCycle = 8;

// One picture in the host's colour format: the band, and a moving texture
// that gives the codec something to spend its bits on.
std::vector<BYTE> MakePicture(const SClipFormat& format, int frame);

// Hands frames [first, first + count) to the encoder, each followed by 16-bit
// tone up to its end, as a host interleaves them. Test failures on refusal.
void FeedClip(CWMVEncoder& encoder, const SClipFormat& format, int first, int count);

// ffprobe's compact output, one key/value map per stream or packet.
using ProbeRow = std::map<std::string, std::string>;
std::vector<ProbeRow> Probe(const std::filesystem::path& file, const std::string& what);

// "a/b" or "a:b" as a number; 0 for a zero denominator.
double Ratio(const std::string& text);

// The band's mean level in every decoded frame, in decoding order.
std::vector<int> BandLevels(const std::filesystem::path& file);

// Each level is above the one before, except where a cycle starts again.
void ExpectLevelsInOrder(const std::vector<int>& levels);
