#include "vrxwm/CVideoConverter.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

void CVideoConverter::Convert(const SPicture& src, CPictureBuffer& dst) {
    // Bicubic for real scaling; accurate rounding keeps a plain format
    // change from drifting the levels.
    constexpr int kFlags = SWS_BICUBIC | SWS_ACCURATE_RND;
    SwsContext* pScaler = sws_getCachedContext(m_pScaler.release(), src.width, src.height, src.format, dst.Width(),
                                               dst.Height(), dst.Format(), kFlags, nullptr, nullptr, nullptr);
    m_pScaler.reset(pScaler);
    if (!pScaler)
        throw CStatusError(kStatusFail, std::string("cannot convert ") +
                                                    av_get_pix_fmt_name(src.format) + " pictures to " +
                                                    av_get_pix_fmt_name(dst.Format()));
    uint8_t* const dstPlanes[4] = {dst.Plane(0), dst.Plane(1), dst.Plane(2), dst.Plane(3)};
    const int dstStrides[4] = {dst.Stride(0), dst.Stride(1), dst.Stride(2), dst.Stride(3)};
    sws_scale(pScaler, src.planes.data(), src.strides.data(), 0, src.height, dstPlanes, dstStrides);
}
