#include "win/Debug.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <string>

#include "win/WideString.h"

namespace {

// Callers of the hook share the lock; installing a hook waits for them.
std::shared_mutex g_hookMutex;
VrxDebugOutputHook g_pfnHook = nullptr;
void* g_pHookContext = nullptr;

bool StderrEnabled() noexcept {
    const char* value = std::getenv("VRX_DEBUG_OUTPUT");
    return value && std::strcmp(value, "1") == 0;
}

}  // namespace

extern "C" void OutputDebugStringW(LPCWSTR lpOutputString) noexcept {
    if (!lpOutputString) return;
    {
        std::shared_lock lock(g_hookMutex);
        if (g_pfnHook) g_pfnHook(lpOutputString, g_pHookContext);
    }
    if (!StderrEnabled()) return;
    try {
        const std::string text = vrx::Utf16ToUtf8(lpOutputString);
        // One write per message, so lines from several threads stay whole.
        std::fwrite(text.data(), 1, text.size(), stderr);
    } catch (const std::bad_alloc&) {
        // Diagnostics are best effort: a message that cannot be converted is dropped.
    }
}

extern "C" void VrxSetDebugOutputHook(VrxDebugOutputHook hook, void* ctx) noexcept {
    std::unique_lock lock(g_hookMutex);
    g_pfnHook = hook;
    g_pHookContext = ctx;
}
