// Message formatting and the plug-in's two log channels: the debugger output
// (OutputDebugStringW) for most messages, and the host's log (VRX_OutputW)
// for the few the host shows its user. Stateless; any thread may call.
#pragma once

#include <cstddef>
#include <string>

#include "vrx/VRXHost.h"
#include "win/WinTypes.h"

// Messages are formatted on the stack in a buffer of this many characters,
// terminator included; longer text is cut to one less.
inline constexpr size_t kFormatBufferChars = 8192;

// printf-style formatting of the wide-character family: "%s" takes a wide
// string, "%d" a signed and "%x"/"%u" an unsigned 32-bit integer, "%c" one
// character. dest's earlier content is replaced, never appended to. A null
// format, or a destination that cannot grow, leaves dest empty.
void FormatString(std::u16string& dest, const WCHAR* fmt, ...) noexcept;

// The finished text to the debugger output, unchanged.
void DebugOutput(const WCHAR* text) noexcept;
// As FormatString, then to the debugger output.
void DebugOutputF(const WCHAR* fmt, ...) noexcept;

// The finished text to the host's log under our source name, passed with
// the format "%s" so that a '%' in the text stays as it is. type is
// INFOTYPE_DIAGNOSTIC except for the one frame-rate warning.
void HostLog(INFOTYPE type, const WCHAR* text) noexcept;
// As FormatString, then to the host's log.
void HostLogF(INFOTYPE type, const WCHAR* fmt, ...) noexcept;
