// The reader as the source of an encoding job (transcode): frames by index
// from the first to the last, PCM from the first sample on.
#pragma once

#include "vrxwm/CPlugReader.h"
#include "vrxwm/MediaSource.h"

class CReaderVideoSource final : public IVideoSource {
public:
    // Throws CStatusError when the reader does not decode the stream or the
    // file states no frame rate.
    explicit CReaderVideoSource(CPlugReader& reader);

    SVideoFormat Format() const override { return m_format; }
    int64_t FrameCount() const override { return m_nFrames; }
    const SPicture* Next() override;
    void Rewind() override { m_iNext = 0; }

private:
    CPlugReader& m_reader;
    SVideoFormat m_format;
    uint32_t m_nFrames;
    uint32_t m_iNext = 0;
    SPicture m_picture;
};

class CReaderAudioSource final : public IAudioSource {
public:
    // Throws CStatusError for audio the reader does not decode to PCM.
    explicit CReaderAudioSource(CPlugReader& reader);

    SAudioFormat Format() const override { return m_format; }
    int Read(uint8_t* pOut, int maxFrames) override;

private:
    CPlugReader& m_reader;
    SAudioFormat m_format;
    uint32_t m_nSamples;
    uint32_t m_iNext = 0;
    int m_cbFrame;
    bool m_bWiden24;
};
