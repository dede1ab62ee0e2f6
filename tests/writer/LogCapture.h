// Captures the debugger output and the host's log (messages shown to the
// user included) for the lifetime of the object. The writer's threads log
// too, so every access is locked.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "host/HostLogHook.h"
#include "win/Debug.h"

class CLogCapture {
public:
    struct SHostEntry {
        uint32_t type;
        std::u16string text;
    };

    CLogCapture() {
        VrxSetDebugOutputHook(
            [](const WCHAR* text, void* ctx) {
                auto* self = static_cast<CLogCapture*>(ctx);
                std::lock_guard lock(self->m_mutex);
                self->m_debug.emplace_back(text);
            },
            this);
        VRX_SetHostLogHook(
            [](const char16_t*, uint32_t type, const char16_t* text, void* ctx) {
                auto* self = static_cast<CLogCapture*>(ctx);
                std::lock_guard lock(self->m_mutex);
                self->m_host.push_back({type, text});
            },
            this);
    }
    ~CLogCapture() {
        VrxSetDebugOutputHook(nullptr, nullptr);
        VRX_SetHostLogHook(nullptr, nullptr);
    }
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;

    std::vector<std::u16string> Debug() {
        std::lock_guard lock(m_mutex);
        return m_debug;
    }
    bool DebugHas(const std::u16string& line) {
        std::lock_guard lock(m_mutex);
        return std::ranges::find(m_debug, line) != m_debug.end();
    }
    // Host log entries of routine diagnostics.
    std::vector<std::u16string> HostLog() { return HostEntries(8); }
    // Messages shown to the user.
    std::vector<std::u16string> Messages() { return HostEntries(VRX_HOST_LOG_MESSAGE); }

private:
    std::vector<std::u16string> HostEntries(uint32_t type) {
        std::lock_guard lock(m_mutex);
        std::vector<std::u16string> texts;
        for (const SHostEntry& entry : m_host) {
            if (entry.type == type) texts.push_back(entry.text);
        }
        return texts;
    }

    std::mutex m_mutex;
    std::vector<std::u16string> m_debug;
    std::vector<SHostEntry> m_host;
};
