// Shared by the vrxwm tests: running the built program, making clips that
// carry their frame numbers, and looking at files with the ffmpeg tools.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct SRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built vrxwm with these arguments in dir; stdout and stderr are
// captured apart (so stderr is not a terminal). stdin is empty, or the
// named file through a pipe.
SRun RunVrxwm(const std::vector<std::string>& args, const std::filesystem::path& dir,
              const std::filesystem::path& pipedInput = {});

// The plug-in's ordinals are still being filled in: a command that fails
// only because one of them answers "not supported" is skipped, not failed.
#define VRXWM_SKIP_IF_NOT_SUPPORTED(run)                                                       \
    do {                                                                                      \
        if ((run).exitCode != 0 && (run).err.find("0x80000002") != std::string::npos)         \
            GTEST_SKIP() << "an ordinal of the plug-in is not supported yet: " << (run).err;  \
    } while (false)

// A YUV4MPEG2 clip of the demo's pattern: frame i shows the number i in
// the cells that CFramePattern::ReadIndex reads.
void MakePatternY4m(const std::filesystem::path& file, int width, int height, int frames);

// A WMV2 + WMA v2 file made by the ffmpeg tool from a pattern clip and a
// 440 Hz tone (44.1 kHz stereo), both 25 fps / frames long.
void MakePatternWmv(const std::filesystem::path& file, int width, int height, int frames);

// ffprobe's view of a file: {"streams": [...], "format": {...}}, frames
// counted.
nlohmann::json Probe(const std::filesystem::path& file);
// The first stream of this codec type ("video", "audio") in a Probe
// result; an empty object when there is none.
nlohmann::json StreamOf(const nlohmann::json& probe, const std::string& type);

// Every picture of a file (video or image) decoded by ffmpeg to 8-bit
// grey, width x height bytes each.
std::vector<std::vector<uint8_t>> DecodeGrey(const std::filesystem::path& file, int width, int height);

// The frame numbers CFramePattern::ReadIndex finds in those pictures.
std::vector<int64_t> PatternIndices(const std::filesystem::path& file, int width, int height);

// A file's bytes.
std::string ReadBytes(const std::filesystem::path& file);
