#include "host/Fraction.h"

#include <numeric>

namespace vrx::host {

bool ReduceFraction(uint64_t num, uint64_t den, uint32_t* pOutNum, uint32_t* pOutDen) noexcept {
    if (num == 0 || den == 0) return false;
    uint64_t g = std::gcd(num, den);
    num /= g;
    den /= g;
    while (num > UINT32_MAX || den > UINT32_MAX) {
        // Halving with rounding keeps the ratio; neither term may reach 0.
        num = (num + 1) / 2;
        den = (den + 1) / 2;
    }
    g = std::gcd(num, den);
    *pOutNum = static_cast<uint32_t>(num / g);
    *pOutDen = static_cast<uint32_t>(den / g);
    return true;
}

}  // namespace vrx::host
