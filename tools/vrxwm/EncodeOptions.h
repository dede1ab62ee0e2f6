// The options `encode` and `transcode` share, and how they become the
// writer's encoding parameters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "vrx/PlugRecords.h"
#include "vrxwm/MediaSource.h"

struct SEncodeOptions {
    std::string codec = "wmv2";
    std::string bitRate;       // empty: chosen from the picture size and rate
    std::string vbrPeak;       // empty: constant bit rate
    std::string audioBitRate;  // empty: the codec's usual rate
    bool bTwoPass = false;
    uint32_t keyInterval = 0;  // 0: the writer's default
    std::string aspect;        // empty: the source's display aspect
};

void AddEncodeOptions(CLI::App& command, SEncodeOptions& options);

// "800k", "1.5M" or "800000" bits per second; throws CStatusError
// (invalid argument) naming the option.
uint32_t ParseBitRate(const std::string& text, const char* option);

// The video half of the writer's parameters (not yet normalised).
void FillVideoParams(const SVideoFormat& format, const SEncodeOptions& options, SPlugMediaInfo& params);
