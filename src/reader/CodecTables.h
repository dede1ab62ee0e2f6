// How the reader names a stored codec to the host: video by the bitmap
// header's four-character code, audio by the WAVE format tag.
#pragma once

#include "vrx/PlugRecords.h"
#include "win/WinTypes.h"

// Codec type and sub-type of a video stream. The Windows Media codecs and
// MS-MPEG-4 are decoded by the runtime (12, with the sub-type the host knows
// them by); H.264 (20) and MPEG-4 Part 2 as DivX (8) are read compressed and
// keep their sub-type; any other code becomes 14, read compressed.
void DescribeVideoCodec(DWORD dwFourCC, SPlugVideoStreamInfo& video) noexcept;

// Audio type and sub-type of an audio stream: 11 for the formats the runtime
// decodes to PCM, 7 for AAC (tags 0x00FF and 0xFFFE), which is read
// compressed and so only when the runtime presents the stream as
// MEDIATYPE_Stream (bStreamMajorType), else 0: a stream the reader cannot
// serve. The sub-type is left alone for tags outside the table.
void DescribeAudioCodec(WORD wFormatTag, bool bStreamMajorType, SPlugAudioStreamInfo& audio) noexcept;
