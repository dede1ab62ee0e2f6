#include "StreamBytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "support/Media.h"

std::vector<uint8_t> EncodeStream(const std::vector<std::string>& args,
                                  const std::filesystem::path& out) {
    std::vector<std::string> all = args;
    all.push_back(out.string());
    std::string error;
    if (!RunFfmpeg(all, &error)) {
        ADD_FAILURE() << error;
        return {};
    }
    std::ifstream in(out, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool HasEncoder(const std::string& name) {
    std::string out;
    RunCommand("ffmpeg -hide_banner -encoders 2>/dev/null", &out);
    return out.find(" " + name + " ") != std::string::npos;
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& data, size_t n) {
    return {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(n, data.size()))};
}

std::vector<uint8_t> Noise(std::mt19937& random, size_t maxSize, const std::vector<uint8_t>& head) {
    std::vector<uint8_t> noise(1 + random() % maxSize);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    std::copy_n(head.begin(), std::min(head.size(), noise.size()), noise.begin());
    return noise;
}
