// Captures the plug-in's two log channels (debugger output and host log)
// while it lives. One at a time per process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/HostLogHook.h"
#include "win/Debug.h"

class LogCapture {
public:
    struct HostLine {
        uint32_t type;
        std::u16string text;
    };

    LogCapture() {
        VrxSetDebugOutputHook(
            [](const WCHAR* text, void* ctx) { static_cast<LogCapture*>(ctx)->m_debug.emplace_back(text); }, this);
        VRX_SetHostLogHook(
            [](const char16_t* source, uint32_t type, const char16_t* text, void* ctx) {
                auto* self = static_cast<LogCapture*>(ctx);
                if (std::u16string_view(source) == u"VRXWinMediaCodec") self->m_host.push_back({type, text});
            },
            this);
    }
    ~LogCapture() {
        VrxSetDebugOutputHook(nullptr, nullptr);
        VRX_SetHostLogHook(nullptr, nullptr);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::u16string>& Debug() const { return m_debug; }
    const std::vector<HostLine>& Host() const { return m_host; }
    // The host log's texts of one type, in order.
    std::vector<std::u16string> HostTexts(uint32_t type) const {
        std::vector<std::u16string> texts;
        for (const auto& line : m_host)
            if (line.type == type) texts.push_back(line.text);
        return texts;
    }

private:
    std::vector<std::u16string> m_debug;
    std::vector<HostLine> m_host;
};
