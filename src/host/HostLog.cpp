#include "host/HostLogHook.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "vrx/VRXHost.h"
#include "win/WidePrintf.h"
#include "win/WideString.h"

namespace {

// Entries longer than this are cut; the host's own log has the same bound.
constexpr int kMaxEntryChars = 8192;

struct HostLogState {
    std::mutex mutex;
    VrxHostLogHook hook = nullptr;
    void* ctx = nullptr;
};

HostLogState& State() noexcept {
    static HostLogState state;
    return state;
}

bool StderrWanted() noexcept {
    const char* value = std::getenv("VRX_HOST_LOG");
    return value && std::strcmp(value, "1") == 0;
}

// "[source] text" as one line: the entry's own trailing newlines are
// dropped so that every entry ends in exactly one.
std::string LineOf(const char16_t* source, uint32_t type, const char16_t* text) {
    std::string line = "[" + vrx::Utf16ToUtf8(source) + "] ";
    if (type == INFOTYPE_WARNING) line += "warning: ";
    line += vrx::Utf16ToUtf8(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line + "\n";
}

void Emit(const char16_t* source, uint32_t type, const char16_t* text, bool bToStderr) noexcept {
    if (!source) source = u"";
    std::string line;
    try {
        line = LineOf(source, type, text);
    } catch (const std::bad_alloc&) {
        return;
    }
    HostLogState& state = State();
    // One lock for all channels keeps entries of different threads whole and
    // in the same order everywhere.
    std::lock_guard lock(state.mutex);
    if (state.hook) state.hook(source, type, text, state.ctx);
    if (bToStderr) std::fputs(line.c_str(), stderr);
    const char* path = std::getenv("VRX_HOST_LOG_FILE");
    if (path && *path) {
        if (FILE* file = std::fopen(path, "a")) {
            std::fputs(line.c_str(), file);
            std::fclose(file);
        }
    }
}

}  // namespace

void VRX_SetHostLogHook(VrxHostLogHook hook, void* ctx) {
    HostLogState& state = State();
    std::lock_guard lock(state.mutex);
    state.hook = hook;
    state.ctx = ctx;
}

void VRX_OutputW(const vrx::WChar* source, INFOTYPE type, const vrx::WChar* format, ...) {
    if (!format) return;
    std::u16string text;
    try {
        text.assign(kMaxEntryChars, u'\0');
    } catch (const std::bad_alloc&) {
        return;
    }
    va_list args;
    va_start(args, format);
    wvnsprintfW(text.data(), kMaxEntryChars, format, args);
    va_end(args);
    text.back() = u'\0';
    Emit(source, type, text.c_str(), StderrWanted());
}

int32_t VRXMSGW(const vrx::WChar* source, const vrx::WChar* message) {
    // No one sits at a dialog here: the message goes to stderr as well as to
    // the log, so that it is seen.
    if (message) Emit(source, VRX_HOST_LOG_MESSAGE, message, /*bToStderr=*/true);
    return 0;
}
