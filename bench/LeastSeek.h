// The least an exact seek can cost, the yardstick of the seeking
// benchmarks: a fresh decoder fed from the key frame at or before the
// frame (every key frame's position known in advance), straight to the
// frame, and the frame converted to YUY2 as the reader delivers it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

#include "wmf/AvPtr.h"

class CLeastSeek {
public:
    // Reads the whole file once to find its key frames.
    explicit CLeastSeek(const std::filesystem::path& path);
    int64_t Frames() const { return m_frames; }
    // Decodes frame and returns one byte of it, so the work cannot be left out.
    uint8_t Decode(int64_t frame);

private:
    AvPtr<AVFormatContext> m_pFormat;
    int m_video = 0;
    int64_t m_frames = 0;
    std::vector<std::pair<int64_t, int64_t>> m_keys;  // frame index, file position
};
