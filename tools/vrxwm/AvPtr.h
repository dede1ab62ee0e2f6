// Owners for the FFmpeg objects the tool uses, so that an exception
// thrown halfway through a job leaks none of them.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

struct AvDeleter {
    void operator()(AVCodecContext* p) const noexcept { avcodec_free_context(&p); }
    void operator()(AVFrame* p) const noexcept { av_frame_free(&p); }
    void operator()(AVPacket* p) const noexcept { av_packet_free(&p); }
    void operator()(SwsContext* p) const noexcept { sws_freeContext(p); }
    void operator()(SwrContext* p) const noexcept { swr_free(&p); }
};

template <class T>
using AvPtr = std::unique_ptr<T, AvDeleter>;

// FFmpeg's words for an error code.
std::string AvErrorText(int err);
