// Ordinal 504 on whole records: every one of the 256 bytes is compared with
// an expectation written from the host's offsets, and every word the
// normalisation has no business with carries a marker.
#include "writer/NormaliseParams.h"

#include <array>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Byte offsets in the 256-byte record.
enum : size_t {
    kVideoPresent = 8,
    kVideoCodec = 16,
    kProfile = 20,
    kWidth = 24,
    kHeight = 28,
    kColour = 52,
    kKeyInterval = 72,
    kRateControl = 84,
    kAudioPresent = 120,
    kAudioType = 128,
    kChannels = 136,
    kBits = 140,
    kSampleRate = 144,
    kAudioBitRate = 148,
    kBlockAlign = 152,
};

using Words = std::vector<std::pair<size_t, uint32_t>>;
using Record = std::array<uint8_t, 256>;

void Put(Record& record, size_t offset, uint32_t value) {
    std::memcpy(record.data() + offset, &value, sizeof value);
}

// A valid 720 x 576 WMV2 + stereo 48 kHz request, markers everywhere else.
Record BaseRecord() {
    Record record;
    for (size_t off = 0; off < record.size(); off += 4) Put(record, off, 0x7E000000u | uint32_t(off));
    for (auto [off, value] : Words{{kVideoPresent, 1}, {kProfile, 0}, {kWidth, 720}, {kHeight, 576},
                                   {kColour, 23}, {kKeyInterval, 12}, {kRateControl, 5},
                                   {kAudioPresent, 1}, {kChannels, 2}, {kBits, 16},
                                   {kSampleRate, 48000}, {kAudioBitRate, 128000},
                                   {kBlockAlign, 0xB1}}) {
        Put(record, off, value);
    }
    return record;
}

// Runs 504 on base + input and checks the record against base + input +
// the two codec types + changes.
void ExpectNormalised(const Words& input, const Words& changes, uint32_t status) {
    Record record = BaseRecord();
    for (auto [off, value] : input) Put(record, off, value);
    Record expected = record;
    Put(expected, kVideoCodec, 12);
    Put(expected, kAudioType, 11);
    for (auto [off, value] : changes) Put(expected, off, value);

    SPlugMediaInfo info;
    static_assert(sizeof info == 256);
    std::memcpy(&info, record.data(), sizeof info);
    EXPECT_EQ(WriterNormaliseParams(nullptr, &info), status);
    Record actual;
    std::memcpy(actual.data(), &info, sizeof info);
    for (size_t off = 0; off < actual.size(); off += 4) {
        uint32_t got, want;
        std::memcpy(&got, actual.data() + off, 4);
        std::memcpy(&want, expected.data() + off, 4);
        EXPECT_EQ(got, want) << "word at offset " << off;
    }
}

struct NormCase {
    const char* name;
    Words input;
    Words changes;
    uint32_t status;
};

const NormCase kCases[] = {
    {"ValidRecordOnlyGetsBlockAlign", {}, {{kBlockAlign, 4}}, 0},
    {"NothingPresentOnlyCodecTypes",
     {{kVideoPresent, 0}, {kAudioPresent, 0}, {kWidth, 721}, {kColour, 99}, {kBits, 8}}, {}, 0},
    {"AnyNonZeroFlagIsPresent", {{kVideoPresent, 0xFFFFFFFF}, {kAudioPresent, 7}, {kWidth, 721}},
     {{kWidth, 720}, {kBlockAlign, 4}}, 0},
    {"OddSizeBecomesEven", {{kWidth, 721}, {kHeight, 577}}, {{kWidth, 720}, {kHeight, 576}, {kBlockAlign, 4}}, 0},
    {"WidthOneBecomesZero", {{kWidth, 1}, {kHeight, 0xFFFFFFFF}},
     {{kWidth, 0}, {kHeight, 0xFFFFFFFE}, {kBlockAlign, 4}}, 0},
    {"KeyInterval5Becomes25", {{kKeyInterval, 5}}, {{kKeyInterval, 25}, {kBlockAlign, 4}}, 0},
    {"KeyInterval9Becomes25", {{kKeyInterval, 9}}, {{kKeyInterval, 25}, {kBlockAlign, 4}}, 0},
    {"KeyInterval0Becomes25", {{kKeyInterval, 0}}, {{kKeyInterval, 25}, {kBlockAlign, 4}}, 0},
    {"KeyInterval10Stays", {{kKeyInterval, 10}}, {{kBlockAlign, 4}}, 0},
    {"KeyInterval100Stays", {{kKeyInterval, 100}}, {{kBlockAlign, 4}}, 0},
    {"KeyInterval101Becomes100", {{kKeyInterval, 101}}, {{kKeyInterval, 100}, {kBlockAlign, 4}}, 0},
    {"KeyInterval150Becomes100", {{kKeyInterval, 150}}, {{kKeyInterval, 100}, {kBlockAlign, 4}}, 0},
    {"KeyIntervalHugeBecomes100", {{kKeyInterval, 0xFFFFFFFF}}, {{kKeyInterval, 100}, {kBlockAlign, 4}}, 0},
    {"ColourRgb32Stays", {{kColour, 1}}, {{kBlockAlign, 4}}, 0},
    {"ColourYuy2Stays", {{kColour, 13}}, {{kBlockAlign, 4}}, 0},
    {"ColourUyvyStays", {{kColour, 14}}, {{kBlockAlign, 4}}, 0},
    {"Colour24Becomes23", {{kColour, 24}}, {{kColour, 23}, {kBlockAlign, 4}}, 0},
    {"Colour0Becomes23", {{kColour, 0}}, {{kColour, 23}, {kBlockAlign, 4}}, 0},
    {"Profile3Stays", {{kProfile, 3}}, {{kBlockAlign, 4}}, 0},
    {"Profile7Becomes0", {{kProfile, 7}}, {{kProfile, 0}, {kBlockAlign, 4}}, 0},
    {"ProfileHugeBecomes0", {{kProfile, 0xFFFFFFFF}}, {{kProfile, 0}, {kBlockAlign, 4}}, 0},
    {"Wmv3Below345600PixelsIsCbr", {{kProfile, 1}, {kWidth, 704}, {kHeight, 480}},
     {{kRateControl, 1}, {kBlockAlign, 4}}, 0},
    {"Wmv3At345600PixelsKeepsMode", {{kProfile, 1}, {kWidth, 720}, {kHeight, 480}}, {{kBlockAlign, 4}}, 0},
    {"Wmv3SizeIsTakenAfterRounding", {{kProfile, 1}, {kWidth, 721}, {kHeight, 481}},
     {{kWidth, 720}, {kHeight, 480}, {kBlockAlign, 4}}, 0},
    {"Wmv3ProductWrapsAt32Bits", {{kProfile, 1}, {kWidth, 65536}, {kHeight, 65536}},
     {{kRateControl, 1}, {kBlockAlign, 4}}, 0},
    {"Wmv2NeverChangesMode", {{kProfile, 0}, {kWidth, 704}, {kHeight, 480}}, {{kBlockAlign, 4}}, 0},
    {"Wmv1NeverChangesMode", {{kProfile, 2}, {kWidth, 704}, {kHeight, 480}}, {{kBlockAlign, 4}}, 0},
    {"Wvc1NeverChangesMode", {{kProfile, 3}, {kWidth, 176}, {kHeight, 144}}, {{kBlockAlign, 4}}, 0},
    {"UnknownProfileBecomesWmv2BeforeTheCbrRule", {{kProfile, 7}, {kWidth, 176}, {kHeight, 144}},
     {{kProfile, 0}, {kBlockAlign, 4}}, 0},
    {"VideoAbsentLeavesVideoAlone",
     {{kVideoPresent, 0}, {kWidth, 721}, {kKeyInterval, 5}, {kColour, 24}, {kProfile, 9}}, {{kBlockAlign, 4}}, 0},
    {"Stereo48k150000Becomes128000", {{kAudioBitRate, 150000}}, {{kAudioBitRate, 128000}, {kBlockAlign, 4}}, 0},
    {"Stereo48k50000Becomes64000", {{kAudioBitRate, 50000}}, {{kAudioBitRate, 64000}, {kBlockAlign, 4}}, 0},
    {"Stereo48k200000Becomes192000", {{kAudioBitRate, 200000}}, {{kAudioBitRate, 192000}, {kBlockAlign, 4}}, 0},
    {"Mono48kMovesTo44100", {{kChannels, 1}, {kAudioBitRate, 40000}},
     {{kSampleRate, 44100}, {kAudioBitRate, 32000}, {kBlockAlign, 2}}, 0},
    {"Mono48k24BitMovesTo44100", {{kChannels, 1}, {kBits, 24}, {kAudioBitRate, 100000}},
     {{kSampleRate, 44100}, {kAudioBitRate, 48000}, {kBlockAlign, 3}}, 0},
    {"Surround44100KeepsBitRate16", {{kSampleRate, 44100}, {kChannels, 6}, {kAudioBitRate, 123456}},
     {{kBlockAlign, 12}}, 0},
    {"Surround44100KeepsBitRate24", {{kSampleRate, 44100}, {kChannels, 6}, {kBits, 24}, {kAudioBitRate, 123456}},
     {{kBlockAlign, 18}}, 0},
    {"NoChannels44100KeepsBitRate", {{kSampleRate, 44100}, {kChannels, 0}, {kAudioBitRate, 7}},
     {{kBlockAlign, 0}}, 0},
    {"Stereo11025BecomesMono", {{kSampleRate, 11025}, {kAudioBitRate, 64000}},
     {{kChannels, 1}, {kAudioBitRate, 10000}, {kBlockAlign, 2}}, 0},
    {"Surround11025BecomesMono24", {{kSampleRate, 11025}, {kChannels, 6}, {kBits, 24}, {kAudioBitRate, 9000}},
     {{kChannels, 1}, {kAudioBitRate, 8000}, {kBlockAlign, 3}}, 0},
    {"EightBitsRefused", {{kBits, 8}, {kWidth, 721}, {kSampleRate, 11025}, {kAudioBitRate, 1}},
     {{kWidth, 720}}, 0x80000403},
    {"ThirtyTwoBitsRefused", {{kBits, 32}, {kChannels, 1}}, {}, 0x80000403},
    {"Rate96000Refused", {{kSampleRate, 96000}, {kAudioBitRate, 1}, {kWidth, 721}, {kColour, 24}},
     {{kWidth, 720}, {kColour, 23}}, 0x80000403},
    {"Mono96000Refused", {{kSampleRate, 96000}, {kChannels, 1}}, {}, 0x80000403},
    {"Rate0Refused", {{kSampleRate, 0}, {kAudioBitRate, 999}}, {}, 0x80000403},
    {"AudioOnlyStillSetsVideoCodec", {{kVideoPresent, 0}, {kBits, 24}}, {{kBlockAlign, 6}}, 0},
};

void PrintTo(const NormCase& c, std::ostream* os) {
    *os << c.name;
}

class NormaliseParamsTest : public ::testing::TestWithParam<NormCase> {};

TEST_P(NormaliseParamsTest, WholeRecord) {
    ExpectNormalised(GetParam().input, GetParam().changes, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Cases, NormaliseParamsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NormaliseParamsNullTest, NullRecordIsRefused) {
    EXPECT_EQ(WriterNormaliseParams(nullptr, nullptr), 0x80000005u);
}

// The bit rates the codecs offer, written out once more for the probe.
struct BitrateRow {
    uint32_t rate;
    uint32_t channelsIn;   // as the host asks
    uint32_t rateOut;      // after the mono 48 kHz move
    uint32_t channelsOut;  // after the 11025 Hz mono rule
    std::vector<uint32_t> offered;
};

const BitrateRow kRows[] = {
    {48000, 2, 48000, 2, {64000, 96000, 128000, 160000, 192000}},
    {48000, 6, 48000, 6, {128000, 160000, 192000, 256000, 384000, 440000, 640000, 768000}},
    {48000, 1, 44100, 1, {20000, 32000, 48000}},
    {44100, 1, 44100, 1, {20000, 32000, 48000}},
    {44100, 2, 44100, 2, {48000, 64000, 80000, 96000, 128000, 160000, 192000, 256000, 320000}},
    {32000, 1, 32000, 1, {20000}},
    {32000, 2, 32000, 2, {20000, 32000, 40000, 48000}},
    {22050, 1, 22050, 1, {16000, 20000}},
    {22050, 2, 22050, 2, {20000, 22000}},
    {16000, 1, 16000, 1, {10000, 12000, 16000}},
    {16000, 2, 16000, 2, {16000}},
    {11025, 1, 11025, 1, {8000, 10000}},
    {11025, 2, 11025, 1, {8000, 10000}},
    {11025, 6, 11025, 1, {8000, 10000}},
    {8000, 1, 8000, 1, {5000, 6000, 8000}},
    {8000, 2, 8000, 2, {12000}},
};

struct BitrateProbe {
    std::string name;
    const BitrateRow* row;
    uint32_t bits;
    uint32_t bitRate;
    uint32_t expected;
};

std::vector<BitrateProbe> MakeProbes() {
    std::vector<BitrateProbe> probes;
    for (const BitrateRow& row : kRows) {
        for (uint32_t bits : {16u, 24u}) {
            const std::string prefix = "R" + std::to_string(row.rate) + "C" + std::to_string(row.channelsIn) +
                                       "B" + std::to_string(bits);
            auto add = [&](const std::string& what, uint32_t in, uint32_t out) {
                probes.push_back({prefix + what, &row, bits, in, out});
            };
            const auto& r = row.offered;
            add("Zero", 0, r.front());
            add("Below" + std::to_string(r.front()), r.front() - 1, r.front());
            for (size_t i = 0; i < r.size(); ++i) {
                const std::string at = std::to_string(r[i]);
                add("At" + at, r[i], r[i]);
                if (i + 1 < r.size()) {
                    add("JustAbove" + at, r[i] + 1, r[i]);
                    add("Between" + at, (r[i] + r[i + 1]) / 2, r[i]);
                    add("JustBelowNext" + at, r[i + 1] - 1, r[i]);
                }
            }
            add("Above" + std::to_string(r.back()), r.back() + 1, r.back());
            add("Max", 0xFFFFFFFF, r.back());
        }
    }
    return probes;
}

void PrintTo(const BitrateProbe& p, std::ostream* os) {
    *os << p.name;
}

class NormaliseBitrateTest : public ::testing::TestWithParam<BitrateProbe> {};

TEST_P(NormaliseBitrateTest, SnapsToTheRow) {
    const BitrateProbe& p = GetParam();
    ExpectNormalised({{kSampleRate, p.row->rate}, {kChannels, p.row->channelsIn}, {kBits, p.bits},
                      {kAudioBitRate, p.bitRate}},
                     {{kSampleRate, p.row->rateOut}, {kChannels, p.row->channelsOut},
                      {kAudioBitRate, p.expected}, {kBlockAlign, p.row->channelsOut * p.bits / 8}},
                     0);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, NormaliseBitrateTest, ::testing::ValuesIn(MakeProbes()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
