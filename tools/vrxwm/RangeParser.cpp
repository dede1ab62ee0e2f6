#include "vrxwm/RangeParser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr char kSamplesSuffix[] = "smp";

[[noreturn]] void Refuse(const std::string& text, const std::string& why) {
    throw CStatusError(kStatusOutOfRange, "range " + text + ": " + why);
}

// Splits "A:B" into its two sides; a side left out is empty.
std::pair<std::string, std::string> Split(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
        Refuse(text, "expected START:END");
    return {text.substr(0, colon), text.substr(colon + 1)};
}

std::optional<uint64_t> Integer(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12)
        return std::nullopt;
    return std::strtoull(text.c_str(), nullptr, 10);
}

// A position in sample frames: "48000smp", or seconds "1.5" / "1.5s".
uint64_t SamplePosition(const std::string& range, std::string side, uint32_t sampleRate) {
    const size_t cchSuffix = sizeof kSamplesSuffix - 1;
    if (side.size() > cchSuffix && side.compare(side.size() - cchSuffix, cchSuffix, kSamplesSuffix) == 0) {
        const auto samples = Integer(side.substr(0, side.size() - cchSuffix));
        if (!samples) Refuse(range, "\"" + side + "\" is not a whole number of samples");
        return *samples;
    }
    if (!side.empty() && side.back() == 's') side.pop_back();
    char* end = nullptr;
    const double seconds = std::strtod(side.c_str(), &end);
    if (side.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 1e7)
        Refuse(range, "\"" + side + "\" is neither seconds nor samples (e.g. 1.5 or 48000smp)");
    return static_cast<uint64_t>(std::llround(seconds * sampleRate));
}

}  // namespace

SFrameRange ParseFrameRange(const std::string& text, uint32_t frameCount) {
    const auto [first, last] = Split(text);
    SFrameRange range{0, frameCount - 1};
    if (!first.empty()) {
        const auto value = Integer(first);
        if (!value) Refuse(text, "\"" + first + "\" is not a frame index");
        range.first = static_cast<uint32_t>(std::min<uint64_t>(*value, UINT32_MAX));
    }
    if (!last.empty()) {
        const auto value = Integer(last);
        if (!value) Refuse(text, "\"" + last + "\" is not a frame index");
        if (*value >= frameCount)
            Refuse(text, "the last frame is " + std::to_string(frameCount - 1));
        range.last = static_cast<uint32_t>(*value);
    }
    if (range.first >= frameCount) Refuse(text, "the last frame is " + std::to_string(frameCount - 1));
    if (range.last < range.first) Refuse(text, "the end comes before the start");
    return range;
}

SSampleRange ParseSampleRange(const std::string& text, uint32_t sampleRate, uint32_t sampleCount) {
    const auto [first, end] = Split(text);
    const uint64_t firstSample = first.empty() ? 0 : SamplePosition(text, first, sampleRate);
    // Audio lengths in seconds rarely land on a whole sample: an end beyond
    // the last sample means "to the end".
    const uint64_t endSample =
        end.empty() ? sampleCount : std::min<uint64_t>(SamplePosition(text, end, sampleRate), sampleCount);
    if (firstSample >= sampleCount)
        Refuse(text, "the audio holds " + std::to_string(sampleCount) + " samples");
    if (endSample <= firstSample) Refuse(text, "the end is not after the start");
    return {static_cast<uint32_t>(firstSample), static_cast<uint32_t>(endSample)};
}
