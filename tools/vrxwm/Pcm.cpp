#include "vrxwm/Pcm.h"

#include <cstring>
#include <string>

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

AVSampleFormat PcmFormat(uint32_t dwBits, bool* pbWiden24) {
    *pbWiden24 = dwBits == 24;
    switch (dwBits) {
    case 8: return AV_SAMPLE_FMT_U8;
    case 16: return AV_SAMPLE_FMT_S16;
    case 24:
    case 32: return AV_SAMPLE_FMT_S32;
    default: throw CStatusError(kStatusInvalidData, std::to_string(dwBits) + "-bit PCM is not supported");
    }
}

void Widen24(uint8_t* pSamples, size_t count) noexcept {
    // From the end backwards, so that no sample is overwritten before it
    // has been moved; the low byte of each 32-bit sample is zero.
    for (size_t i = count; i-- > 0;) {
        std::memmove(pSamples + 4 * i + 1, pSamples + 3 * i, 3);
        pSamples[4 * i] = 0;
    }
}
