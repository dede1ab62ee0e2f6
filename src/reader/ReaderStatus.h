// Status codes of the reader's reads, beside the common ones of
// plugin/PlugStatus.h. The host tells a missing stream, a frame that is not
// in the file and a failing runtime apart by these values.
#pragma once

#include <cstdint>

// A video read on a handle that holds no usable video stream object.
inline constexpr uint32_t PLUG_E_NO_VIDEO_STREAM = 0x80000305;
// The frame asked for is not in the file, or its sample holds no data.
inline constexpr uint32_t PLUG_E_FRAME_NOT_FOUND = 0x80000306;
// Seeking to a frame, or taking the first sample after the seek, failed.
inline constexpr uint32_t PLUG_E_SEEK_FAILED = 0x80000308;
// The runtime delivered no sample where one was due.
inline constexpr uint32_t PLUG_E_NO_SAMPLE = 0x80000107;
// An audio read on a handle that holds no usable audio stream object.
inline constexpr uint32_t PLUG_E_NO_AUDIO_STREAM = 0x80000404;
