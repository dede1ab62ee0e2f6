// The reader's working object for one open Windows Media file: it owns the
// runtime's synchronous reader, which reads the file through a CROStream
// over the host's data source, and describes and serves the file's first
// video and first audio stream to the reader handle.
//
// The handle normally uses one object for both streams; with video reading
// switched off it opens a second one for the audio. The virtual operations
// keep the slot order the handle was built against. One thread at a time;
// no locks. The handle owns the object and deletes it directly; the
// destructor closes it.
#pragma once

#include <cstdint>
#include <memory>

#include "reader/CROStream.h"
#include "vrx/PlugRecords.h"
#include "wmf/WmInterfaces.h"

class CMediaTypeBuffer;

class CAsfStream {
public:
    // Null when memory runs out.
    static std::unique_ptr<CAsfStream> Create() noexcept;

    CAsfStream() noexcept;
    CAsfStream(const CAsfStream&) = delete;
    CAsfStream& operator=(const CAsfStream&) = delete;

    // Slot 0: closes the file.
    virtual ~CAsfStream();
    // Slot 1: releases everything the last open made; nothing when not
    // opened. Always 0.
    virtual HRESULT Close() noexcept;
    // Slot 2: opens the file and describes its streams into *pInfo (and the
    // format block of an unknown video codec into *pExtra, when given), then
    // keeps its own copy of the description. A negative status on failure;
    // the object then still holds what was made, for Close to release.
    virtual HRESULT GetStreamInfo(const WCHAR* pwszFileName, DWORD dwReserved,
                                  const WCHAR* pwszSecondName, SPlugMediaInfo* pInfo,
                                  SPlugExtraData* pExtra) noexcept;
    // Slot 3: whether seeking by time works for the video stream.
    virtual DWORD IsSeekable() noexcept;

    // Slots 4 to 13: reading frames and audio. The Get forms deliver into
    // the object's own buffers and hand them out; they stay valid until the
    // next read of the same kind or Close. A caller's buffer for a frame
    // holds a frame buffer's size (width x height x 4); for audio, count
    // sample frames.

    // Frame by index, reading forward from the frames held and seeking only
    // when the frame lies behind them. No presentation time is reported.
    virtual HRESULT GetFrame(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadFrame(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    // Frame by a seek to its time: for compressed video the key frame at or
    // before it. A null buffer describes the frame without delivering it.
    virtual HRESULT GetFrameBySeek(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadFrameBySeek(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    // The frame after the last one delivered, in file order.
    virtual HRESULT GetNextFrame(BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadNextFrame(BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    // Decoded PCM from any sample: the sample frames delivered, 0 at or
    // past the end. Never fails: what the file does not give is silence, and
    // a failed seek delivers silence without setting *pcbBytes.
    virtual DWORD GetAudio(LONG nFirstSample, DWORD dwCount, BYTE** ppBuffer, DWORD* pcbBytes) noexcept;
    virtual DWORD ReadAudio(LONG nFirstSample, DWORD dwCount, BYTE* pBuffer, DWORD* pcbBytes) noexcept;
    // One compressed AAC frame, without its ADTS header, by index or next in
    // sequence; the count is not used.
    virtual HRESULT ReadAudioFrame(LONG nIndex, DWORD dwCount, BYTE** ppBuffer,
                                   SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadNextAudioFrame(DWORD dwCount, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;

    // The carry-over of decoded audio between reads.
    static constexpr size_t kAudioBufferBytes = 1048576;

private:
    // Opening, in the order GetStreamInfo runs them.
    HRESULT GetMediaProps(SPlugMediaInfo& info, SPlugExtraData* pExtra) noexcept;
    HRESULT SettleDecodedVideoTiming(SPlugMediaInfo& info) noexcept;
    HRESULT SettleCompressedVideoTiming(SPlugMediaInfo& info) noexcept;
    void AnalyseAacAudio(SPlugMediaInfo& info) noexcept;
    HRESULT FinishOpen(const SPlugMediaInfo& info) noexcept;

    // Decoded video whose header gives no frame duration: the duration is
    // measured from the first sample times.
    void MeasureFrameDuration(SPlugMediaInfo& info) noexcept;
    // Lowers a frame count computed from the file's duration to the last
    // frame that can really be reached.
    void CheckFrameCount(SPlugMediaInfo& info) noexcept;
    void ReadFieldOrder(SPlugMediaInfo& info) noexcept;

    // Describing the outputs (GetMediaProps).
    struct SOutput {
        DWORD dwNumber;
        WORD wStream;
        // MEDIATYPE_Stream: audio the runtime delivers as stored.
        bool bStreamMajorType;
        IWMStreamConfig* pConfig;
        DWORD dwBitrate;
    };
    void DescribeVideo(const SOutput& output, IWMHeaderInfo3* pHeader, SPlugMediaInfo& info,
                       SPlugExtraData* pExtra, HRESULT& hrLast) noexcept;
    void DescribeVideoFormat(const CMediaTypeBuffer& streamType, IWMHeaderInfo3* pHeader,
                             SPlugMediaInfo& info, SPlugExtraData* pExtra) noexcept;
    void ReadAspectRatio(IWMHeaderInfo3* pHeader, SPlugMediaInfo& info) noexcept;
    void ChooseColorFormat(DWORD dwOutput, SPlugMediaInfo& info, HRESULT& hrLast) noexcept;
    void DescribeAudio(const SOutput& output, SPlugMediaInfo& info, HRESULT& hrLast) noexcept;
    bool ChooseAudioFormat(DWORD dwOutput, SPlugMediaInfo& info, HRESULT& hrLast) noexcept;
    void DropAudioStream(WORD wStream, SPlugMediaInfo& info, HRESULT& hrLast) noexcept;
    HRESULT DeselectStream(WORD wStream) noexcept;

    // One sample of a stream with its time, duration and flags.
    HRESULT NextSample(WORD wStream, ComPtr<INSSBuffer>& pSample, QWORD& cnsTime,
                       QWORD* pcnsDuration = nullptr, DWORD* pdwFlags = nullptr) noexcept;

    // Video reads (CAsfStreamReads.cpp). The window holds two samples: the
    // current one and the one after it.
    bool IsIndexInRange(DWORD dwIndex) noexcept;
    QWORD FrameTime(DWORD dwIndex) const noexcept;
    DWORD FrameNumber(QWORD cnsTime) const noexcept;
    DWORD FrameNumberFromZero(QWORD cnsTime) const noexcept;
    DWORD FrameType(DWORD dwFlags) const noexcept;
    bool FitsFrameBuffer(size_t cbFrame) const noexcept;
    HRESULT NextVideoSample(LONG nSlot) noexcept;
    void ResetVideoWindow() noexcept;
    bool DeliverPicture(const BYTE* pData, DWORD cbData, BYTE* pBuffer, SPlugFrameInfo& info) noexcept;

    // Decoded audio reads: the carry-over first, then fresh samples.
    size_t FillAudio(BYTE* pBuffer, size_t cbWant) noexcept;
    void KeepAudioTail(const BYTE* pTail, size_t cbTail) noexcept;
    void CopyAudioFrames(BYTE* pDest, const BYTE* pSrc, size_t cb) const noexcept;
    void DiscardAudio(DWORD dwFrames) noexcept;

    // AAC reads, with a window like the video's.
    QWORD AacFrameTime(LONG nIndex) const noexcept;
    QWORD AacFrameNumber(QWORD cnsTime) const noexcept;
    HRESULT NextAudioFrame(LONG nSlot) noexcept;
    void DeliverAacFrame(const BYTE* pData, DWORD cbData, SPlugFrameInfo& info) noexcept;

    ComPtr<IWMSyncReader> m_pReader;
    std::unique_ptr<CROStream> m_pStream;
    WORD m_wAudioStream = 0;
    WORD m_wVideoStream = 0;
    DWORD m_bSeekable = 1;
    ComPtr<INSSBuffer> m_pVideoSample[2];
    QWORD m_cnsVideoTime[2] = {1, 0};
    DWORD m_dwVideoFlags[2] = {};
    QWORD m_cnsVideoDuration[2] = {};
    LONG m_nVideoSlot = -1;
    QWORD m_cnsFirstVideoTime = 0;
    ComPtr<INSSBuffer> m_pAudioSample;
    ComPtr<INSSBuffer> m_pAudioFrame[2];
    QWORD m_cnsAudioFrameTime[2] = {};
    QWORD m_cnsAudioFrameDuration[2] = {};
    LONG m_nAudioFrameSlot = 0;
    QWORD m_cnsLastAudioFrameTime = 0;
    SPlugMediaInfo m_Info;
    DWORD m_bOpened = 0;
    std::unique_ptr<BYTE[]> m_pFrameBuffer;
    LONG m_nFrameBufferSize = 0;
    DWORD m_nAudioPos = 0;
    DWORD m_nVideoPos = 0;
    std::unique_ptr<BYTE[]> m_pAudioBuffer;
    LONG m_nAudioBufferFill = 0;
    LONG m_nAudioBufferOffset = 0;
    DWORD m_bAudioEnd = 0;
    DWORD m_dwAvgTimePerFrame = 0;
    QWORD m_cnsDuration = 0;
    // An oversized decoded audio block is reported once per object.
    bool m_bAudioTailLogged = false;
};
