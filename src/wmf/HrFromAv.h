// FFmpeg error numbers become the platform's result codes here and nowhere
// else, so that every caller of the layer sees the codes the platform's
// runtime gives for the same situation.
#pragma once

#include <string>

#include "win/NsError.h"
#include "win/WinError.h"

extern "C" {
#include <libavutil/avutil.h>
}

// Where the error arose: running out of bytes while the header is read means
// a damaged file, while reading samples it means the end of the data.
enum class AvStage { Open, Read, Decode };

HRESULT HrFromAv(int err, AvStage stage, AVMediaType type = AVMEDIA_TYPE_UNKNOWN) noexcept;

// The text of an FFmpeg error number, for log lines.
std::string AvErrorText(int err);
