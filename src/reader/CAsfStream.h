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

    // Slots 4 to 13: reading frames and audio. Until sample access lands
    // they serve nothing: the status ones answer 0x80000002 (not supported)
    // and the audio ones deliver no samples.
    virtual HRESULT GetFrame(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadFrame(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT GetFrameBySeek(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadFrameBySeek(DWORD dwIndex, BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT GetNextFrame(BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadNextFrame(BYTE* pBuffer, SPlugFrameInfo* pFrameInfo) noexcept;
    virtual DWORD GetAudio(LONG nFirstSample, DWORD dwCount, BYTE** ppBuffer, DWORD* pcbBytes) noexcept;
    virtual DWORD ReadAudio(LONG nFirstSample, DWORD dwCount, BYTE* pBuffer, DWORD* pcbBytes) noexcept;
    virtual HRESULT ReadAudioFrame(LONG nIndex, DWORD dwCount, BYTE** ppBuffer,
                                   SPlugFrameInfo* pFrameInfo) noexcept;
    virtual HRESULT ReadNextAudioFrame(DWORD dwCount, BYTE** ppBuffer, SPlugFrameInfo* pFrameInfo) noexcept;

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
};
