// Ordinal 602: the host library's QZGetLibInfo (declared in vrx/VRXHost.h),
// reached through the plug-in. The plug-in also exports QZGetLibInfo by
// name; both forward the argument and the result untouched. When the host's
// function cannot be found, the answer is 0x80000002.
#pragma once

#include <cstdint>

#include "vrx/VRXHost.h"

extern "C" {
// The entry point of ordinal 602. A separate, hidden name: inside the
// plug-in, the address of QZGetLibInfo may bind to the host's function of
// the same name instead of ours.
uint32_t ForwardQZGetLibInfo(SVRXLibInfo* info) noexcept;
}
