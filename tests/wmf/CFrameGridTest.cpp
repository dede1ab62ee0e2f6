// The frame grid: rates from stated times per frame, the grid steps, the
// choice of rate from stored (millisecond) times, and grid point assignment.
#include <gtest/gtest.h>

#include <cmath>

#include "wmf/CFrameGrid.h"

namespace {

struct SStatedCase {
    const char* name;
    uint64_t avgTimePerFrame;
    SFrameRate rate;
};
constexpr SStatedCase kStatedCases[] = {
    {"Ntsc", 333'667, {30000, 1001}},    {"Thirty", 333'333, {30, 1}},  {"Pal", 400'000, {25, 1}},
    {"Film", 416'667, {24, 1}},          {"FilmNtsc", 417'083, {24000, 1001}},
    {"FifteenTruncated", 666'666, {15, 1}}, {"Within05Percent", 401'000, {25, 1}},
    {"NotStandard", 2'679'824, {625'000, 167'489}}, {"None", 0, {0, 1}},
};

class RateFromTimePerFrameTest : public ::testing::TestWithParam<SStatedCase> {};

TEST_P(RateFromTimePerFrameTest, SnapsToStandardRates) {
    const SFrameRate rate = CFrameGrid::RateFromTimePerFrame(GetParam().avgTimePerFrame);
    EXPECT_EQ(rate.num, GetParam().rate.num);
    EXPECT_EQ(rate.den, GetParam().rate.den);
}
INSTANTIATE_TEST_SUITE_P(Stated, RateFromTimePerFrameTest, ::testing::ValuesIn(kStatedCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct SStepCase {
    const char* name;
    SFrameRate rate;
    bool compressed;
    int64_t step;
};
constexpr SStepCase kStepCases[] = {
    {"DecodedNtsc", {30000, 1001}, false, 333'667}, {"DecodedFifteen", {15, 1}, false, 666'666},
    {"DecodedFilm", {24, 1}, false, 416'666},      {"DecodedPal", {25, 1}, false, 400'000},
    {"DecodedNtsc60", {60000, 1001}, false, 166'833}, {"CompressedFifteen", {15, 1}, true, 666'667},
    {"CompressedFilm", {24, 1}, true, 416'667},     {"CompressedNtsc", {30000, 1001}, true, 333'667},
    {"CompressedFilmNtsc", {24000, 1001}, true, 417'083},
};

class StepTest : public ::testing::TestWithParam<SStepCase> {};

TEST_P(StepTest, StepIsTheIntegerFramePeriod) {
    const auto& c = GetParam();
    const CFrameGrid grid(c.rate, c.compressed);
    EXPECT_EQ(grid.Step(), c.step);
    EXPECT_EQ(grid.TimeOf(1000), 1000 * c.step);
    EXPECT_EQ(grid.IndexAtOrBefore(1000 * c.step), 1000);
    EXPECT_EQ(grid.IndexAtOrBefore(1000 * c.step - 1), 999);
}
INSTANTIATE_TEST_SUITE_P(Rates, StepTest, ::testing::ValuesIn(kStepCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Frame times of a rate as an ASF writer stores them: whole milliseconds,
// rounded or truncated, in 100 ns.
std::vector<int64_t> StoredTimes(double fps, size_t count, bool truncate) {
    std::vector<int64_t> times;
    for (size_t i = 0; i < count; ++i) {
        const double ms = 1000.0 * static_cast<double>(i) / fps;
        times.push_back(static_cast<int64_t>(truncate ? std::floor(ms) : std::round(ms)) * 10'000);
    }
    return times;
}

struct SChoiceCase {
    const char* name;
    double fps;
    SFrameRate stated;
    SFrameRate chosen;
};
constexpr SChoiceCase kChoiceCases[] = {
    {"PalUnstated", 25.0, {0, 1}, {25, 1}},
    {"NtscUnstated", 30000.0 / 1001, {0, 1}, {30000, 1001}},
    {"FilmUnstated", 24.0, {0, 1}, {24, 1}},
    {"FifteenUnstated", 15.0, {0, 1}, {15, 1}},
    {"FilmNtscUnstated", 24000.0 / 1001, {0, 1}, {24000, 1001}},
    {"StatedThatFitsWins", 25.0, {50, 1}, {50, 1}},
    {"StatedThatMissesLoses", 25.0, {30, 1}, {25, 1}},
    {"NtscStatedAsThirtyLoses", 30000.0 / 1001, {30, 1}, {30000, 1001}},
};

class ChooseRateTest : public ::testing::TestWithParam<std::tuple<bool, SChoiceCase>> {};

TEST_P(ChooseRateTest, UndoesTheWritersMillisecondRounding) {
    const auto& [truncate, c] = GetParam();
    const auto times = StoredTimes(c.fps, 400, truncate);
    const SFrameRate rate = CFrameGrid::ChooseRate(times, c.stated);
    EXPECT_EQ(rate.num, c.chosen.num);
    EXPECT_EQ(rate.den, c.chosen.den);
    // Each frame then takes its own grid point, in order.
    const CFrameGrid grid(rate, false);
    CGridAssigner assigner(grid);
    for (size_t i = 0; i < times.size() && c.stated.num == 0; ++i) EXPECT_EQ(assigner.Assign(times[i]), static_cast<int64_t>(i));
}

std::string ChoiceName(const ::testing::TestParamInfo<ChooseRateTest::ParamType>& info) {
    const auto& [truncate, c] = info.param;
    return std::string(truncate ? "Truncated" : "Rounded") + c.name;
}
INSTANTIATE_TEST_SUITE_P(Writers, ChooseRateTest,
                         ::testing::Combine(::testing::Bool(), ::testing::ValuesIn(kChoiceCases)), ChoiceName);

TEST(CFrameGridTest, GapsKeepTheRateAndLeavePointsEmpty) {
    auto times = StoredTimes(25.0, 100, false);
    times.erase(times.begin() + 10, times.begin() + 20);
    const SFrameRate rate = CFrameGrid::ChooseRate(times, {0, 1});
    ASSERT_EQ(rate, (SFrameRate{25, 1}));
    const CFrameGrid grid(rate, false);
    CGridAssigner assigner(grid);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(assigner.Assign(times[i]), static_cast<int64_t>(i));
    EXPECT_EQ(assigner.Assign(times[10]), 20);
}

TEST(CFrameGridTest, UnfittingTimesTakeTheLowestRateWithOwnPoints) {
    // 40 ms, then 33.3 ms apart: nothing fits both; 30000/1001 is the lowest
    // rate that keeps 33 ms frames apart.
    std::vector<int64_t> times;
    for (int i = 0; i < 20; ++i) times.push_back(i * 400'000);
    for (int i = 0; i < 30; ++i) times.push_back(8'000'000 + std::llround(i * 333'333.3 / 10'000) * 10'000);
    EXPECT_FALSE(CFrameGrid::Fits(times, {25, 1}));
    EXPECT_FALSE(CFrameGrid::Fits(times, {30, 1}));
    EXPECT_EQ(CFrameGrid::ChooseRate(times, {0, 1}), (SFrameRate{30000, 1001}));
}

TEST(CFrameGridTest, OccupiedPointsPushLaterFramesOn) {
    const CFrameGrid grid({25, 1}, false);
    CGridAssigner assigner(grid);
    EXPECT_EQ(assigner.Assign(0), 0);
    EXPECT_EQ(assigner.Assign(100'000), 1);  // nearest is 0, taken
    EXPECT_EQ(assigner.Assign(400'000), 2);  // nearest is 1, taken
    EXPECT_EQ(assigner.Assign(2'000'000), 5);
    assigner.Reset();
    EXPECT_EQ(assigner.Assign(400'000), 1);
}

TEST(CFrameGridTest, NearestIndexUsesTheExactRationalGrid) {
    const CFrameGrid grid({30000, 1001}, false);
    // Frame 100000 of 29.97 fps is at 3336.67 s; its step-multiple time
    // (100000 x 333667) is 33 ms later, but the nearest point stays 100000.
    EXPECT_EQ(grid.NearestIndex(33'366'666'667), 100'000);
    EXPECT_EQ(grid.NearestIndex(33'366'666'667 + 166'000), 100'000);
    EXPECT_EQ(grid.NearestIndex(33'366'666'667 + 167'000), 100'001);
    EXPECT_EQ(grid.NearestIndex(-100'000), 0);
}

}  // namespace
