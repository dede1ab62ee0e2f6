#include "wmf/CVideoEncoder.h"

#include <algorithm>
#include <new>

#include "win/NsError.h"
#include "wmf/WmGuids.h"

namespace {

enum class Layout { Planar420, SwappedPlanar420, Packed422, Rgb };

struct SInputKind {
    AVPixelFormat pixFmt;
    Layout layout;
    int bytesPerPixel;  // packed formats
};

bool KindOf(const GUID& subtype, SInputKind* pKind) noexcept {
    if (subtype == WMMEDIASUBTYPE_I420 || subtype == WMMEDIASUBTYPE_IYUV)
        *pKind = {AV_PIX_FMT_YUV420P, Layout::Planar420, 0};
    else if (subtype == WMMEDIASUBTYPE_YV12)
        *pKind = {AV_PIX_FMT_YUV420P, Layout::SwappedPlanar420, 0};
    else if (subtype == WMMEDIASUBTYPE_YUY2)
        *pKind = {AV_PIX_FMT_YUYV422, Layout::Packed422, 2};
    else if (subtype == WMMEDIASUBTYPE_UYVY)
        *pKind = {AV_PIX_FMT_UYVY422, Layout::Packed422, 2};
    else if (subtype == WMMEDIASUBTYPE_RGB32)
        *pKind = {AV_PIX_FMT_BGR0, Layout::Rgb, 4};  // DIB bytes: B, G, R, unused
    else if (subtype == WMMEDIASUBTYPE_RGB24)
        *pKind = {AV_PIX_FMT_BGR24, Layout::Rgb, 3};
    else
        return false;
    return true;
}

// Rows of a packed picture; DIB rows are padded to 4 bytes.
int64_t RowBytes(const SInputKind& kind, int width) noexcept {
    const int64_t raw = static_cast<int64_t>(width) * kind.bytesPerPixel;
    return kind.layout == Layout::Rgb ? (raw + 3) & ~int64_t{3} : raw;
}

// Quality 100 is libavcodec's finest quantiser (2), quality 0 its coarsest (31).
int QuantiserFromQuality(int quality) noexcept {
    const int q = std::clamp(quality, 0, 100);
    return 31 - (q * 29 + 50) / 100;
}

HRESULT HrFromEncode(int err) noexcept {
    return err == AVERROR(ENOMEM) ? E_OUTOFMEMORY : NS_E_VIDEO_CODEC_ERROR;
}

// Frees a picture buffer that wraps a caller's object: drops the reference
// taken for it.
void ReleaseOwner(void* pOwner, uint8_t* /*pData*/) noexcept {
    static_cast<IUnknown*>(pOwner)->Release();
}

}  // namespace

CVideoEncoder::~CVideoEncoder() {
    // The statistics belong to the caller; libavcodec must not free them.
    if (m_pContext) m_pContext->stats_in = nullptr;
}

HRESULT CVideoEncoder::Create(const SVideoEncoderSettings& settings, Pass pass,
                              const std::string* pStats,
                              std::unique_ptr<CVideoEncoder>* ppEncoder) noexcept {
    if (!ppEncoder) return E_POINTER;
    ppEncoder->reset();
    std::unique_ptr<CVideoEncoder> pEncoder(new (std::nothrow) CVideoEncoder());
    if (!pEncoder) return E_OUTOFMEMORY;
    const HRESULT hr = pEncoder->Open(settings, pass, pStats);
    if (FAILED(hr)) return hr;
    *ppEncoder = std::move(pEncoder);
    return S_OK;
}

HRESULT CVideoEncoder::Open(const SVideoEncoderSettings& s, Pass pass,
                            const std::string* pStats) noexcept {
    if (s.codecId != AV_CODEC_ID_WMV1 && s.codecId != AV_CODEC_ID_WMV2)
        return NS_E_VIDEO_CODEC_NOT_INSTALLED;
    if (s.width <= 0 || s.height <= 0 || s.frameRate.num <= 0 || s.frameRate.den <= 0)
        return NS_E_INVALID_OUTPUT_FORMAT;
    if (pass == Pass::Second && (!pStats || StatsFrameCount(*pStats) <= 0)) return E_INVALIDARG;
    const AVCodec* pCodec = avcodec_find_encoder(s.codecId);
    if (!pCodec) return NS_E_VIDEO_CODEC_NOT_INSTALLED;
    m_pContext.reset(avcodec_alloc_context3(pCodec));
    m_pFrame = MakeFrame();
    m_pWrap = MakeFrame();
    m_pPacket = MakePacket();
    if (!m_pContext || !m_pFrame || !m_pWrap || !m_pPacket) return E_OUTOFMEMORY;
    m_pass = pass;

    AVCodecContext& c = *m_pContext;
    c.width = s.width;
    c.height = s.height;
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.framerate = s.frameRate;
    c.time_base = AVRational{s.frameRate.den, s.frameRate.num};
    c.gop_size = std::max(1, s.keyFrameInterval);
    c.max_b_frames = 0;
    c.thread_count = 1;
    // ASF keeps the codec's own data in the stream's header.
    c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (s.bitRate > 0) {
        c.bit_rate = s.bitRate;
        // libavcodec takes a buffer only together with a peak rate; without
        // a peak of its own the stream is held to its bit rate (CBR).
        c.rc_buffer_size = static_cast<int>(std::min<int64_t>(
            s.bufferBits > 0 ? s.bufferBits : s.bitRate, INT32_MAX));
        c.rc_max_rate = std::max(s.peakRate, s.bitRate);
    } else {
        c.flags |= AV_CODEC_FLAG_QSCALE;
        c.global_quality = FF_QP2LAMBDA * QuantiserFromQuality(s.quality);
    }
    if (pass == Pass::First) c.flags |= AV_CODEC_FLAG_PASS1;
    if (pass == Pass::Second) {
        c.flags |= AV_CODEC_FLAG_PASS2;
        c.stats_in = const_cast<char*>(pStats->c_str());
    }
    const int err = avcodec_open2(m_pContext.get(), pCodec, nullptr);
    if (err < 0) return err == AVERROR(ENOMEM) ? E_OUTOFMEMORY : NS_E_INVALID_OUTPUT_FORMAT;

    m_pFrame->format = AV_PIX_FMT_YUV420P;
    m_pFrame->width = s.width;
    m_pFrame->height = s.height;
    if (av_frame_get_buffer(m_pFrame.get(), 0) < 0) return E_OUTOFMEMORY;
    return SetInput(SVideoInputFormat{WMMEDIASUBTYPE_I420, s.width, s.height, false});
}

int64_t CVideoEncoder::StatsFrameCount(const std::string& stats) noexcept {
    // libavcodec's rate control statistics end each frame's line with ';'.
    return std::count(stats.begin(), stats.end(), ';');
}

bool CVideoEncoder::IsInputSupported(const SVideoInputFormat& input) noexcept {
    SInputKind kind{};
    if (!KindOf(input.subtype, &kind) || input.width <= 0 || input.height <= 0) return false;
    if (input.width > 16384 || input.height > 16384) return false;
    switch (kind.layout) {
    case Layout::Planar420:
    case Layout::SwappedPlanar420:
        return input.width % 2 == 0 && input.height % 2 == 0;
    case Layout::Packed422:
        return input.width % 2 == 0;
    case Layout::Rgb:
        return true;
    }
    return false;
}

DWORD CVideoEncoder::FrameSize(const SVideoInputFormat& input) noexcept {
    if (!IsInputSupported(input)) return 0;
    SInputKind kind{};
    KindOf(input.subtype, &kind);
    const int64_t pixels = static_cast<int64_t>(input.width) * input.height;
    if (kind.layout == Layout::Planar420 || kind.layout == Layout::SwappedPlanar420)
        return static_cast<DWORD>(pixels * 3 / 2);
    return static_cast<DWORD>(RowBytes(kind, input.width) * input.height);
}

HRESULT CVideoEncoder::SetInput(const SVideoInputFormat& input) noexcept {
    SInputKind kind{};
    if (!IsInputSupported(input) || !KindOf(input.subtype, &kind)) return NS_E_INVALID_INPUT_FORMAT;
    const AVCodecContext& c = *m_pContext;
    m_bDirect = kind.layout == Layout::Planar420 && input.width == c.width && input.height == c.height;
    m_pScaler.reset();
    if (!m_bDirect) {
        // Scaling only when the sizes differ; a plain conversion needs no filter.
        const int flags = (input.width == c.width && input.height == c.height) ? SWS_POINT : SWS_BICUBIC;
        m_pScaler.reset(sws_getContext(input.width, input.height, kind.pixFmt, c.width, c.height,
                                       AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr));
        if (!m_pScaler) return NS_E_INVALID_INPUT_FORMAT;
    }
    m_input = input;
    m_inputPixFmt = kind.pixFmt;
    return S_OK;
}

HRESULT CVideoEncoder::WrapPlanar(const BYTE* pData, DWORD cbData, IUnknown* pOwner) noexcept {
    const int w = m_input.width;
    const int h = m_input.height;
    AVFrame& f = *m_pWrap;
    f.format = AV_PIX_FMT_YUV420P;
    f.width = w;
    f.height = h;
    f.data[0] = const_cast<BYTE*>(pData);
    f.data[1] = f.data[0] + static_cast<ptrdiff_t>(w) * h;
    f.data[2] = f.data[1] + static_cast<ptrdiff_t>(w / 2) * (h / 2);
    f.linesize[0] = w;
    f.linesize[1] = w / 2;
    f.linesize[2] = w / 2;
    // Without a buffer libavcodec copies the picture before it returns; with
    // one it keeps a reference for as long as it needs the picture.
    if (!pOwner) return S_OK;
    f.buf[0] = av_buffer_create(f.data[0], cbData, ReleaseOwner, pOwner, AV_BUFFER_FLAG_READONLY);
    if (!f.buf[0]) return E_OUTOFMEMORY;
    pOwner->AddRef();
    return S_OK;
}

HRESULT CVideoEncoder::Encode(const BYTE* pData, DWORD cbData, int64_t frameNumber,
                              const PacketSink& sink, IUnknown* pOwner) noexcept {
    if (!pData || cbData != InputFrameSize()) return NS_E_INVALID_INPUT_FORMAT;
    AVFrame* pSend = nullptr;
    if (m_bDirect) {
        const HRESULT hr = WrapPlanar(pData, cbData, pOwner);
        if (FAILED(hr)) return hr;
        pSend = m_pWrap.get();
    } else {
        // The encoder may still hold the previous picture.
        if (av_frame_make_writable(m_pFrame.get()) < 0) return E_OUTOFMEMORY;
        SInputKind kind{};
        KindOf(m_input.subtype, &kind);
        const uint8_t* src[4] = {};
        int stride[4] = {};
        const int w = m_input.width;
        const int h = m_input.height;
        if (kind.layout == Layout::Packed422 || kind.layout == Layout::Rgb) {
            const auto row = static_cast<int>(RowBytes(kind, w));
            if (kind.layout == Layout::Rgb && m_input.bBottomUp) {
                // A bottom-up DIB starts with the picture's last row.
                src[0] = pData + static_cast<ptrdiff_t>(row) * (h - 1);
                stride[0] = -row;
            } else {
                src[0] = pData;
                stride[0] = row;
            }
        } else {
            const BYTE* pChromaA = pData + static_cast<ptrdiff_t>(w) * h;
            const BYTE* pChromaB = pChromaA + static_cast<ptrdiff_t>(w / 2) * (h / 2);
            const bool bSwapped = kind.layout == Layout::SwappedPlanar420;  // YV12: V before U
            src[0] = pData;
            src[1] = bSwapped ? pChromaB : pChromaA;
            src[2] = bSwapped ? pChromaA : pChromaB;
            stride[0] = w;
            stride[1] = stride[2] = w / 2;
        }
        sws_scale(m_pScaler.get(), src, stride, 0, h, m_pFrame->data, m_pFrame->linesize);
        pSend = m_pFrame.get();
    }
    pSend->pts = frameNumber;
    pSend->pict_type = AV_PICTURE_TYPE_NONE;
    // At a fixed quantiser libavcodec takes each picture's quality from the
    // picture itself.
    pSend->quality = m_pContext->global_quality;
    const int err = avcodec_send_frame(m_pContext.get(), pSend);
    if (m_bDirect) av_frame_unref(m_pWrap.get());
    if (err < 0) return HrFromEncode(err);
    ++m_cFrames;
    return Receive(sink);
}

HRESULT CVideoEncoder::Flush(const PacketSink& sink) noexcept {
    const int err = avcodec_send_frame(m_pContext.get(), nullptr);
    if (err < 0 && err != AVERROR_EOF) return HrFromEncode(err);
    return Receive(sink);
}

HRESULT CVideoEncoder::Receive(const PacketSink& sink) noexcept try {
    for (;;) {
        const int err = avcodec_receive_packet(m_pContext.get(), m_pPacket.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return S_OK;
        if (err < 0) return HrFromEncode(err);
        if (m_pass == Pass::First) {
            // A first pass only learns; its pictures are thrown away.
            if (m_pContext->stats_out) m_stats += m_pContext->stats_out;
            av_packet_unref(m_pPacket.get());
            continue;
        }
        // Each picture lasts one frame; the file's length counts on it.
        if (m_pPacket->duration <= 0) m_pPacket->duration = 1;
        const HRESULT hr = sink ? sink(m_pPacket.get()) : S_OK;
        av_packet_unref(m_pPacket.get());
        if (FAILED(hr)) return hr;
    }
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
