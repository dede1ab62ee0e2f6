#include "reader/ExtraData.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kExtraDataBitmapHeader = 3;

}  // namespace

void FreeExtraData(SPlugExtraData& extra) noexcept {
    std::free(extra.pData);
    extra.pData = nullptr;
    extra.nSize = 0;
}

bool SetBitmapExtraData(SPlugExtraData& extra, const void* pData, size_t cb) noexcept {
    FreeExtraData(extra);
    if (cb > static_cast<size_t>(INT32_MAX) || (cb > 0 && !pData)) return false;
    if (cb > 0) {
        auto* pCopy = static_cast<uint8_t*>(std::malloc(cb));
        if (!pCopy) return false;
        std::memcpy(pCopy, pData, cb);
        extra.pData = pCopy;
    }
    extra.dwKind = kExtraDataBitmapHeader;
    extra.nSize = static_cast<int32_t>(cb);
    return true;
}
