#include "win/MulDiv.h"

#include <cstdint>
#include <limits>

extern "C" int MulDiv(int nNumber, int nNumerator, int nDenominator) noexcept {
    if (nDenominator == 0) return -1;
    const int64_t product = int64_t{nNumber} * nNumerator;
    const bool bNegative = (product < 0) != (nDenominator < 0);
    // Magnitudes: |product| <= 2^62 and |c| <= 2^31, so adding half of |c|
    // cannot overflow.
    const uint64_t magnitude = product < 0 ? 0 - static_cast<uint64_t>(product) : static_cast<uint64_t>(product);
    const uint64_t divisor =
        nDenominator < 0 ? 0 - static_cast<uint64_t>(int64_t{nDenominator}) : static_cast<uint64_t>(nDenominator);
    const uint64_t quotient = (magnitude + divisor / 2) / divisor;
    constexpr uint64_t kMaxPositive = std::numeric_limits<int>::max();
    if (quotient > (bNegative ? kMaxPositive + 1 : kMaxPositive)) return -1;
    const auto result = static_cast<int64_t>(quotient);
    return static_cast<int>(bNegative ? -result : result);
}
