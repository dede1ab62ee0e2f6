// The library exports exactly two symbols: VRXPlugGetProcByOrdinal (declared
// in vrx/PlugOrdinals.h), through which the host finds every entry point,
// and QZGetLibInfo. Everything else is built with hidden visibility.
#pragma once

#include "vrx/PlugOrdinals.h"

#define VRX_PLUG_EXPORT __attribute__((visibility("default")))
