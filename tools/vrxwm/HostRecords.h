// The host's side of the shared records: fresh records with the host's
// default values, and the source list that names a file to the plug-in.
#pragma once

#include <filesystem>
#include <string>

#include "vrx/PlugRecords.h"

// A record as the host initialises it: no stream present, yet the video
// block holds 720 x 576 4:3 25/1 I420 and the audio block 48 kHz stereo
// 16-bit, which the caller overwrites with what it really has.
SPlugMediaInfo DefaultMediaInfo() noexcept;
SPlugStreamDesc DefaultStreamDesc() noexcept;
SPlugFrameInfo EmptyFrameInfo() noexcept;

// UTF-8 (the tool's strings and file names) to UTF-16 (the records').
std::u16string Utf16(const std::string& text);

// One file given by name, as the reader's open and the writer's open take
// it. The name is made absolute so that the plug-in's drive letter (its
// first character) is the same for every file: '/'.
class CSourceList {
public:
    // Throws CStatusError when the absolute name does not fit the record.
    explicit CSourceList(const std::filesystem::path& file);
    CSourceList(const CSourceList&) = delete;
    CSourceList& operator=(const CSourceList&) = delete;

    const SPlugSourceList* Get() const noexcept { return &m_list; }
    char16_t Drive() const noexcept { return m_item.szFileName[0]; }

private:
    SPlugSourceItem m_item{};
    SPlugSourceList m_list{};
};
