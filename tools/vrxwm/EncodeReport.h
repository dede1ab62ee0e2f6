// The summary `encode` and `transcode` print when a file is written.
#pragma once

#include <filesystem>

#include "vrxwm/CEncodeJob.h"

// One line, e.g. "out.wmv: 250 frames WMV2 320x240 25/1 fps at 600 kbit/s,
// two-pass; audio 480000 samples 48000 Hz stereo at 128 kbit/s; 1234567
// bytes in 4.1 s".
void PrintEncodeReport(const std::filesystem::path& out, const SEncodeResult& result);
