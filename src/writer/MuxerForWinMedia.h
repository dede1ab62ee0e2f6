// The writer handle: what the host holds while it writes Windows Media
// files, one after the other. It turns the host's open request into the
// encoding parameters of a CWMVEncoder, which does all Windows Media work,
// hands it the host's video frames and PCM blocks, and keeps audio and
// video equally long with its CMuxClocks.
//
// Threads: the host calls one operation of a handle at a time, so there is
// no lock; the encoder writes on its own thread while the caller waits for
// it (no longer than the host's "HandleTimeOut").
//
// Ownership: the handle owns its encoder from an open until the next open
// or the handle's end, also when the encoder failed to start. The host's
// records and data are only read during the call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vrx/PlugRecords.h"
#include "writer/CMuxClocks.h"
#include "writer/CWMVEncoder.h"

class MuxerForWinMedia {
public:
    // Null when memory runs out.
    static std::unique_ptr<MuxerForWinMedia> Create() noexcept;
    // Finishes the open file, if any.
    ~MuxerForWinMedia();
    MuxerForWinMedia(const MuxerForWinMedia&) = delete;
    MuxerForWinMedia& operator=(const MuxerForWinMedia&) = delete;

    // Finishes the file written so far (also when this open is then
    // refused) and starts a new one. Null records: PLUG_E_NULL_ARGUMENT.
    // Append or read-while-writing mode, or a target that is not exactly
    // one file name: PLUG_E_NOT_SUPPORTED. A video rate with a zero term,
    // or audio with sample rate 0 or less than a byte per sample frame:
    // PLUG_E_OUT_OF_RANGE, before any encoder is made. Otherwise the
    // encoder's start status, passed through; an encoder that failed to
    // start stays until the next open or the handle's end.
    uint32_t Open(const SPlugSourceList* pTarget, const SPlugMuxParam* pParams) noexcept;

    // Finishes and frees the encoder: 0 without one, else its finish status.
    uint32_t Close() noexcept;

    // 1 when the file has audio whose clock lags the video's, else 0.
    uint32_t IsAudioBehind() const noexcept;

    // dwEsPid 0: one video frame; 1: PCM, pInfo->nDataLength bytes of whole
    // sample frames (a remainder is not written); any other value is
    // ignored with 0. pInfo->dwContinuation 2 marks the last block of its
    // stream. Without an encoder: PLUG_E_NO_HANDLE. A failed delivery gives
    // PLUG_E_DRIVE_OR_TIMEOUT when the encoder timed out, else
    // PLUG_E_WRITE_FAILED.
    uint32_t PutStreamData(uint32_t dwEsPid, const uint8_t* pData, const SPlugFrameInfo* pInfo) noexcept;

    // Two-pass encoding through the encoder, which must have started: the
    // query answers 0 and the pass operations PLUG_E_NOT_SUPPORTED
    // otherwise, without touching it. Each pass operation first restarts
    // the video frame count, as the encoder restarts its frame times.
    uint32_t IsPreprocessingSupported() noexcept;
    uint32_t BeginPreprocessingPass() noexcept;
    uint32_t EndPreprocessingPass() noexcept;

private:
    MuxerForWinMedia() = default;

    void PutVideo(const uint8_t* pData, bool bLast) noexcept;
    void PutAudio(const uint8_t* pData, int32_t nDataLength, bool bLast) noexcept;
    // Delivers to the encoder; a failure is kept in m_dwLastFailure.
    void Deliver(uint32_t nStream, uint32_t nCount, const uint8_t* pData) noexcept;
    const uint8_t* Silence() noexcept;

    std::u16string m_strFileName;
    CWMVEncoderPtr m_pEncoder;
    bool m_bEncoderStarted = false;
    CMuxClocks m_clocks;
    uint32_t m_dwFrameBytes = 4;  // 16-bit stereo until an open says otherwise
    // Zeros for one silence block of the open audio format; made when first
    // needed, since most files never need it.
    std::vector<uint8_t> m_Silence;
    uint32_t m_dwLastFailure = 0;
};
