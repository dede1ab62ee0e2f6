#include "vrx/VRXHost.h"

#include <optional>

#include "host/CBitReader.h"
#include "host/Fraction.h"
#include "host/StartCode.h"

using vrx::host::CBitReader;
using vrx::host::Ratio;

namespace {

// Start-code values after 00 00 01.
constexpr uint8_t kVolFirst = 0x20;
constexpr uint8_t kVolLast = 0x2F;
constexpr uint8_t kVop = 0xB6;

constexpr uint32_t kShapeRectangular = 0;
constexpr uint32_t kExtendedPar = 15;
constexpr uint32_t kSpriteStatic = 1;
constexpr uint32_t kSpriteGmc = 2;
constexpr uint32_t kVopTypeIntra = 0;

// Pixel aspect by aspect_ratio_info; 0 and the reserved codes say nothing,
// which the host reads as square pixels.
constexpr Ratio kPixelAspect[16] = {
    {0, 0}, {1, 1}, {12, 11}, {10, 11}, {16, 11}, {40, 33}, {0, 0}, {0, 0},
    {0, 0}, {0, 0}, {0, 0},   {0, 0},   {0, 0},   {0, 0},   {0, 0}, {0, 0}};

struct Mpeg4Vol {
    uint32_t dwVerId = 1;
    Ratio par{0, 0};
    uint32_t dwTimeResolution = 0;
    uint32_t nTimeIncrementBits = 1;
    bool bFixedRate = false;
    uint32_t dwFixedIncrement = 0;
    uint32_t dwWidth = 0;
    uint32_t dwHeight = 0;
    bool bInterlaced = false;
    // What the first VOP header needs; known only when the VOL was read that far.
    bool bVopLayoutKnown = false;
    bool bNewPred = false;
    bool bReducedResolution = false;
};

bool Marker(CBitReader& bits) noexcept { return bits.ReadFlag(); }

// Bits of vop_time_increment: enough for resolution - 1, at least one.
uint32_t TimeIncrementBits(uint32_t resolution) noexcept {
    uint32_t n = 0;
    for (uint32_t v = resolution - 1; v; v >>= 1) ++n;
    return n ? n : 1;
}

void SkipQuantMatrix(CBitReader& bits) noexcept {
    // Up to 64 values in zigzag order; a 0 ends the list early.
    for (int i = 0; i < 64 && !bits.Failed(); ++i)
        if (bits.Read(8) == 0) break;
}

// The VOL fields after the interlaced flag, up to the ones that change the
// layout of a VOP header. A VOL with complexity estimation leaves the layout
// unknown: its VOP headers carry estimation fields we do not read.
void ReadVopLayout(CBitReader& bits, Mpeg4Vol& vol) noexcept {
    bits.Skip(1);  // obmc_disable
    const uint32_t sprite = bits.Read(vol.dwVerId == 1 ? 1 : 2);
    if (sprite == kSpriteStatic || sprite == kSpriteGmc) {
        if (sprite != kSpriteGmc) bits.Skip(4 * (13 + 1));  // sprite size and position
        bits.Skip(6 + 2 + 1);  // warping points, accuracy, brightness change
        if (sprite != kSpriteGmc) bits.Skip(1);  // low_latency_sprite_enable
    }
    if (bits.ReadFlag()) bits.Skip(4 + 4);  // not_8_bit: quant_precision, bits_per_pixel
    if (bits.ReadFlag()) {  // quant_type
        if (bits.ReadFlag()) SkipQuantMatrix(bits);
        if (bits.ReadFlag()) SkipQuantMatrix(bits);
    }
    if (vol.dwVerId != 1) bits.Skip(1);  // quarter_sample
    if (!bits.ReadFlag()) return;  // complexity estimation present
    bits.Skip(1);  // resync_marker_disable
    if (bits.ReadFlag()) bits.Skip(1);  // data_partitioned: reversible_vlc
    if (vol.dwVerId != 1) {
        vol.bNewPred = bits.ReadFlag();
        if (vol.bNewPred) bits.Skip(2 + 1);
        vol.bReducedResolution = bits.ReadFlag();
    }
    vol.bVopLayoutKnown = !bits.Failed();
}

// Reads a VOL from just after its start code. False when it is damaged, cut
// short or of a shape that has no picture size.
bool ReadVol(CBitReader& bits, Mpeg4Vol& vol) noexcept {
    bits.Skip(1 + 8);  // random_accessible_vol, video_object_type_indication
    if (bits.ReadFlag()) {  // is_object_layer_identifier
        vol.dwVerId = bits.Read(4);
        bits.Skip(3);  // priority
    }
    const uint32_t aspectInfo = bits.Read(4);
    vol.par = kPixelAspect[aspectInfo];
    if (aspectInfo == kExtendedPar) {
        vol.par.x = bits.Read(8);
        vol.par.y = bits.Read(8);
    }
    if (bits.ReadFlag()) {  // vol_control_parameters
        bits.Skip(2 + 1);  // chroma_format, low_delay
        if (bits.ReadFlag()) bits.Skip(79);  // vbv_parameters with their markers
    }
    if (bits.Read(2) != kShapeRectangular) return false;
    if (!Marker(bits)) return false;
    vol.dwTimeResolution = bits.Read(16);
    if (vol.dwTimeResolution == 0 || !Marker(bits)) return false;
    vol.nTimeIncrementBits = TimeIncrementBits(vol.dwTimeResolution);
    vol.bFixedRate = bits.ReadFlag();
    if (vol.bFixedRate) vol.dwFixedIncrement = bits.Read(vol.nTimeIncrementBits);
    if (!Marker(bits)) return false;
    vol.dwWidth = bits.Read(13);
    if (!Marker(bits)) return false;
    vol.dwHeight = bits.Read(13);
    if (!Marker(bits)) return false;
    vol.bInterlaced = bits.ReadFlag();
    if (bits.Failed() || vol.dwWidth == 0 || vol.dwHeight == 0) return false;
    if (vol.bInterlaced) ReadVopLayout(bits, vol);
    return true;
}

// top_field_first of an intra VOP (the first picture of a stream is one);
// nothing for any other VOP or one cut short.
std::optional<bool> ReadTopFieldFirst(CBitReader& bits, const Mpeg4Vol& vol) noexcept {
    if (bits.Read(2) != kVopTypeIntra) return std::nullopt;
    while (bits.ReadFlag() && !bits.Failed()) {}  // modulo_time_base
    bits.Skip(1);
    bits.Skip(vol.nTimeIncrementBits);
    bits.Skip(1);
    if (!bits.ReadFlag()) return std::nullopt;  // vop_coded
    if (vol.bNewPred) {
        const uint32_t nIdBits = vol.nTimeIncrementBits + 3 < 15 ? vol.nTimeIncrementBits + 3 : 15;
        bits.Skip(nIdBits);
        if (bits.ReadFlag()) bits.Skip(nIdBits);
        bits.Skip(1);
    }
    if (vol.bReducedResolution) bits.Skip(1);
    bits.Skip(3);  // intra_dc_vlc_thr
    const bool bTop = bits.ReadFlag();
    if (bits.Failed()) return std::nullopt;
    return bTop;
}

// 0 top field first, 1 bottom field first, 2 progressive. An interlaced
// stream whose first VOP does not tell is taken as top field first, the
// usual order.
uint32_t FieldOrder(const Mpeg4Vol& vol, const uint8_t* pAfterVol, const uint8_t* pEnd) noexcept {
    if (!vol.bInterlaced) return 2;
    if (!vol.bVopLayoutKnown) return 0;
    for (const uint8_t* p = vrx::host::FindStartCode(pAfterVol, pEnd); p < pEnd;
         p = vrx::host::FindStartCode(p, pEnd)) {
        if (*p != kVop) continue;
        CBitReader bits(p + 1, static_cast<size_t>(pEnd - p - 1));
        const std::optional<bool> bTop = ReadTopFieldFirst(bits, vol);
        return bTop.value_or(true) ? 0 : 1;
    }
    return 0;
}

}  // namespace

int32_t GetMpeg4VideoInfo(const uint8_t* data, int32_t length, SPlugVideoStreamInfo* info) {
    if (!data || length <= 0 || !info) return 0;
    const uint8_t* const pEnd = data + length;
    const uint8_t* p = vrx::host::FindStartCode(data, pEnd);
    while (p < pEnd && !(*p >= kVolFirst && *p <= kVolLast)) p = vrx::host::FindStartCode(p, pEnd);
    if (p == pEnd) return 0;

    Mpeg4Vol vol;
    CBitReader bits(p + 1, static_cast<size_t>(pEnd - p - 1));
    if (!ReadVol(bits, vol)) return 0;

    uint32_t aspectX = 0;
    uint32_t aspectY = 0;
    if (!SARtoDAR(vol.dwWidth, vol.dwHeight, vol.par.x, vol.par.y, &aspectX, &aspectY)) return 0;
    info->dwWidth = vol.dwWidth;
    info->dwHeight = vol.dwHeight;
    info->dwAspectX = aspectX;
    info->dwAspectY = aspectY;
    // Without fixed_vop_rate the VOL gives only a clock, not a frame rate;
    // the caller then measures the rate from the sample times.
    if (vol.bFixedRate && vol.dwFixedIncrement != 0)
        vrx::host::ReduceFraction(vol.dwTimeResolution, vol.dwFixedIncrement,
                                  &info->dwFrameRateNum, &info->dwFrameRateDen);
    info->dwFieldOrder = FieldOrder(vol, p + 1, pEnd);
    return 1;
}
