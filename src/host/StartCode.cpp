#include "host/StartCode.h"

namespace vrx::host {

const uint8_t* FindStartCode(const uint8_t* p, const uint8_t* end) noexcept {
    while (end - p >= 3) {
        if (p[2] > 1) {
            p += 3;  // no start code can end on or before a byte above 1
        } else if (p[0] == 0 && p[1] == 0 && p[2] == 1) {
            return p + 3;
        } else {
            ++p;
        }
    }
    return end;
}

}  // namespace vrx::host
