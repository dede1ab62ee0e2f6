// Start codes (00 00 01) of MPEG-4 Part 2 and H.264 Annex B streams.
#pragma once

#include <cstdint>

namespace vrx::host {

// The first byte after the next 00 00 01 in [p, end), or end when there is
// none. A four-byte start code 00 00 00 01 is found by its last three bytes.
const uint8_t* FindStartCode(const uint8_t* p, const uint8_t* end) noexcept;

}  // namespace vrx::host
