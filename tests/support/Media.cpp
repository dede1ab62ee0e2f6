#include "support/Media.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

}  // namespace

int RunCommand(const std::string& command, std::string* out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buf{};
    size_t n = 0;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0)
        if (out) out->append(buf.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool RunFfmpeg(const std::vector<std::string>& args, std::string* error) {
    std::string cmd = "ffmpeg -nostdin -y -hide_banner -loglevel error";
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " 2>&1";
    std::string out;
    const int rc = RunCommand(cmd, &out);
    if (rc != 0 && error) *error = cmd + "\n" + out;
    return rc == 0;
}

std::filesystem::path SamplesDir() {
    if (const char* env = std::getenv("VRX_SAMPLES_DIR")) {
        std::filesystem::path p(env);
        if (std::filesystem::is_directory(p)) return p;
    }
    return {};
}

std::u16string Wide(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0;
        size_t len = 1;
        if (c < 0x80) cp = c;
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else { cp = c & 0x07; len = 4; }
        for (size_t k = 1; k < len && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}
