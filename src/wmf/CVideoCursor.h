// One decoded video stream's reading position: the frame grid points from a
// SetRange time on, each with the picture on screen there, and the decoding
// of a picture when its data is asked for.
//
// Reading the samples only demultiplexes: a picture is decoded when
// Render is called for it, from the decoder's current state when that
// state leads to it, else with a fresh decoder from the last key frame at or
// before it (from the objects kept since the last key frames, or read again
// from the file). So a forward scan costs little more than a seek, and no
// decoder state crosses a jump. Pictures are named by the object whose
// decoding makes them come out (for B-frame streams the next anchor), so a
// picture is the same whichever way it is reached.
//
// Not thread-safe; the reader serialises calls.
#pragma once

#include <deque>
#include <memory>
#include <optional>

#include "wmf/CAsfSeeker.h"
#include "wmf/CAsfTimeline.h"
#include "wmf/CPictureConverter.h"

// A decoded picture: the object whose decoding releases it, and for the
// pictures drained at the end of the stream their place in the drain.
struct SPictureKey {
    SObjectKey trigger;
    int64_t time = 0;  // the trigger's stored time
    int flush = -1;
    friend bool operator==(const SPictureKey& a, const SPictureKey& b) noexcept {
        return a.trigger == b.trigger && a.flush == b.flush;
    }
};

struct SVideoSlot {
    int64_t index = 0;  // grid point; the sample time is index x step
    SPictureKey picture;
    bool bKey = false;  // the picture is a key frame shown at its own point
    bool bDiscontinuity = false;  // first sample after a SetRange
};

class CVideoCursor {
public:
    static HRESULT Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                          CAsfSeeker& seeker, const SStreamTimeline& timeline, int64_t origin,
                          std::shared_ptr<CVideoCursor>& cursor) noexcept;

    // Start again at the grid point on screen at time (output time, 100 ns).
    // Nothing is read until the next call to Next.
    void SetRange(int64_t time) noexcept;
    // The next grid point; NS_E_NO_MORE_SAMPLES at the stream's end.
    HRESULT Next(SVideoSlot& slot) noexcept;
    // Decodes the picture and writes it at pDst in the format and size;
    // *pContentType receives the picture's interlace flags.
    HRESULT Render(const SPictureKey& picture, VideoOut format, int width, int height, BYTE* pDst,
                   BYTE* pContentType) noexcept;

    // Interlace flags of the last picture decoded (the first one at open).
    BYTE ContentType() const noexcept { return m_contentType; }

private:
    struct SFrame {
        int64_t slot = 0;
        SPictureKey picture;
        bool bKey = false;
        bool bDecodable = false;  // a key frame was read before it
    };
    struct SKept {
        AvPtr<AVPacket> pkt;
        SObjectKey key;
        int64_t time = 0;
        bool bKey = false;
    };

    CVideoCursor(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header, CAsfSeeker& seeker,
                 const SStreamTimeline& timeline, int64_t origin) noexcept;

    HRESULT Seek() noexcept;
    HRESULT ScanFrame(SFrame& frame) noexcept;
    void Keep(SStreamObject&& object);
    void RestartScan();

    HRESULT Produce(const SPictureKey& want) noexcept;
    HRESULT ProduceFromKept(const SPictureKey& want, bool& found, bool& tried) noexcept;
    HRESULT ProduceFromFile(const SPictureKey& want, int earlierKeys, bool& found) noexcept;
    HRESULT FreshDecoder() noexcept;
    HRESULT FeedOne(const AVPacket* pkt, const SObjectKey& key, int64_t time, const SPictureKey& want, bool& found) noexcept;
    HRESULT Drain(const SPictureKey& want, bool& found) noexcept;
    void TakeOutput(AVFrame* frame, const SPictureKey& label, const SPictureKey& want, bool& found);

    std::shared_ptr<CStreamSource> m_pSource;
    const CAsfHeaderInfo* m_pHeader;
    CAsfSeeker* m_pSeeker;
    SStreamTimeline m_timeline;
    int64_t m_origin;
    bool m_bBFrames;

    // Scanning.
    std::unique_ptr<CObjectReader> m_pScan;
    std::deque<SKept> m_kept;
    size_t m_cbKept = 0;
    CGridAssigner m_assigner;
    bool m_bSeekPending = true;
    int64_t m_seekIndex = 0;
    int64_t m_next = 0;
    std::optional<SFrame> m_cur;
    std::optional<SFrame> m_ahead;
    bool m_bScanEnd = false;
    int m_flushed = 0;
    SPictureKey m_lastObject;
    int64_t m_lastSlot = INT64_MIN;
    bool m_bKeySeen = false;
    bool m_bDiscontinuity = true;

    // Decoding.
    std::unique_ptr<CObjectReader> m_pFetch;
    AvPtr<AVCodecContext> m_pDecoder;
    bool m_bDecoderLive = false;
    SObjectKey m_lastFed;
    AvPtr<AVFrame> m_pFrame;
    AvPtr<AVFrame> m_pPicture;  // the last picture produced, named m_picture
    SPictureKey m_picture;
    bool m_bHavePicture = false;
    AvPtr<AVFrame> m_pLatest;  // the latest output of the current run
    bool m_bHaveLatest = false;
    int m_drained = 0;
    CPictureConverter m_converter;
    BYTE m_contentType = 0;
};
