#include "plugin/Diagnostics.h"

#include <cstdarg>
#include <new>

#include "win/Debug.h"
#include "win/WidePrintf.h"

namespace {

constexpr WCHAR kLogSource[] = u"VRXWinMediaCodec";

// Always terminated: an overlong message is cut to kFormatBufferChars - 1
// characters whatever the formatter reports.
void FormatToBuffer(WCHAR (&buffer)[kFormatBufferChars], const WCHAR* fmt, va_list args) noexcept {
    buffer[0] = 0;
    if (fmt) wvnsprintfW(buffer, static_cast<int>(kFormatBufferChars), fmt, args);
    buffer[kFormatBufferChars - 1] = 0;
}

}  // namespace

void FormatString(std::u16string& dest, const WCHAR* fmt, ...) noexcept {
    WCHAR buffer[kFormatBufferChars];
    va_list args;
    va_start(args, fmt);
    FormatToBuffer(buffer, fmt, args);
    va_end(args);
    try {
        dest.assign(buffer);
    } catch (const std::bad_alloc&) {
        dest.clear();
    }
}

void DebugOutput(const WCHAR* text) noexcept {
    OutputDebugStringW(text);
}

void DebugOutputF(const WCHAR* fmt, ...) noexcept {
    WCHAR buffer[kFormatBufferChars];
    va_list args;
    va_start(args, fmt);
    FormatToBuffer(buffer, fmt, args);
    va_end(args);
    OutputDebugStringW(buffer);
}

void HostLog(INFOTYPE type, const WCHAR* text) noexcept {
    VRX_OutputW(kLogSource, type, u"%s", text ? text : u"");
}

void HostLogF(INFOTYPE type, const WCHAR* fmt, ...) noexcept {
    WCHAR buffer[kFormatBufferChars];
    va_list args;
    va_start(args, fmt);
    FormatToBuffer(buffer, fmt, args);
    va_end(args);
    VRX_OutputW(kLogSource, type, u"%s", buffer);
}
