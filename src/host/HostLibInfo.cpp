#include "vrx/VRXHost.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

constexpr uint32_t kNullArgument = 0x80000005;
constexpr uint32_t kTooSmall = 0x80000006;

constexpr char16_t kLibraryName[] = u"VRXVelmoraSysU";

// Copies ASCII text into a wide field, terminated, cut to fit.
template <size_t N>
void CopyAscii(const char* text, vrx::WChar (&field)[N]) noexcept {
    size_t i = 0;
    for (; i + 1 < N && text[i]; ++i) field[i] = static_cast<vrx::WChar>(text[i]);
    field[i] = 0;
}

}  // namespace

uint32_t QZGetLibInfo(SVRXLibInfo* info) {
    if (!info) return kNullArgument;
    if (info->cbSize < sizeof(SVRXLibInfo)) return kTooSmall;
    info->dwVersion = (uint32_t{VRX_HOST_VERSION_MAJOR} << 16) | VRX_HOST_VERSION_MINOR;
    static_assert(std::size(kLibraryName) <= std::size(SVRXLibInfo{}.szName));
    std::copy(std::begin(kLibraryName), std::end(kLibraryName), info->szName);
    char version[32];
    std::snprintf(version, sizeof version, "%d.%d.%d.0", VRX_HOST_VERSION_MAJOR,
                  VRX_HOST_VERSION_MINOR, VRX_HOST_VERSION_PATCH);
    CopyAscii(version, info->szVersion);
    return 0;
}
