// One Windows Media file opened through the reader ordinals (400-429).
// The reader hands out at most one video and one audio stream; frames come
// by index in the reader's own buffer, audio as PCM in the caller's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "vrx/PlugOrdinals.h"

class CPlugin;

// A frame in the reader's buffer: valid until the next read or the
// reader's end.
struct SPlugFrame {
    const uint8_t* pData = nullptr;
    uint32_t cbData = 0;
    SPlugFrameInfo info{};
};

class CPlugReader {
public:
    // The reader handle, destroyed through its ordinal.
    using Handle = std::unique_ptr<void, PFN_ReaderDestroy>;

    // Opens the file; throws CStatusError with the reader's answer.
    CPlugReader(const CPlugin& plugin, const std::filesystem::path& file);
    CPlugReader(const CPlugReader&) = delete;
    CPlugReader& operator=(const CPlugReader&) = delete;

    const std::optional<SPlugStreamDesc>& Video() const noexcept { return m_video; }
    const std::optional<SPlugStreamDesc>& Audio() const noexcept { return m_audio; }
    uint64_t FileSize() const noexcept;

    // Frame by index, reading on from the last frame where it can (421).
    SPlugFrame GetFrame(uint32_t index);
    // Frame by index, always seeking first (422).
    SPlugFrame SeekFrame(uint32_t index);
    // count sample frames from first into pBuffer (count x block alignment
    // bytes); returns the sample frames delivered (428).
    uint32_t ReadAudio(uint32_t first, uint32_t count, uint8_t* pBuffer);

private:
    SPlugFrame Frame(PlugOrdinal ordinal, uint32_t index, const char* how);

    const CPlugin& m_plugin;
    std::string m_name;
    Handle m_hReader;
    std::optional<SPlugStreamDesc> m_video;
    std::optional<SPlugStreamDesc> m_audio;
};
