// Owners for FFmpeg objects: every AVFormatContext, codec context, frame,
// packet, scaler, resampler and I/O context of this layer lives in one, so
// that no error path can leak it.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

struct AvDeleter {
    void operator()(AVFormatContext* p) const noexcept { avformat_close_input(&p); }
    void operator()(AVCodecContext* p) const noexcept { avcodec_free_context(&p); }
    void operator()(AVFrame* p) const noexcept { av_frame_free(&p); }
    void operator()(AVPacket* p) const noexcept { av_packet_free(&p); }
    void operator()(SwsContext* p) const noexcept { sws_freeContext(p); }
    void operator()(SwrContext* p) const noexcept { swr_free(&p); }
    void operator()(AVIOContext* p) const noexcept {
        // libavformat may have replaced the buffer we gave it.
        if (p) av_freep(&p->buffer);
        avio_context_free(&p);
    }
};

template <class T>
using AvPtr = std::unique_ptr<T, AvDeleter>;

// Null when memory runs out.
inline AvPtr<AVFrame> MakeFrame() noexcept { return AvPtr<AVFrame>(av_frame_alloc()); }
inline AvPtr<AVPacket> MakePacket() noexcept { return AvPtr<AVPacket>(av_packet_alloc()); }
