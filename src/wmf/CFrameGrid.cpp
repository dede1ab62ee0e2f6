#include "wmf/CFrameGrid.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_set>

namespace {

// The rates a host time line offers, lowest first.
constexpr SFrameRate kStandardRates[] = {
    {5, 1},           {10, 1},   {12, 1},  {25, 2},           {15000, 1001}, {15, 1},
    {20, 1},          {24000, 1001}, {24, 1}, {25, 1},         {30000, 1001}, {30, 1},
    {48, 1},          {50, 1},   {60000, 1001}, {60, 1},       {100, 1},      {120, 1},
};

constexpr double kUnitsPerSecond = 1e7;

double PeriodOf(SFrameRate rate) noexcept { return kUnitsPerSecond * rate.den / rate.num; }

// The opening stretch of a stream's times.
size_t OpeningCount(const std::vector<int64_t>& times) noexcept {
    if (times.empty()) return 0;
    const int64_t first = times.front();
    size_t n = 0;
    while (n < times.size() && n < CFrameGrid::kOpeningFrames &&
           times[n] - first <= CFrameGrid::kOpeningTime)
        ++n;
    return n;
}

bool OwnPoints(const std::vector<int64_t>& times, size_t count, double period) {
    std::unordered_set<int64_t> used;
    for (size_t i = 0; i < count; ++i)
        if (!used.insert(std::llround(static_cast<double>(times[i]) / period)).second) return false;
    return true;
}

}  // namespace

SFrameRate CFrameGrid::RateFromTimePerFrame(uint64_t avgTimePerFrame) {
    if (avgTimePerFrame == 0 || avgTimePerFrame > 100'000'000) return {0, 1};
    const double fps = kUnitsPerSecond / static_cast<double>(avgTimePerFrame);
    SFrameRate best{0, 1};
    double bestError = 0.005;
    for (const auto& rate : kStandardRates) {
        const double standard = static_cast<double>(rate.num) / rate.den;
        const double error = std::abs(fps - standard) / standard;
        if (error <= bestError) {
            bestError = error;
            best = rate;
        }
    }
    if (best.IsValid()) return best;
    // Not a standard rate: keep the stated one as an exact fraction.
    const int64_t num = 10'000'000;
    const auto den = static_cast<int64_t>(avgTimePerFrame);
    const int64_t g = std::gcd(num, den);
    return {static_cast<int>(num / g), static_cast<int>(den / g)};
}

bool CFrameGrid::Fits(const std::vector<int64_t>& times, SFrameRate rate) {
    if (!rate.IsValid()) return false;
    const size_t count = OpeningCount(times);
    const double period = PeriodOf(rate);
    if (!OwnPoints(times, count, period)) return false;
    size_t close = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(times[i]);
        const double point = std::round(t / period) * period;
        if (std::abs(t - point) <= period / 8) ++close;
    }
    return close * 5 >= count * 4;
}

double CFrameGrid::MeanDistance(const std::vector<int64_t>& times, SFrameRate rate) {
    const size_t count = OpeningCount(times);
    if (count == 0 || !rate.IsValid()) return 0;
    const double period = PeriodOf(rate);
    double sum = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(times[i]);
        sum += std::abs(t - std::round(t / period) * period);
    }
    return sum / static_cast<double>(count);
}

SFrameRate CFrameGrid::ChooseRate(const std::vector<int64_t>& times, SFrameRate stated) {
    // One frame says nothing about a rate.
    if (times.size() < 2) return stated.IsValid() ? stated : SFrameRate{25, 1};
    if (Fits(times, stated)) return stated;
    SFrameRate best{0, 1};
    double bestDistance = 0;
    for (const auto& rate : kStandardRates) {
        if (!Fits(times, rate)) continue;
        const double distance = MeanDistance(times, rate);
        // Grids that contain one another give equal distances; a tie goes
        // to the lower rate, which comes first.
        if (!best.IsValid() || distance < bestDistance - 1e-3) {
            best = rate;
            bestDistance = distance;
        }
    }
    if (best.IsValid()) return best;
    const size_t count = OpeningCount(times);
    for (const auto& rate : kStandardRates)
        if (OwnPoints(times, count, PeriodOf(rate))) return rate;
    return kStandardRates[std::size(kStandardRates) - 1];
}

CFrameGrid::CFrameGrid(SFrameRate rate, bool compressed) {
    if (!rate.IsValid()) rate = {25, 1};
    m_rate = rate;
    const int64_t num = rate.num;
    const int64_t den = rate.den;
    if (compressed) {
        // MulDiv(10^7, den, num): nearest, halves away from zero.
        m_step = (10'000'000 * den * 2 + num) / (2 * num);
    } else if (rate == SFrameRate{30000, 1001}) {
        m_step = 333'667;
    } else {
        m_step = 10'000'000 * den / num;
    }
    if (m_step <= 0) m_step = 1;
}

int64_t CFrameGrid::NearestIndex(int64_t time) const noexcept {
    // time x num / (10^7 x den), rounded, in integers: exact for any file.
    const __int128 scaled = static_cast<__int128>(time) * m_rate.num;
    const __int128 unit = static_cast<__int128>(10'000'000) * m_rate.den;
    __int128 q = scaled / unit;
    __int128 r = scaled % unit;
    if (r < 0) {
        r += unit;
        --q;
    }
    if (2 * r >= unit) ++q;
    return static_cast<int64_t>(q);
}

int64_t CFrameGrid::IndexAtOrBefore(int64_t time) const noexcept {
    if (time >= 0) return time / m_step;
    return -((-time + m_step - 1) / m_step);
}

int64_t CGridAssigner::Assign(int64_t time) noexcept {
    int64_t index = m_grid->NearestIndex(time);
    if (m_last != INT64_MIN && index <= m_last) index = m_last + 1;
    m_last = index;
    return index;
}
