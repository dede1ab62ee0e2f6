// Statuses as a person reads them: the plug-in's own codes, the Windows
// Media and COM results it passes through, and the few the tool raises
// itself for its own files.
#pragma once

#include <cstdint>
#include <string>

// Raised by the tool itself, with the values the platform uses for them.
inline constexpr uint32_t kStatusNotSupported = 0x80000002;
inline constexpr uint32_t kStatusOutOfRange = 0x80000006;
inline constexpr uint32_t kStatusNoVideo = 0x80000305;
inline constexpr uint32_t kStatusFrameNotFound = 0x80000306;
inline constexpr uint32_t kStatusAudioFormat = 0x80000403;
inline constexpr uint32_t kStatusNoAudio = 0x80000404;
inline constexpr uint32_t kStatusFail = 0x80004005;
inline constexpr uint32_t kStatusFileNotFound = 0x80070002;
inline constexpr uint32_t kStatusAccessDenied = 0x80070005;
inline constexpr uint32_t kStatusOutOfMemory = 0x8007000E;
inline constexpr uint32_t kStatusInvalidArg = 0x80070057;
inline constexpr uint32_t kStatusDiskFull = 0x80070070;
inline constexpr uint32_t kStatusInvalidData = 0xC00D002F;
inline constexpr uint32_t kStatusAudioCodecMissing = 0xC00D0BC2;
inline constexpr uint32_t kStatusVideoCodecMissing = 0xC00D0BC4;

// The meaning alone ("index or selection out of range"); a status nobody
// documented is described by its facility.
std::string StatusMeaning(uint32_t dwStatus);

// "0x80000006 (index or selection out of range)": hex, eight digits.
std::string FormatStatus(uint32_t dwStatus);
