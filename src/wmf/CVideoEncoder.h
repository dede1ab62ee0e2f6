// One video encoder (libavcodec's wmv1 or wmv2) with the conversion of the
// host's uncompressed pictures (libswscale) in front of it.
//
// Frames are numbered: frame n is presented at n frame durations, and the
// encoder's time base is one frame duration of the exact rate, so packets
// come out with pts = dts = n. Rate control: a bit rate with an optional
// peak rate and buffer (peak-constrained VBR), or a fixed quantiser from a
// quality of 0-100 when the bit rate is 0. Two-pass: a first-pass encoder
// yields libavcodec's statistics; a second-pass encoder built from them
// spends the bit rate where the first pass found the picture needs it.
// One caller at a time.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "wmf/AvPtr.h"
#include "win/Guid.h"
#include "win/Unknown.h"
#include "win/WinError.h"

struct SVideoEncoderSettings {
    AVCodecID codecId = AV_CODEC_ID_WMV2;  // AV_CODEC_ID_WMV1 or AV_CODEC_ID_WMV2
    int width = 0;                         // the stored picture
    int height = 0;
    AVRational frameRate{25, 1};  // exact: 30000/1001, not 29.97
    int64_t bitRate = 0;          // bit/s; 0 encodes at constant quality
    int quality = 70;             // 0 (smallest) to 100 (best), with bitRate 0
    int64_t peakRate = 0;         // bit/s; 0: none
    int64_t bufferBits = 0;       // the rate control's buffer; 0: one second
    int keyFrameInterval = 250;   // frames, at least 1
};

// The input picture: subtype (I420, IYUV, YV12, YUY2, UYVY, RGB32, RGB24),
// size, and for RGB whether rows go from the bottom up (a DIB with a
// positive height).
struct SVideoInputFormat {
    GUID subtype{};
    int width = 0;
    int height = 0;
    bool bBottomUp = false;
};

class CVideoEncoder {
public:
    enum class Pass { Single, First, Second };
    // Receives each packet (times in the encoder's time base); it may keep
    // the packet's contents by moving its reference.
    using PacketSink = std::function<HRESULT(AVPacket* pkt)>;

    // pStats: the first pass's statistics for Pass::Second (kept by the
    // caller for the encoder's life); ignored otherwise.
    // NS_E_VIDEO_CODEC_NOT_INSTALLED when libavcodec lacks the encoder,
    // NS_E_INVALID_OUTPUT_FORMAT when it refuses the settings.
    static HRESULT Create(const SVideoEncoderSettings& settings, Pass pass,
                          const std::string* pStats, std::unique_ptr<CVideoEncoder>* ppEncoder) noexcept;
    ~CVideoEncoder();
    CVideoEncoder(const CVideoEncoder&) = delete;
    CVideoEncoder& operator=(const CVideoEncoder&) = delete;

    // Whether the format is one this encoder takes: a known subtype, a
    // positive size, even sizes for the subsampled formats.
    static bool IsInputSupported(const SVideoInputFormat& input) noexcept;
    // Bytes of one picture of that format (RGB rows padded to 4 bytes, as
    // in a DIB); 0 for an unsupported one.
    static DWORD FrameSize(const SVideoInputFormat& input) noexcept;

    // NS_E_INVALID_INPUT_FORMAT for an unsupported format. A picture of a
    // size other than the stored one is scaled.
    HRESULT SetInput(const SVideoInputFormat& input) noexcept;
    DWORD InputFrameSize() const noexcept { return FrameSize(m_input); }

    // Encodes picture n (numbers must increase). NS_E_INVALID_INPUT_FORMAT
    // when cbData is not InputFrameSize(). pOwner, when given, owns pData
    // and leaves it unchanged: a picture that needs no conversion is then
    // handed to libavcodec with a reference to pOwner rather than copied.
    HRESULT Encode(const BYTE* pData, DWORD cbData, int64_t frameNumber, const PacketSink& sink,
                   IUnknown* pOwner = nullptr) noexcept;
    // Drains the encoder at the end of its stream.
    HRESULT Flush(const PacketSink& sink) noexcept;

    const AVCodecContext& Context() const noexcept { return *m_pContext; }
    int64_t FramesEncoded() const noexcept { return m_cFrames; }
    // First pass: the statistics gathered so far.
    const std::string& Stats() const noexcept { return m_stats; }
    // Second pass: how many frames the statistics describe.
    static int64_t StatsFrameCount(const std::string& stats) noexcept;

private:
    CVideoEncoder() noexcept = default;
    HRESULT Open(const SVideoEncoderSettings& settings, Pass pass, const std::string* pStats) noexcept;
    HRESULT Receive(const PacketSink& sink) noexcept;
    // Points m_pWrap at the caller's I420 picture (no conversion needed),
    // holding a reference to pOwner while libavcodec keeps the picture.
    HRESULT WrapPlanar(const BYTE* pData, DWORD cbData, IUnknown* pOwner) noexcept;

    AvPtr<AVCodecContext> m_pContext;
    Pass m_pass = Pass::Single;
    SVideoInputFormat m_input{};
    AVPixelFormat m_inputPixFmt = AV_PIX_FMT_NONE;
    bool m_bDirect = false;  // input is the stored size in I420: no conversion
    AvPtr<SwsContext> m_pScaler;
    AvPtr<AVFrame> m_pFrame;  // the converted picture
    AvPtr<AVFrame> m_pWrap;   // the caller's picture
    AvPtr<AVPacket> m_pPacket;
    std::string m_stats;
    int64_t m_cFrames = 0;
};
