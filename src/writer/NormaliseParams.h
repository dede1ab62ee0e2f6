// Ordinal 504: brings a host's encoding parameters into the range the
// Windows Media encoder accepts, in place, before a writer is opened with
// them. Pure arithmetic on the record; needs no handle and no Windows Media.
#pragma once

#include <cstdint>

#include "vrx/PlugRecords.h"

// Bits per sample other than 16 and 24, or a sample rate the bit-rate
// table does not know.
inline constexpr uint32_t PLUG_E_AUDIO_FORMAT_UNSUPPORTED = 0x80000403;

// Sets the codec types to Windows Media, corrects the video fields the
// encoder cannot take, snaps the audio bit rate to one the codecs offer and
// derives the bytes per sample frame. Returns 0 or
// PLUG_E_AUDIO_FORMAT_UNSUPPORTED; on failure the corrections already made
// stay and the bytes per sample frame keeps its old value.
uint32_t NormaliseMediaInfo(SPlugMediaInfo& info) noexcept;

extern "C" {
// The first argument is not read. A null record answers 0x80000005.
uint32_t WriterNormaliseParams(void* pUnused, SPlugMediaInfo* pInfo) noexcept;
}
