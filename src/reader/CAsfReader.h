// The reader handle: what the host holds while it reads one Windows Media
// file. It presents the file as one program with at most one video and at
// most one audio stream, owns the stream objects that read them (one object
// serves both kinds unless video reading is switched off), the buffers the
// host is handed, a cache of the last decoded audio block and a ring of the
// last compressed audio frames.
//
// Buffers handed out stay valid until the next call that reuses them, the
// next open or the handle's end. The host calls one operation at a time per
// handle; the handle takes no locks and starts no threads.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "reader/CAsfStream.h"
#include "vrx/PlugRecords.h"
#include "win/WinTypes.h"

class CAsfReader {
public:
    // Makes the stream object each open reads through; null when memory runs
    // out. Tests hand in their own to stand in for the runtime.
    using StreamFactory = std::function<std::unique_ptr<CAsfStream>()>;

    // Null when memory runs out. Without a factory the handle opens files
    // through real stream objects.
    static std::unique_ptr<CAsfReader> Create(StreamFactory factory = nullptr) noexcept;
    ~CAsfReader();
    CAsfReader(const CAsfReader&) = delete;
    CAsfReader& operator=(const CAsfReader&) = delete;

    // Opens the one file the list names (a list of anything else is not
    // supported); the second list may name a companion file for the host's
    // data source. The previous file is dropped first. A failed open leaves
    // the handle usable: the next open or the end releases what it made.
    HRESULT Open(const SPlugSourceList& sources, DWORD dwMode,
                 const SPlugSourceList* pSecondSources) noexcept;

    DWORD GetProgramCount() const noexcept { return static_cast<DWORD>(m_nProgramCount); }
    DWORD GetVideoStreamCount() const noexcept { return static_cast<DWORD>(m_nVideoStreamCount); }
    DWORD GetAudioStreamCount() const noexcept { return static_cast<DWORD>(m_nAudioStreamCount); }
    // A null pDesc asks only whether the stream exists. The format block of
    // the copy stays the handle's, valid until the next open or the end.
    HRESULT GetVideoStreamDesc(LONG nProgram, LONG nStream, SPlugStreamDesc* pDesc) const noexcept;
    HRESULT GetAudioStreamDesc(LONG nProgram, LONG nStream, SPlugStreamDesc* pDesc) const noexcept;
    // -1 selects nothing of a kind the file lacks. The reads ignore it.
    HRESULT SelectStreams(LONG nProgram, LONG nVideoStream, LONG nAudioStream) noexcept;

    DWORD GetState() const noexcept { return m_dwState; }
    DWORD GetFrameBufferSize() const noexcept { return m_dwFrameBufferSize; }
    DWORD GetAudioBufferSize() const noexcept { return m_dwAudioBufferSize; }

    // Narrows the frames (kind 0) or audio samples (kind 1) the reads cover
    // to [start, end) and writes the narrowed bounds back.
    HRESULT SetRange(DWORD& dwStart, DWORD& dwEnd, DWORD dwKind) noexcept;
    // Switching a kind off drops its stream object; switching it on opens
    // one again on the same file.
    HRESULT SetOptions(const SPlugReadOptions& options) noexcept;
    const SPlugReadOptions& GetOptions() const noexcept { return m_Options; }

    // Video. The Get forms hand out the buffer the frame was delivered in.
    HRESULT ReadFrame(DWORD dwIndex, SPlugFrameInfo& info) noexcept;
    HRESULT GetFrame(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept;
    HRESULT SeekFrame(DWORD dwIndex, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept;
    // Describes the frame without delivering its data.
    HRESULT ProbeFrame(DWORD dwIndex, SPlugFrameInfo& info) noexcept;
    HRESULT GetNextFrame(BYTE** ppBuffer, SPlugFrameInfo& info) noexcept;
    HRESULT PeekNextFrame(SPlugFrameInfo& info) noexcept;
    HRESULT PeekFrame(DWORD dwIndex, SPlugFrameInfo& info) noexcept;

    // Video and audio in time order: *pdwStream is 1 for audio read beside
    // video, 0 otherwise.
    HRESULT GetNextSample(DWORD* pdwStream, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept;

    // Audio. ReadAudio fills the caller's buffer, which holds dwCount sample
    // frames. GetAudio hands out the handle's buffer: PCM from the sample
    // dwFirst, at most 48000 sample frames; for AAC the frame dwFirst.
    HRESULT ReadAudio(DWORD dwFirst, DWORD dwCount, BYTE* pBuffer, SPlugFrameInfo& info) noexcept;
    HRESULT GetAudio(DWORD dwFirst, DWORD dwCount, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept;

    // Where the sequential and interleaved reads stand.
    DWORD GetVideoPosition() const noexcept { return m_dwVideoPos; }
    DWORD GetAudioPosition() const noexcept { return m_dwAudioPos; }

private:
    // One compressed audio frame remembered with its record.
    struct SAacNode {
        SPlugFrameInfo Info;
        std::unique_ptr<BYTE[]> pData;
        LONG nCapacity;
        LONG nFrameIndex;
    };
    static constexpr size_t kRingNodes = 10;

    explicit CAsfReader(StreamFactory factory) noexcept;

    // Releases the file's objects, buffers and caches. Always 0.
    HRESULT CloseFile() noexcept;
    // Closes and deletes a stream object, or only lets go of it when the
    // other kind still reads through it.
    void DropVideoStream() noexcept;
    void DropAudioStream() noexcept;
    HRESULT OpenVideoStream() noexcept;
    HRESULT OpenAudioStream() noexcept;
    HRESULT OpenStream(std::unique_ptr<CAsfStream>& pStream, SPlugExtraData* pExtra) noexcept;
    void DescribeVideo() noexcept;
    HRESULT DescribeAudio() noexcept;
    void ResetRing() noexcept;

    // The stream objects as the reads may use them: only with the buffer
    // they deliver into.
    CAsfStream* VideoStream() const noexcept;
    CAsfStream* AudioStream() const noexcept;

    HRESULT GetPcmAudio(DWORD dwFirst, DWORD dwCount, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept;
    HRESULT GetAacFrame(DWORD dwFirst, BYTE** ppBuffer, SPlugFrameInfo& info) noexcept;
    void RememberAacFrame(DWORD dwFirst, const BYTE* pData, const SPlugFrameInfo& info) noexcept;

    StreamFactory m_CreateStream;

    WCHAR m_szFileName[MAX_PATH] = {};
    WCHAR m_szSecondName[MAX_PATH] = {};

    std::unique_ptr<CAsfStream> m_pVideoStream;
    // Owns the audio object only when it is not the video object.
    std::unique_ptr<CAsfStream> m_pAudioStream;
    bool m_bAudioSharesVideo = false;

    SPlugMediaInfo m_Info;
    DWORD m_dwVideoPos = 0;
    DWORD m_dwAudioPos = 0;

    std::unique_ptr<BYTE[]> m_pFrameBuffer;
    std::unique_ptr<BYTE[]> m_pAudioBuffer;

    SPlugStreamDesc m_VideoDesc;
    SPlugStreamDesc m_AudioDesc;

    std::unique_ptr<BYTE[]> m_pPcmCache;
    DWORD m_dwCacheFirst = 0;
    DWORD m_dwCacheCount = 0;

    std::unique_ptr<std::array<SAacNode, kRingNodes>> m_pRing;
    size_t m_nRingWrite = 0;
    size_t m_nRingOldest = 0;

    DWORD m_dwFrameBufferSize = 0;
    DWORD m_dwAudioBufferSize = 0;

    LONG m_nProgramCount = 0;
    LONG m_nProgram = 0;
    LONG m_nVideoStreamCount = 0;
    LONG m_nVideoStream = 0;
    LONG m_nAudioStreamCount = 0;
    LONG m_nAudioStream = 0;

    DWORD m_dwMode = 0;
    DWORD m_dwState = 0;
    SPlugReadOptions m_Options;
};
