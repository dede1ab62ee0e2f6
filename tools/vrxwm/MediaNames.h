// Names for the codes of the host's records, as people know them: codec
// names from the reader's codec type and sub-type, colour formats, field
// orders.
#pragma once

#include <string>

#include "vrx/PlugRecords.h"

// "WMV2", "WMV3", "VC-1 Advanced", "MS-MPEG-4 v3", "H.264", ...
std::string VideoCodecName(const SPlugVideoStreamInfo& video);
// "Windows Media Audio", "WMA Pro", "WMA Voice", "AAC", ...
std::string AudioCodecName(const SPlugAudioStreamInfo& audio);
// "mono", "stereo", "6 channels"
std::string ChannelsName(uint32_t dwChannels);
// "YUY2", "UYVY", "I420", "RGB"
std::string ColourFormatName(uint32_t dwColorFormat);
// The frame rate reduced, "25/1" rather than the "25000/1000" the reader
// may state; "unknown" when the file states none.
std::string FrameRateText(const SPlugVideoStreamInfo& video);
// "top field first", "bottom field first", "progressive"
std::string FieldOrderName(uint32_t dwFieldOrder);
