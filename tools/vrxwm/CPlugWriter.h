// One Windows Media file written through the writer ordinals (500-509) and
// the two-pass control of ordinal 600. The writer encodes what it is given:
// uncompressed frames of the opened size and colour format, PCM of the
// opened format. Closing (the destructor, or Close) finishes the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "vrx/PlugOrdinals.h"

class CPlugin;

class CPlugWriter {
public:
    // Brings encoding parameters into the range the encoder accepts (504);
    // returns the plug-in's status, 0 when the record is usable.
    static uint32_t Normalise(const CPlugin& plugin, SPlugMediaInfo& params) noexcept;

    explicit CPlugWriter(const CPlugin& plugin);
    CPlugWriter(const CPlugWriter&) = delete;
    CPlugWriter& operator=(const CPlugWriter&) = delete;

    // Starts the file with the streams params declares present; params must
    // have been normalised. Throws CStatusError.
    void Open(const std::filesystem::path& file, const SPlugMediaInfo& params);

    // Whether the opened profile can be encoded in two passes (600, 2/10).
    bool TwoPassSupported();
    // The preprocessing pass: frames delivered between the two are
    // analysed, not written (600, 1/11 and 1/12).
    void BeginPreprocessingPass();
    void EndPreprocessingPass();

    // One frame; last marks the end of the video (only in the final pass).
    void PutVideo(const uint8_t* pFrame, uint32_t cbFrame, bool last);
    // Whole sample frames of PCM; last marks the end of the audio.
    void PutAudio(const uint8_t* pSamples, uint32_t cbSamples, bool last);
    // While this answers true the writer wants audio before the next frame.
    bool IsAudioBehind();

    // Finishes the file and frees the handle.
    void Close() noexcept;

private:
    using Handle = std::unique_ptr<void, PFN_WriterDestroy>;
    void Put(uint32_t dwEsPid, const uint8_t* pData, uint32_t cbData, bool last, const char* what);
    void Control(uint32_t dwItem, const char* what);

    const CPlugin& m_plugin;
    std::string m_name;
    // Destroying the handle finishes the file.
    Handle m_hWriter{nullptr, nullptr};
};
