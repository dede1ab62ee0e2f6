#include "vrx/VRXHost.h"

#include <cstddef>

namespace {

// The caller's buffer holds 260 wide characters, terminator included.
constexpr size_t kMaxPathChars = 259;

}  // namespace

// Paths on this platform are already local: the conversion is a bounded copy.
int32_t ConvertUNC2LocalPathName(const vrx::WChar* unc, vrx::WChar* local) {
    if (!unc || !local) return 0;
    size_t i = 0;
    for (; i < kMaxPathChars && unc[i]; ++i) local[i] = unc[i];
    local[i] = 0;
    return 1;
}
