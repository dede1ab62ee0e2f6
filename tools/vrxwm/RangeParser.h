// The --range arguments: frames "A:B" (both included), audio "START:END"
// (END excluded) in seconds ("1.5", "2s") or in sample frames ("48000smp").
// Either end may be left out: "100:" runs to the last, ":50" starts at 0.
// Throws CStatusError (out of range) for text it cannot read, an end
// before its start, or a range that starts beyond the stream; frames must
// also end inside it, audio ends at the last sample at most.
#pragma once

#include <cstdint>
#include <string>

struct SFrameRange {
    uint32_t first = 0;
    uint32_t last = 0;  // included
};

struct SSampleRange {
    uint32_t first = 0;
    uint32_t end = 0;  // excluded
};

// frameCount > 0.
SFrameRange ParseFrameRange(const std::string& text, uint32_t frameCount);
// sampleCount > 0.
SSampleRange ParseSampleRange(const std::string& text, uint32_t sampleRate, uint32_t sampleCount);
