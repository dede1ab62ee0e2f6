#include "win/MulDiv.h"

#include <climits>

#include <gtest/gtest.h>

namespace {

struct MulDivCase {
    const char* name;
    int a, b, c;
    int expected;
};

constexpr MulDivCase kCases[] = {
    {"Exact", 6, 4, 3, 8},
    {"BelowHalfRoundsDown", 4, 1, 3, 1},
    {"AboveHalfRoundsUp", 5, 1, 3, 2},
    {"PositiveHalfRoundsUp", 3, 1, 2, 2},
    {"PositiveHalfFromProduct", 10, 3, 4, 8},
    {"NegativeNumberHalfRoundsAway", -10, 3, 4, -8},
    {"NegativeDivisorHalfRoundsAway", 10, 3, -4, -8},
    {"TwoNegativesHalfRoundsUp", -10, -3, 4, 8},
    {"AllNegativeHalfRoundsAway", -10, -3, -4, -8},
    {"NegativeBelowHalfRoundsTowardZero", -4, 1, 3, -1},
    {"ZeroNumber", 0, 12345, 7, 0},
    {"ZeroDivisor", 10, 3, 0, -1},
    {"WideIntermediate", INT_MAX, INT_MAX, INT_MAX, INT_MAX},
    {"MillisecondsToHundredNanoseconds", 400, 10'000'000, 1000, 4'000'000},
    {"OverflowPositive", INT_MAX, 2, 1, -1},
    {"OverflowNegative", INT_MIN, 2, 1, -1},
    {"MostNegativeFits", INT_MIN, 1, 1, INT_MIN},
    {"MostNegativeNegatedOverflows", INT_MIN, -1, 1, -1},
    // 16843009 * 255 == 2^32 - 1: half of it rounds just past INT_MAX.
    {"HalfRoundsPastTheTop", 16843009, 255, 2, -1},
    {"NegativeHalfRoundsToTheBottom", -16843009, 255, 2, INT_MIN},
};

class MulDivTest : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTest, MatchesThePlatform) {
    const auto& c = GetParam();
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " * " << c.b << " / " << c.c;
}

INSTANTIATE_TEST_SUITE_P(Cases, MulDivTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
