#include "vrx/VRXHost.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <optional>
#include <vector>

#include "host/CBitReader.h"
#include "host/Fraction.h"
#include "host/StartCode.h"

using vrx::host::CBitReader;
using vrx::host::Ratio;

namespace {

constexpr uint32_t kNalSlice = 1;
constexpr uint32_t kNalIdrSlice = 5;
constexpr uint32_t kNalSei = 6;
constexpr uint32_t kNalSps = 7;
constexpr uint32_t kSeiPicTiming = 1;
constexpr uint32_t kExtendedSar = 255;

// Parameter sets and SEI are small; a slice is read only as far as its
// field flags, which lie within its first bytes.
constexpr size_t kMaxHeaderBytes = 65536;
constexpr size_t kMaxSliceHeadBytes = 64;

// Larger pictures than 2048 macroblocks (32768 pixels) a side are taken as
// damage rather than trusted into the host's arithmetic.
constexpr uint32_t kMaxMbsPerSide = 2048;

// Sample aspect by aspect_ratio_idc 0..16; 0 is unspecified (square).
constexpr Ratio kSampleAspect[17] = {{0, 0},   {1, 1},   {12, 11}, {10, 11}, {16, 11}, {40, 33},
                                     {24, 11}, {20, 11}, {32, 11}, {80, 33}, {18, 11}, {15, 11},
                                     {64, 33}, {160, 99}, {4, 3},  {3, 2},   {2, 1}};

struct HrdInfo {
    bool bPresent = false;
    uint32_t nCpbRemovalDelayBits = 0;
    uint32_t nDpbOutputDelayBits = 0;
};

struct H264Sps {
    uint32_t nChromaArrayType = 1;
    bool bSeparateColourPlanes = false;
    uint32_t nFrameNumBits = 0;
    uint32_t dwWidth = 0;
    uint32_t dwHeight = 0;
    bool bFrameMbsOnly = true;
    Ratio sar{0, 0};
    uint32_t dwUnitsInTick = 0;
    uint32_t dwTimeScale = 0;
    HrdInfo hrd;  // what a picture-timing message needs to be read
    bool bPicStructPresent = false;
};

// The first cbMax bytes of a NAL unit's payload with the
// emulation-prevention bytes (00 00 03) taken out. The payload ends at the
// next start code; trailing zero bytes belong to that start code.
std::vector<uint8_t> Unescape(const uint8_t* p, const uint8_t* pEnd, size_t cbMax) {
    std::vector<uint8_t> rbsp;
    rbsp.reserve(std::min(cbMax, static_cast<size_t>(pEnd - p)));
    unsigned nZeros = 0;
    for (; p < pEnd && rbsp.size() < cbMax; ++p) {
        if (nZeros >= 2 && *p == 3) {
            nZeros = 0;
            continue;
        }
        if (nZeros >= 2 && *p <= 1) break;
        nZeros = *p == 0 ? nZeros + 1 : 0;
        rbsp.push_back(*p);
    }
    while (!rbsp.empty() && rbsp.back() == 0) rbsp.pop_back();
    return rbsp;
}

bool IsHighProfile(uint32_t profile) noexcept {
    switch (profile) {
    case 44: case 83: case 86: case 100: case 110: case 118:
    case 122: case 128: case 134: case 135: case 138: case 139: case 244:
        return true;
    default:
        return false;
    }
}

void SkipScalingList(CBitReader& bits, int nSize) noexcept {
    int32_t last = 8;
    int32_t next = 8;
    for (int j = 0; j < nSize && !bits.Failed(); ++j) {
        if (next != 0) {
            const int32_t delta = bits.ReadSe();
            if (delta < -128 || delta > 127) return bits.Fail();
            next = (last + delta + 256) % 256;
        }
        if (next != 0) last = next;
    }
}

void ReadHrd(CBitReader& bits, HrdInfo& hrd) noexcept {
    const uint32_t nCpb = bits.ReadUe() + 1;
    if (nCpb > 32) return bits.Fail();
    bits.Skip(4 + 4);  // bit_rate_scale, cpb_size_scale
    for (uint32_t i = 0; i < nCpb && !bits.Failed(); ++i) {
        bits.ReadUe();
        bits.ReadUe();
        bits.Skip(1);
    }
    bits.Skip(5);  // initial_cpb_removal_delay_length_minus1
    hrd.nCpbRemovalDelayBits = bits.Read(5) + 1;
    hrd.nDpbOutputDelayBits = bits.Read(5) + 1;
    bits.Skip(5);  // time_offset_length
    hrd.bPresent = true;
}

void ReadVui(CBitReader& bits, H264Sps& sps) noexcept {
    if (bits.ReadFlag()) {
        const uint32_t idc = bits.Read(8);
        if (idc == kExtendedSar) {
            sps.sar.x = bits.Read(16);
            sps.sar.y = bits.Read(16);
        } else if (idc < std::size(kSampleAspect)) {
            sps.sar = kSampleAspect[idc];
        }
    }
    if (bits.ReadFlag()) bits.Skip(1);  // overscan_appropriate
    if (bits.ReadFlag()) {  // video_signal_type
        bits.Skip(3 + 1);
        if (bits.ReadFlag()) bits.Skip(8 + 8 + 8);  // colour description
    }
    if (bits.ReadFlag()) {  // chroma_loc_info
        bits.ReadUe();
        bits.ReadUe();
    }
    if (bits.ReadFlag()) {  // timing_info
        sps.dwUnitsInTick = bits.Read(32);
        sps.dwTimeScale = bits.Read(32);
        bits.Skip(1);  // fixed_frame_rate_flag
    }
    const bool bNalHrd = bits.ReadFlag();
    if (bNalHrd) ReadHrd(bits, sps.hrd);
    if (bits.ReadFlag()) ReadHrd(bits, sps.hrd);  // VCL HRD: same delay lengths
    if (sps.hrd.bPresent) bits.Skip(1);  // low_delay_hrd_flag
    sps.bPicStructPresent = bits.ReadFlag();
}

// Reads an SPS payload (after the NAL header byte). False when it is damaged
// or cut short.
bool ReadSps(CBitReader& bits, H264Sps& sps) noexcept {
    const uint32_t profile = bits.Read(8);
    bits.Skip(8 + 8);  // constraint flags, level_idc
    if (bits.ReadUe() > 31) return false;  // seq_parameter_set_id
    if (IsHighProfile(profile)) {
        sps.nChromaArrayType = bits.ReadUe();
        if (sps.nChromaArrayType > 3) return false;
        if (sps.nChromaArrayType == 3) sps.bSeparateColourPlanes = bits.ReadFlag();
        if (bits.ReadUe() > 6 || bits.ReadUe() > 6) return false;  // bit depths up to 14
        bits.Skip(1);  // qpprime_y_zero_transform_bypass_flag
        if (bits.ReadFlag()) {
            const int nLists = sps.nChromaArrayType == 3 ? 12 : 8;
            for (int i = 0; i < nLists; ++i)
                if (bits.ReadFlag()) SkipScalingList(bits, i < 6 ? 16 : 64);
        }
        if (sps.bSeparateColourPlanes) sps.nChromaArrayType = 0;
    }
    const uint32_t log2MaxFrameNum = bits.ReadUe() + 4;
    if (log2MaxFrameNum > 16) return false;
    sps.nFrameNumBits = log2MaxFrameNum;
    const uint32_t pocType = bits.ReadUe();
    if (pocType == 0) {
        if (bits.ReadUe() > 12) return false;
    } else if (pocType == 1) {
        bits.Skip(1);
        bits.ReadSe();
        bits.ReadSe();
        const uint32_t nCycle = bits.ReadUe();
        if (nCycle > 255) return false;
        for (uint32_t i = 0; i < nCycle && !bits.Failed(); ++i) bits.ReadSe();
    } else if (pocType != 2) {
        return false;
    }
    bits.ReadUe();  // max_num_ref_frames
    bits.Skip(1);   // gaps_in_frame_num_value_allowed_flag
    const uint32_t widthMbs = bits.ReadUe() + 1;
    const uint32_t heightMapUnits = bits.ReadUe() + 1;
    if (widthMbs > kMaxMbsPerSide || heightMapUnits > kMaxMbsPerSide) return false;
    sps.bFrameMbsOnly = bits.ReadFlag();
    if (!sps.bFrameMbsOnly) bits.Skip(1);  // mb_adaptive_frame_field_flag
    bits.Skip(1);  // direct_8x8_inference_flag

    const uint32_t fieldFactor = sps.bFrameMbsOnly ? 1 : 2;
    uint32_t width = widthMbs * 16;
    uint32_t height = heightMapUnits * 16 * fieldFactor;
    if (bits.ReadFlag()) {  // frame_cropping
        // Cropping counts chroma samples, and in field streams rows of a field.
        const uint32_t unitX = sps.nChromaArrayType == 1 || sps.nChromaArrayType == 2 ? 2 : 1;
        const uint32_t unitY = (sps.nChromaArrayType == 1 ? 2 : 1) * fieldFactor;
        const uint64_t cropX = uint64_t{bits.ReadUe()} + bits.ReadUe();
        const uint64_t cropY = uint64_t{bits.ReadUe()} + bits.ReadUe();
        if (cropX * unitX >= width || cropY * unitY >= height) return false;
        width -= static_cast<uint32_t>(cropX * unitX);
        height -= static_cast<uint32_t>(cropY * unitY);
    }
    sps.dwWidth = width;
    sps.dwHeight = height;
    if (bits.ReadFlag()) ReadVui(bits, sps);
    return !bits.Failed();
}

// 0 top field first, 1 bottom field first, from pic_struct of a picture
// timing message; nothing when the SEI carries no field order.
std::optional<uint32_t> FieldOrderFromSei(const std::vector<uint8_t>& rbsp, const H264Sps& sps) {
    if (!sps.bPicStructPresent) return std::nullopt;
    size_t i = 0;
    auto readVarint = [&](uint32_t& value) {
        value = 0;
        while (i < rbsp.size() && rbsp[i] == 0xFF) value += rbsp[i++];
        if (i >= rbsp.size()) return false;
        value += rbsp[i++];
        return true;
    };
    uint32_t type = 0;
    uint32_t size = 0;
    while (i < rbsp.size() && readVarint(type) && readVarint(size)) {
        if (size > rbsp.size() - i) return std::nullopt;
        if (type == kSeiPicTiming) {
            CBitReader bits(rbsp.data() + i, size);
            if (sps.hrd.bPresent) bits.Skip(sps.hrd.nCpbRemovalDelayBits + sps.hrd.nDpbOutputDelayBits);
            const uint32_t picStruct = bits.Read(4);
            if (bits.Failed()) return std::nullopt;
            switch (picStruct) {
            case 1: case 3: case 5: return 0;  // top field (first)
            case 2: case 4: case 6: return 1;  // bottom field (first)
            default: return std::nullopt;      // a frame: no order
            }
        }
        i += size;
    }
    return std::nullopt;
}

// A first slice coded as a single field tells which field comes first.
std::optional<uint32_t> FieldOrderFromSlice(const std::vector<uint8_t>& rbsp, const H264Sps& sps) {
    CBitReader bits(rbsp.data(), rbsp.size());
    bits.ReadUe();  // first_mb_in_slice
    bits.ReadUe();  // slice_type
    bits.ReadUe();  // pic_parameter_set_id
    if (sps.bSeparateColourPlanes) bits.Skip(2);
    bits.Skip(sps.nFrameNumBits);
    if (!bits.ReadFlag()) return std::nullopt;  // field_pic_flag: a frame
    const bool bBottom = bits.ReadFlag();
    if (bits.Failed()) return std::nullopt;
    return bBottom ? 1 : 0;
}

// Interlaced streams: the first picture's timing message or its first slice;
// top field first, the usual order, when neither tells.
uint32_t FieldOrder(const H264Sps& sps, const uint8_t* p, const uint8_t* pEnd) {
    if (sps.bFrameMbsOnly) return 2;
    for (p = vrx::host::FindStartCode(p, pEnd); p < pEnd; p = vrx::host::FindStartCode(p, pEnd)) {
        const uint32_t type = *p & 0x1F;
        if (type != kNalSei && type != kNalSlice && type != kNalIdrSlice) continue;
        const std::vector<uint8_t> rbsp =
            Unescape(p + 1, pEnd, type == kNalSei ? kMaxHeaderBytes : kMaxSliceHeadBytes);
        const std::optional<uint32_t> order =
            type == kNalSei ? FieldOrderFromSei(rbsp, sps) : FieldOrderFromSlice(rbsp, sps);
        if (order) return *order;
        if (type != kNalSei) break;
    }
    return 0;
}

int32_t ParseH264(const uint8_t* data, int32_t length, SPlugVideoStreamInfo* info) {
    const uint8_t* const pEnd = data + length;
    const uint8_t* p = vrx::host::FindStartCode(data, pEnd);
    while (p < pEnd && (*p & 0x9F) != kNalSps) p = vrx::host::FindStartCode(p, pEnd);
    if (p == pEnd) return 0;

    const std::vector<uint8_t> rbsp = Unescape(p + 1, pEnd, kMaxHeaderBytes);
    CBitReader bits(rbsp.data(), rbsp.size());
    H264Sps sps;
    if (!ReadSps(bits, sps)) return 0;

    uint32_t aspectX = 0;
    uint32_t aspectY = 0;
    if (!SARtoDAR(sps.dwWidth, sps.dwHeight, sps.sar.x, sps.sar.y, &aspectX, &aspectY)) return 0;
    info->dwWidth = sps.dwWidth;
    info->dwHeight = sps.dwHeight;
    info->dwAspectX = aspectX;
    info->dwAspectY = aspectY;
    // A tick is one field: two make a frame (25 fps: 1 / 50).
    if (sps.dwUnitsInTick != 0 && sps.dwTimeScale != 0)
        vrx::host::ReduceFraction(sps.dwTimeScale, uint64_t{2} * sps.dwUnitsInTick,
                                  &info->dwFrameRateNum, &info->dwFrameRateDen);
    info->dwFieldOrder = FieldOrder(sps, p, pEnd);
    return 1;
}

}  // namespace

int32_t GetH264VideoInfo(const uint8_t* data, int32_t length, SPlugVideoStreamInfo* info) {
    if (!data || length <= 0 || !info) return 0;
    try {
        return ParseH264(data, length, info);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
