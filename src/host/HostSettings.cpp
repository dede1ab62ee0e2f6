#include "vrx/VRXHost.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "win/WideString.h"

namespace {

// Decimal, or hexadecimal after 0x; the whole text must be the number.
std::optional<uint32_t> ParseSetting(const char* text) noexcept {
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    const char* const end = text + std::strlen(text);
    uint32_t value = 0;
    const auto [ptr, ec] = std::from_chars(text, end, value, base);
    if (ec != std::errc() || ptr != end || text == end) return std::nullopt;
    return value;
}

}  // namespace

// Settings live in the environment as VRX_SETTING_<name>; the key path and
// section of the host's registry layout, and the flag, do not apply.
int32_t VRX_GetGlobalIntW(const vrx::WChar*, const vrx::WChar*, const vrx::WChar* name,
                          uint32_t* value, int32_t) {
    if (!name || !*name || !value) return 0;
    std::string variable;
    try {
        variable = "VRX_SETTING_" + vrx::Utf16ToUtf8(name);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const char* text = std::getenv(variable.c_str());
    if (!text) return 0;
    const std::optional<uint32_t> parsed = ParseSetting(text);
    if (!parsed) return 0;
    *value = *parsed;
    return 1;
}
