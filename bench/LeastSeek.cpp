#include "LeastSeek.h"

#include <algorithm>
#include <climits>

CLeastSeek::CLeastSeek(const std::filesystem::path& path) {
    AVFormatContext* raw = avformat_alloc_context();
    raw->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    if (avformat_open_input(&raw, path.c_str(), av_find_input_format("asf"), nullptr) < 0) return;
    m_pFormat.reset(raw);
    auto pkt = MakePacket();
    while (av_read_frame(raw, pkt.get()) >= 0) {
        if (raw->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            m_video = pkt->stream_index;
            if (pkt->flags & AV_PKT_FLAG_KEY) m_keys.push_back({m_frames, pkt->pos});
            ++m_frames;
        }
        av_packet_unref(pkt.get());
    }
}

uint8_t CLeastSeek::Decode(int64_t frame) {
    if (m_keys.empty() || frame < 0 || frame >= m_frames) return 0;
    auto key = std::upper_bound(m_keys.begin(), m_keys.end(), std::make_pair(frame, INT64_MAX));
    --key;
    av_seek_frame(m_pFormat.get(), -1, 0, AVSEEK_FLAG_BACKWARD);
    avio_seek(m_pFormat->pb, key->second, SEEK_SET);
    const AVCodecParameters* par = m_pFormat->streams[m_video]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AvPtr<AVCodecContext> decoder(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(decoder.get(), par);
    decoder->thread_count = 1;
    avcodec_open2(decoder.get(), codec, nullptr);
    auto pkt = MakePacket();
    auto picture = MakeFrame();
    int64_t index = key->first;
    while (index <= frame && av_read_frame(m_pFormat.get(), pkt.get()) >= 0) {
        if (pkt->stream_index == m_video) {
            avcodec_send_packet(decoder.get(), pkt.get());
            while (avcodec_receive_frame(decoder.get(), picture.get()) >= 0 && index < frame)
                av_frame_unref(picture.get());
            ++index;
        }
        av_packet_unref(pkt.get());
    }
    if (picture->width <= 0 || picture->height <= 0) return 0;
    std::vector<uint8_t> out(static_cast<size_t>(picture->width) * picture->height * 2);
    AvPtr<SwsContext> scaler(sws_getContext(picture->width, picture->height,
                                            static_cast<AVPixelFormat>(picture->format), picture->width,
                                            picture->height, AV_PIX_FMT_YUYV422, SWS_BICUBIC, nullptr, nullptr,
                                            nullptr));
    uint8_t* planes[1] = {out.data()};
    int strides[1] = {picture->width * 2};
    sws_scale(scaler.get(), picture->data, picture->linesize, 0, picture->height, planes, strides);
    return out[out.size() / 2];
}
