// PCM audio in RIFF WAVE files: the reader takes what encoders and tools
// commonly write (integer PCM of 8 to 32 bits, 32- and 64-bit float,
// WAVE_FORMAT_EXTENSIBLE, streamed files of unknown length); the writer
// writes integer PCM, extensible beyond two channels or 16 bits.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "vrxwm/CFile.h"
#include "vrxwm/MediaSource.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

class CWavReader final : public IAudioSource {
public:
    // "-" reads the standard input. Throws CStatusError for a file that is
    // missing or is not a PCM WAVE file.
    explicit CWavReader(const std::filesystem::path& file);

    int SampleRate() const noexcept { return m_nRate; }
    int Channels() const noexcept { return m_nChannels; }
    // Interleaved; 24-bit files are widened to 32 bits.
    AVSampleFormat SampleFormat() const noexcept { return m_format; }
    int BytesPerFrame() const noexcept { return av_get_bytes_per_sample(m_format) * m_nChannels; }
    // Sample frames in the data chunk, -1 when the file does not say.
    int64_t FrameCount() const noexcept { return m_nFrames; }

    SAudioFormat Format() const override { return {m_nRate, m_nChannels, m_format}; }
    // Up to maxFrames interleaved sample frames into pOut (maxFrames x
    // BytesPerFrame() bytes); 0 at the end.
    int Read(uint8_t* pOut, int maxFrames) override;

private:
    void ParseFormat(const std::vector<uint8_t>& chunk);

    CFile m_file;
    int m_nRate = 0;
    int m_nChannels = 0;
    int m_cbFileFrame = 0;
    bool m_bWiden24 = false;
    AVSampleFormat m_format = AV_SAMPLE_FMT_NONE;
    int64_t m_nFrames = -1;
    int64_t m_nFramesLeft = -1;
};

class CWavWriter {
public:
    // "-" writes to the standard output, with the lengths left open.
    CWavWriter(const std::filesystem::path& file, int sampleRate, int channels, int bitsPerSample);

    // Whole sample frames of interleaved little-endian PCM.
    void Write(const uint8_t* pData, size_t cb);
    // Fills in the lengths (when the file can seek) and closes.
    void Close();

private:
    void WriteHeader(uint32_t cbData);

    CFile m_file;
    int m_nRate;
    int m_nChannels;
    int m_nBits;
    uint64_t m_cbData = 0;
};
