#include <gtest/gtest.h>

#include "vrxwm/CStatusError.h"
#include "vrxwm/RangeParser.h"

namespace {

struct SFrameCase {
    const char* name;
    const char* text;
    uint32_t first;
    uint32_t last;
};

void PrintTo(const SFrameCase& c, std::ostream* os) {
    *os << c.name;
}
// A 250-frame video.
constexpr SFrameCase kFrameCases[] = {
    {"Both", "100:110", 100, 110},   {"OneFrame", "7:7", 7, 7},    {"ToTheEnd", "100:", 100, 249},
    {"FromTheStart", ":50", 0, 50},  {"Everything", ":", 0, 249},  {"LastFrame", "249:249", 249, 249},
};

class FrameRangeTest : public ::testing::TestWithParam<SFrameCase> {};

TEST_P(FrameRangeTest, Parses) {
    const SFrameRange range = ParseFrameRange(GetParam().text, 250);
    EXPECT_EQ(range.first, GetParam().first);
    EXPECT_EQ(range.last, GetParam().last);
}
INSTANTIATE_TEST_SUITE_P(Valid, FrameRangeTest, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameRangeTest, RefusesBadRanges) {
    for (const char* text : {"110:100", "250:", "0:250", "a:b", "5", "1:2:3", "-1:4", "1.5:3"}) {
        SCOPED_TRACE(text);
        try {
            ParseFrameRange(text, 250);
            ADD_FAILURE() << "accepted";
        } catch (const CStatusError& e) {
            EXPECT_EQ(e.Status(), 0x80000006u);
        }
    }
}

struct SSampleCase {
    const char* name;
    const char* text;
    uint32_t first;
    uint32_t end;
};

void PrintTo(const SSampleCase& c, std::ostream* os) {
    *os << c.name;
}
// 10 s at 48 kHz.
constexpr SSampleCase kSampleCases[] = {
    {"Seconds", "1.5:2", 72000, 96000},
    {"SecondsSuffix", "1s:2s", 48000, 96000},
    {"Samples", "100smp:200smp", 100, 200},
    {"Mixed", "1:96001smp", 48000, 96001},
    {"ToTheEnd", "9.5:", 456000, 480000},
    {"EndBeyondIsTheEnd", "9:11", 432000, 480000},
};

class SampleRangeTest : public ::testing::TestWithParam<SSampleCase> {};

TEST_P(SampleRangeTest, Parses) {
    const SSampleRange range = ParseSampleRange(GetParam().text, 48000, 480000);
    EXPECT_EQ(range.first, GetParam().first);
    EXPECT_EQ(range.end, GetParam().end);
}
INSTANTIATE_TEST_SUITE_P(Valid, SampleRangeTest, ::testing::ValuesIn(kSampleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SampleRangeTest, RefusesBadRanges) {
    for (const char* text : {"2:1", "1:1", "10:", "480000smp:", "x:1", "1.5smp:2", "-1:2", "1"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ParseSampleRange(text, 48000, 480000), CStatusError);
    }
}

}  // namespace
