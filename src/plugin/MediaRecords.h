// Defaults and copies of the records the plug-in shares with the host.
// Every user of a record starts from these defaults, and every copy goes
// through these functions so that the video block always carries its size.
#pragma once

#include "vrx/PlugRecords.h"

// The video block of a fresh record: 720 x 576, 4:3, 25/1, I420, constant
// bit rate, a key frame every 12 frames, and the host's own default words.
void InitVideoStreamInfo(SPlugVideoStreamInfo& video) noexcept;

// The audio block of a fresh record: PCM, stereo, 16-bit, 48000 Hz.
void InitAudioStreamInfo(SPlugAudioStreamInfo& audio) noexcept;

// A fresh record describes neither video nor audio; both blocks hold their
// defaults and every other word is 0.
void InitMediaInfo(SPlugMediaInfo& info) noexcept;

// A description the plug-in creates: the host's bytes are 0, the blocks hold
// their defaults, the texts are empty and there is no format block.
void InitStreamDesc(SPlugStreamDesc& desc) noexcept;

// Copies every word; the video block's size word is written as 108 whatever
// the source holds, because hosts fill records without it.
void CopyVideoStreamInfo(SPlugVideoStreamInfo& dest, const SPlugVideoStreamInfo& src) noexcept;
void CopyMediaInfo(SPlugMediaInfo& dest, const SPlugMediaInfo& src) noexcept;

// As CopyMediaInfo, but the six host words at offset 216 of dest keep their
// value: the reader fills its handle's record this way.
void CopyMediaInfoForReader(SPlugMediaInfo& dest, const SPlugMediaInfo& src) noexcept;

// Copies every byte, the host's included; the format block's data pointer is
// copied as a pointer, so dest refers to src's block.
void CopyStreamDesc(SPlugStreamDesc& dest, const SPlugStreamDesc& src) noexcept;
