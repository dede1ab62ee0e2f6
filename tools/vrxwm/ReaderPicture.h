// What a decoded frame from the reader looks like in FFmpeg's terms. The
// reader delivers the colour format its video description names: YUY2,
// UYVY or I420; or, for format 1, Windows Media's default RGB: 24-bit
// bottom-up rows padded to four bytes (reads by index), or 32-bit rows
// turned the other way up (reads by seek).
#pragma once

#include "vrx/PlugRecords.h"
#include "vrxwm/CPlugReader.h"
#include "vrxwm/Picture.h"

// Throws CStatusError when the stream is not decoded by the reader or the
// frame is shorter than its picture.
SPicture PictureOfFrame(const SPlugVideoStreamInfo& video, const SPlugFrame& frame);

// Whether the reader decodes this video stream (as opposed to handing out
// compressed samples).
bool IsDecodedVideo(const SPlugVideoStreamInfo& video) noexcept;
// Throws CStatusError, naming the codec, when it does not.
void RequireDecodedVideo(const SPlugVideoStreamInfo& video);
