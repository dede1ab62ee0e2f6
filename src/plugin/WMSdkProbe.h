// Whether the Windows Media runtime can be used from the calling thread.
// The reader's open and the writer's start ask before they touch a file: the
// runtime refuses to create its objects on a thread without COM, and a
// machine without a video codec cannot serve either of them.
#pragma once

#include <cstdint>

// 1 when a profile manager can be created and hands out the media properties
// of its first video codec format, else 0. Every failure (no runtime, COM
// not initialised on this thread, no video codec) answers 0. Keeps no state;
// any thread may call.
uint32_t IsWMSDKAvailable() noexcept;

// The line both callers write to the debugger output when the answer is 0.
inline constexpr char16_t kNeedComInitText[] = u"Need Initialize COM for winmedia SDK\n";
