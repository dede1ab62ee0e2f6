#include "vrxwm/CPngWriter.h"

#include "vrxwm/CFile.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

namespace {

[[noreturn]] void ThrowAv(int err, const std::string& context) {
    throw CStatusError(err == AVERROR(ENOMEM) ? kStatusOutOfMemory : kStatusFail, context + ": " + AvErrorText(err));
}

}  // namespace

void CPngWriter::OpenEncoder(int width, int height) {
    if (m_pEncoder && m_pEncoder->width == width && m_pEncoder->height == height) return;
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!pCodec) throw CStatusError(kStatusFail, "this FFmpeg has no PNG encoder");
    m_pEncoder.reset(avcodec_alloc_context3(pCodec));
    m_pFrame.reset(av_frame_alloc());
    m_pPacket.reset(av_packet_alloc());
    if (!m_pEncoder || !m_pFrame || !m_pPacket) throw CStatusError(kStatusOutOfMemory, "cannot start a PNG encoder");
    m_pEncoder->width = width;
    m_pEncoder->height = height;
    m_pEncoder->pix_fmt = AV_PIX_FMT_RGB24;
    m_pEncoder->time_base = {1, 25};
    if (const int err = avcodec_open2(m_pEncoder.get(), pCodec, nullptr); err < 0) {
        m_pEncoder.reset();
        ThrowAv(err, "cannot open the PNG encoder");
    }
}

void CPngWriter::Write(const SPicture& picture, const std::filesystem::path& file) {
    OpenEncoder(picture.width, picture.height);
    m_rgb.Allocate(AV_PIX_FMT_RGB24, picture.width, picture.height);
    m_converter.Convert(picture, m_rgb);

    AVFrame& frame = *m_pFrame;
    frame.format = AV_PIX_FMT_RGB24;
    frame.width = picture.width;
    frame.height = picture.height;
    frame.data[0] = m_rgb.Plane(0);
    frame.linesize[0] = m_rgb.Stride(0);
    // Not reference-counted: the encoder copies what it keeps.
    int err = avcodec_send_frame(m_pEncoder.get(), &frame);
    if (err >= 0) err = avcodec_receive_packet(m_pEncoder.get(), m_pPacket.get());
    if (err < 0) ThrowAv(err, "cannot encode " + file.string());
    CFile out(file, CFile::Mode::Write);
    out.Write(m_pPacket->data, static_cast<size_t>(m_pPacket->size));
    av_packet_unref(m_pPacket.get());
    out.Close();
}
