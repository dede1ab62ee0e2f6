#include "wmf/CAudioEncoder.h"

#include <algorithm>
#include <new>
#include <vector>

#include "win/NsError.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace {

constexpr int kMaxRate = 48000;
constexpr int64_t kMinBitRate = 24000;

HRESULT HrFromEncode(int err) noexcept {
    return err == AVERROR(ENOMEM) ? E_OUTOFMEMORY : NS_E_AUDIO_CODEC_ERROR;
}

}  // namespace

HRESULT CAudioEncoder::Create(const SAudioEncoderSettings& settings,
                              std::unique_ptr<CAudioEncoder>* ppEncoder) noexcept {
    if (!ppEncoder) return E_POINTER;
    ppEncoder->reset();
    std::unique_ptr<CAudioEncoder> pEncoder(new (std::nothrow) CAudioEncoder());
    if (!pEncoder) return E_OUTOFMEMORY;
    const HRESULT hr = pEncoder->Open(settings);
    if (FAILED(hr)) return hr;
    *ppEncoder = std::move(pEncoder);
    return S_OK;
}

HRESULT CAudioEncoder::Open(const SAudioEncoderSettings& s) noexcept {
    if (s.channels < 1 || s.channels > 2 || s.sampleRate <= 0 || s.sampleRate > kMaxRate ||
        s.bitRate < kMinBitRate)
        return NS_E_INVALID_OUTPUT_FORMAT;
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!pCodec) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
    m_pContext.reset(avcodec_alloc_context3(pCodec));
    m_pFrame = MakeFrame();
    m_pPacket = MakePacket();
    if (!m_pContext || !m_pFrame || !m_pPacket) return E_OUTOFMEMORY;
    AVCodecContext& c = *m_pContext;
    c.sample_fmt = AV_SAMPLE_FMT_FLTP;
    c.sample_rate = s.sampleRate;
    av_channel_layout_default(&c.ch_layout, s.channels);
    c.bit_rate = s.bitRate;
    c.time_base = AVRational{1, s.sampleRate};
    c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int err = avcodec_open2(m_pContext.get(), pCodec, nullptr);
    if (err < 0) return err == AVERROR(ENOMEM) ? E_OUTOFMEMORY : NS_E_INVALID_OUTPUT_FORMAT;

    m_pFifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, s.channels, c.frame_size * 2));
    if (!m_pFifo) return E_OUTOFMEMORY;
    m_pFrame->format = AV_SAMPLE_FMT_FLTP;
    m_pFrame->sample_rate = s.sampleRate;
    m_pFrame->nb_samples = c.frame_size;
    if (av_channel_layout_copy(&m_pFrame->ch_layout, &c.ch_layout) < 0 ||
        av_frame_get_buffer(m_pFrame.get(), 0) < 0)
        return E_OUTOFMEMORY;
    return SetInput(SAudioInputFormat{s.sampleRate, s.channels, 16});
}

bool CAudioEncoder::IsInputSupported(const SAudioInputFormat& input) noexcept {
    return (input.bitsPerSample == 8 || input.bitsPerSample == 16) && input.channels >= 1 &&
           input.channels <= 2 && input.sampleRate >= 1000 && input.sampleRate <= 192000;
}

HRESULT CAudioEncoder::SetInput(const SAudioInputFormat& input) noexcept {
    if (!IsInputSupported(input)) return NS_E_INVALID_INPUT_FORMAT;
    if (m_cInputSamples > 0) return NS_E_INVALID_REQUEST;
    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, input.channels);
    SwrContext* raw = nullptr;
    const int err = swr_alloc_set_opts2(
        &raw, &m_pContext->ch_layout, AV_SAMPLE_FMT_FLTP, m_pContext->sample_rate, &inLayout,
        input.bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16, input.sampleRate, 0, nullptr);
    AvPtr<SwrContext> pResampler(raw);
    if (err < 0 || !pResampler) return E_OUTOFMEMORY;
    // Mono into a stereo stream is the same sound on both sides, not a
    // centre speaker spread 3 dB down over two.
    if (input.channels == 1 && m_pContext->ch_layout.nb_channels == 2) {
        const double matrix[2] = {1.0, 1.0};  // one input column for each output row
        if (swr_set_matrix(pResampler.get(), matrix, /*stride=*/1) < 0) return E_FAIL;
    }
    if (swr_init(pResampler.get()) < 0) return NS_E_INVALID_INPUT_FORMAT;
    m_pResampler = std::move(pResampler);
    m_input = input;
    return S_OK;
}

HRESULT CAudioEncoder::Convert(const uint8_t* pData, int cSamples) noexcept {
    const int cMax = swr_get_out_samples(m_pResampler.get(), cSamples);
    if (cMax < 0) return E_FAIL;
    if (cMax == 0) return S_OK;
    uint8_t** ppOut = nullptr;
    if (av_samples_alloc_array_and_samples(&ppOut, nullptr, m_pContext->ch_layout.nb_channels, cMax,
                                           AV_SAMPLE_FMT_FLTP, 0) < 0)
        return E_OUTOFMEMORY;
    const uint8_t* in[1] = {pData};
    const int cOut = swr_convert(m_pResampler.get(), ppOut, cMax, pData ? in : nullptr, cSamples);
    HRESULT hr = cOut < 0 ? E_FAIL : S_OK;
    if (cOut > 0) {
        if (av_audio_fifo_write(m_pFifo.get(), reinterpret_cast<void**>(ppOut), cOut) < cOut)
            hr = E_OUTOFMEMORY;
        else
            m_cOutputSamples += cOut;
    }
    av_freep(&ppOut[0]);
    av_freep(&ppOut);
    return hr;
}

HRESULT CAudioEncoder::Encode(const BYTE* pData, DWORD cbData, const PacketSink& sink) noexcept {
    if (m_bFlushed) return NS_E_INVALID_REQUEST;
    const DWORD cbBlock = InputBlockAlign();
    if (!pData || cbBlock == 0 || cbData % cbBlock != 0) return NS_E_INVALID_INPUT_FORMAT;
    // Large blocks go through in slices so that the conversion buffer stays small.
    constexpr int kSlice = 16384;
    const auto cSamples = static_cast<int64_t>(cbData / cbBlock);
    for (int64_t done = 0; done < cSamples;) {
        const int n = static_cast<int>(std::min<int64_t>(kSlice, cSamples - done));
        HRESULT hr = Convert(pData + done * cbBlock, n);
        if (FAILED(hr)) return hr;
        m_cInputSamples += n;
        done += n;
        hr = EncodeFrames(sink);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CAudioEncoder::EncodeSilence(int64_t cSamples, const PacketSink& sink) noexcept try {
    const DWORD cbBlock = InputBlockAlign();
    constexpr int64_t kChunk = 4096;
    // Unsigned 8-bit PCM is silent at its midpoint.
    const std::vector<BYTE> silence(static_cast<size_t>(kChunk * cbBlock),
                                    m_input.bitsPerSample == 8 ? 0x80 : 0x00);
    for (int64_t left = cSamples; left > 0;) {
        const int64_t n = std::min(kChunk, left);
        const HRESULT hr = Encode(silence.data(), static_cast<DWORD>(n * cbBlock), sink);
        if (FAILED(hr)) return hr;
        left -= n;
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CAudioEncoder::EncodeFrames(const PacketSink& sink) noexcept {
    const int frameSize = m_pContext->frame_size;
    while (av_audio_fifo_size(m_pFifo.get()) >= frameSize) {
        // The encoder may still hold the previous frame's buffer.
        if (av_frame_make_writable(m_pFrame.get()) < 0) return E_OUTOFMEMORY;
        if (av_audio_fifo_read(m_pFifo.get(), reinterpret_cast<void**>(m_pFrame->data), frameSize) <
            frameSize)
            return E_FAIL;
        m_pFrame->nb_samples = frameSize;
        m_pFrame->pts = m_cFramesSent * frameSize;
        const int err = avcodec_send_frame(m_pContext.get(), m_pFrame.get());
        if (err < 0) return HrFromEncode(err);
        ++m_cFramesSent;
        const HRESULT hr = Receive(sink);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CAudioEncoder::Flush(const PacketSink& sink, int64_t cMaxOverhang) noexcept {
    if (m_bFlushed) return S_OK;
    m_bFlushed = true;
    HRESULT hr = Convert(nullptr, 0);
    if (FAILED(hr)) return hr;
    // Packet k covers the samples of frame k - 1 (the first one is the
    // priming), so the samples given need one frame more than they fill.
    const int frameSize = m_pContext->frame_size;
    int64_t cFramesNeeded = m_cOutputSamples / frameSize + 1;
    const int64_t cRest = m_cOutputSamples % frameSize;
    if (cRest > 0 && frameSize - cRest <= cMaxOverhang) ++cFramesNeeded;
    if (m_cOutputSamples == 0) cFramesNeeded = 0;
    const int64_t cPad = cFramesNeeded * frameSize - m_cFramesSent * frameSize -
                         av_audio_fifo_size(m_pFifo.get());
    if (cPad < 0) {
        // The rest of a frame that is left out.
        av_audio_fifo_drain(m_pFifo.get(), static_cast<int>(-cPad));
    } else if (cPad > 0) {
        const int channels = m_pContext->ch_layout.nb_channels;
        uint8_t** ppSilence = nullptr;
        if (av_samples_alloc_array_and_samples(&ppSilence, nullptr, channels,
                                               static_cast<int>(cPad), AV_SAMPLE_FMT_FLTP, 0) < 0)
            return E_OUTOFMEMORY;
        av_samples_set_silence(ppSilence, 0, static_cast<int>(cPad), channels, AV_SAMPLE_FMT_FLTP);
        const int written = av_audio_fifo_write(m_pFifo.get(), reinterpret_cast<void**>(ppSilence),
                                                static_cast<int>(cPad));
        av_freep(&ppSilence[0]);
        av_freep(&ppSilence);
        if (written < cPad) return E_OUTOFMEMORY;
    }
    hr = EncodeFrames(sink);
    if (FAILED(hr)) return hr;
    const int err = avcodec_send_frame(m_pContext.get(), nullptr);
    if (err < 0 && err != AVERROR_EOF) return HrFromEncode(err);
    return Receive(sink);
}

HRESULT CAudioEncoder::Receive(const PacketSink& sink) noexcept {
    for (;;) {
        const int err = avcodec_receive_packet(m_pContext.get(), m_pPacket.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return S_OK;
        if (err < 0) return HrFromEncode(err);
        const HRESULT hr = sink ? sink(m_pPacket.get()) : S_OK;
        av_packet_unref(m_pPacket.get());
        if (FAILED(hr)) return hr;
    }
}
