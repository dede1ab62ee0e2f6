// One audio encoder (libavcodec's wmav2) with the conversion of the host's
// PCM in front of it (libswresample: 8 or 16 bits, any rate, one or two
// channels in; the stream's rate and channels out).
//
// libavcodec's wmav2 takes whole frames of frame_size samples, so the
// samples wait in a FIFO until a frame is full. Times are sample counts of
// the stream's rate: the first packet comes out one frame before 0 (the
// encoder's priming); how the end is completed is the caller's choice (see
// Flush). One caller at a time.
#pragma once

#include <functional>
#include <memory>

#include "wmf/AvPtr.h"
#include "win/WinError.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

struct SAudioEncoderSettings {
    int sampleRate = 44100;
    int channels = 2;
    int64_t bitRate = 128000;  // what libavcodec's wmav2 is opened with
};

struct SAudioInputFormat {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16;  // 8 (unsigned) or 16 (signed)
};

class CAudioEncoder {
public:
    using PacketSink = std::function<HRESULT(AVPacket* pkt)>;

    // NS_E_AUDIO_CODEC_NOT_INSTALLED when libavcodec lacks wmav2;
    // NS_E_INVALID_OUTPUT_FORMAT for what it cannot make (more than two
    // channels, above 48 kHz, below 24 kbit/s).
    static HRESULT Create(const SAudioEncoderSettings& settings,
                          std::unique_ptr<CAudioEncoder>* ppEncoder) noexcept;
    ~CAudioEncoder() = default;
    CAudioEncoder(const CAudioEncoder&) = delete;
    CAudioEncoder& operator=(const CAudioEncoder&) = delete;

    static bool IsInputSupported(const SAudioInputFormat& input) noexcept;
    // NS_E_INVALID_INPUT_FORMAT for an unsupported format; only before the
    // first samples.
    HRESULT SetInput(const SAudioInputFormat& input) noexcept;
    // Bytes of one sample frame of the input (all channels).
    DWORD InputBlockAlign() const noexcept {
        return static_cast<DWORD>(m_input.channels * m_input.bitsPerSample / 8);
    }
    const SAudioInputFormat& Input() const noexcept { return m_input; }
    // Sample frames of the input taken so far.
    int64_t InputSamples() const noexcept { return m_cInputSamples; }

    // cbData must be a whole number of sample frames
    // (NS_E_INVALID_INPUT_FORMAT otherwise).
    HRESULT Encode(const BYTE* pData, DWORD cbData, const PacketSink& sink) noexcept;
    // Input silence, so that what follows keeps its time.
    HRESULT EncodeSilence(int64_t cSamples, const PacketSink& sink) noexcept;
    // Encodes what waits and ends the stream; no samples may follow. The
    // last frame is only partly made of samples given: it is completed with
    // silence when that adds at most cMaxOverhang samples past the end, and
    // left out otherwise, so that the audio ends as near its true end as the
    // caller needs (a video stream's length is counted from the latest end).
    HRESULT Flush(const PacketSink& sink, int64_t cMaxOverhang) noexcept;
    int FrameSize() const noexcept { return m_pContext->frame_size; }

    const AVCodecContext& Context() const noexcept { return *m_pContext; }

private:
    struct FifoDeleter {
        void operator()(AVAudioFifo* p) const noexcept { av_audio_fifo_free(p); }
    };

    CAudioEncoder() noexcept = default;
    HRESULT Open(const SAudioEncoderSettings& settings) noexcept;
    // Converts samples (null: the resampler's remainder) into the FIFO.
    HRESULT Convert(const uint8_t* pData, int cSamples) noexcept;
    // Encodes every whole frame in the FIFO.
    HRESULT EncodeFrames(const PacketSink& sink) noexcept;
    HRESULT Receive(const PacketSink& sink) noexcept;

    AvPtr<AVCodecContext> m_pContext;
    AvPtr<SwrContext> m_pResampler;
    std::unique_ptr<AVAudioFifo, FifoDeleter> m_pFifo;
    AvPtr<AVFrame> m_pFrame;
    AvPtr<AVPacket> m_pPacket;
    SAudioInputFormat m_input{};
    int64_t m_cInputSamples = 0;
    int64_t m_cOutputSamples = 0;  // converted samples, before padding
    int64_t m_cFramesSent = 0;
    bool m_bFlushed = false;
};
