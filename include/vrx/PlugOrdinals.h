// The plug-in's entry points as a host sees them: ordinal numbers, the one
// exported lookup function, and the exact signature of every entry point.
//
// A host loads libVRXPlugWinMediaCodecU.so, finds VRXPlugGetProcByOrdinal
// with dlsym, asks it for an ordinal and casts the answer to the matching
// PFN_ type below. Unassigned ordinals answer null. Every entry point has C
// linkage; results are unsigned 32-bit status codes (0 success) unless the
// type says otherwise. No entry point throws.
#pragma once

#include <cstdint>

#include "vrx/PlugRecords.h"

// The host library's information record; only passed through (ordinal 602).
struct SVRXLibInfo;

enum PlugOrdinal : unsigned int {
    PLUG_ORD_FIRST = 400,

    // Reader family: every entry but the create function takes the handle
    // that PLUG_ORD_READER_CREATE returned.
    PLUG_ORD_READER_CREATE = 400,
    PLUG_ORD_READER_DESTROY = 401,
    PLUG_ORD_READER_ZERO_402 = 402,
    PLUG_ORD_READER_ZERO_403 = 403,
    PLUG_ORD_READER_OPEN = 404,
    PLUG_ORD_READER_ZERO_405 = 405,
    PLUG_ORD_READER_GET_PROGRAM_COUNT = 406,
    PLUG_ORD_READER_GET_VIDEO_STREAM_COUNT = 407,
    PLUG_ORD_READER_GET_VIDEO_STREAM_DESC = 408,
    PLUG_ORD_READER_GET_AUDIO_STREAM_COUNT = 409,
    PLUG_ORD_READER_GET_AUDIO_STREAM_DESC = 410,
    PLUG_ORD_READER_SELECT_STREAMS = 411,
    PLUG_ORD_READER_GET_STATE = 412,
    PLUG_ORD_READER_GET_FRAME_BUFFER_SIZE = 413,
    PLUG_ORD_READER_GET_AUDIO_BUFFER_SIZE = 414,
    PLUG_ORD_READER_ONE_415 = 415,
    PLUG_ORD_READER_SET_RANGE = 416,
    PLUG_ORD_READER_SET_OPTIONS = 417,
    PLUG_ORD_READER_GET_OPTIONS = 418,
    PLUG_ORD_READER_UNSUPPORTED_419 = 419,
    PLUG_ORD_READER_READ_FRAME = 420,
    PLUG_ORD_READER_GET_FRAME = 421,
    PLUG_ORD_READER_SEEK_FRAME = 422,
    PLUG_ORD_READER_PROBE_FRAME = 423,
    PLUG_ORD_READER_GET_NEXT_FRAME = 424,
    PLUG_ORD_READER_PEEK_NEXT_FRAME = 425,
    PLUG_ORD_READER_PEEK_FRAME = 426,
    PLUG_ORD_READER_GET_NEXT_SAMPLE = 427,
    PLUG_ORD_READER_READ_AUDIO = 428,
    PLUG_ORD_READER_GET_AUDIO = 429,
    PLUG_ORD_READER_UNSUPPORTED_430 = 430,
    PLUG_ORD_READER_ZERO_436 = 436,

    // Writer family: the handle comes from PLUG_ORD_WRITER_CREATE;
    // PLUG_ORD_WRITER_NORMALISE_PARAMS needs none.
    PLUG_ORD_WRITER_CREATE = 500,
    PLUG_ORD_WRITER_DESTROY = 501,
    PLUG_ORD_WRITER_ZERO_502 = 502,
    PLUG_ORD_WRITER_ZERO_503 = 503,
    PLUG_ORD_WRITER_NORMALISE_PARAMS = 504,
    PLUG_ORD_WRITER_OPEN = 505,
    PLUG_ORD_WRITER_ZERO_506 = 506,
    PLUG_ORD_WRITER_ONE_507 = 507,
    PLUG_ORD_WRITER_IS_AUDIO_BEHIND = 508,
    PLUG_ORD_WRITER_PUT_STREAM_DATA = 509,
    PLUG_ORD_WRITER_UNSUPPORTED_510 = 510,
    PLUG_ORD_WRITER_UNSUPPORTED_511 = 511,

    // Plug-in information.
    PLUG_ORD_QUERY_CONTROL = 600,
    PLUG_ORD_ALL_ONES_601 = 601,
    PLUG_ORD_QZ_GET_LIB_INFO = 602,

    PLUG_ORD_LAST = 602,
};

extern "C" {

// The entry point of an assigned ordinal, or null for any other number.
void* VRXPlugGetProcByOrdinal(unsigned int ordinal);

// Fixed answers (402, 403, 405, 415, 419, 430, 436, 502, 503, 506, 507, 510,
// 511, 601): any arguments, all ignored; the result is the ordinal's constant.
using PFN_PluginFixedAnswer = uint32_t (*)(...);

// Reader family.
using PFN_ReaderCreate = void* (*)();
using PFN_ReaderDestroy = uint32_t (*)(void* hReader);
using PFN_ReaderOpen = uint32_t (*)(void* hReader, const SPlugSourceList* pSources, uint32_t dwMode,
                                    const SPlugSourceList* pSecondSources);
using PFN_ReaderGetProgramCount = uint32_t (*)(void* hReader);
using PFN_ReaderGetVideoStreamCount = uint32_t (*)(void* hReader);
using PFN_ReaderGetVideoStreamDesc = uint32_t (*)(void* hReader, int32_t nProgram, int32_t nStream,
                                                  SPlugStreamDesc* pDesc);
using PFN_ReaderGetAudioStreamCount = uint32_t (*)(void* hReader);
using PFN_ReaderGetAudioStreamDesc = uint32_t (*)(void* hReader, int32_t nProgram, int32_t nStream,
                                                  SPlugStreamDesc* pDesc);
using PFN_ReaderSelectStreams = uint32_t (*)(void* hReader, int32_t nProgram, int32_t nVideoStream,
                                             int32_t nIgnored, int32_t nAudioStream);
using PFN_ReaderGetState = uint32_t (*)(void* hReader);
using PFN_ReaderGetFrameBufferSize = uint32_t (*)(void* hReader);
using PFN_ReaderGetAudioBufferSize = uint32_t (*)(void* hReader);
// kind: 0 video frames, 1 audio samples. start and end are narrowed in place.
using PFN_ReaderSetRange = uint32_t (*)(void* hReader, uint32_t* pStart, uint32_t* pEnd,
                                        uint32_t dwKind);
using PFN_ReaderSetOptions = uint32_t (*)(void* hReader, const SPlugReadOptions* pOptions);
using PFN_ReaderGetOptions = uint32_t (*)(void* hReader, SPlugReadOptions* pOptions);
using PFN_ReaderReadFrame = uint32_t (*)(void* hReader, uint32_t dwIndex, void* pIgnored,
                                         SPlugFrameInfo* pInfo);
// The buffer handed out stays valid until the next read, open or destroy.
using PFN_ReaderGetFrame = uint32_t (*)(void* hReader, uint32_t dwIndex, uint8_t** ppBuffer,
                                        SPlugFrameInfo* pInfo);
using PFN_ReaderSeekFrame = uint32_t (*)(void* hReader, uint32_t dwIndex, uint8_t** ppBuffer,
                                         SPlugFrameInfo* pInfo);
using PFN_ReaderProbeFrame = uint32_t (*)(void* hReader, uint32_t dwIndex, SPlugFrameInfo* pInfo);
using PFN_ReaderGetNextFrame = uint32_t (*)(void* hReader, uint8_t** ppBuffer,
                                            SPlugFrameInfo* pInfo);
using PFN_ReaderPeekNextFrame = uint32_t (*)(void* hReader, SPlugFrameInfo* pInfo);
using PFN_ReaderPeekFrame = uint32_t (*)(void* hReader, uint32_t dwIndex, SPlugFrameInfo* pInfo);
// *pStreamNumber: 0 for the stream read first, 1 for audio read beside video.
using PFN_ReaderGetNextSample = uint32_t (*)(void* hReader, void* pIgnored,
                                             uint32_t* pStreamNumber, uint8_t** ppBuffer,
                                             SPlugFrameInfo* pInfo);
// pBuffer holds dwCount sample frames of the stream's block alignment.
using PFN_ReaderReadAudio = uint32_t (*)(void* hReader, uint32_t dwFirst, uint32_t dwCount,
                                         uint8_t* pBuffer, SPlugFrameInfo* pInfo);
using PFN_ReaderGetAudio = uint32_t (*)(void* hReader, uint32_t dwFirst, uint32_t dwCount,
                                        uint8_t** ppBuffer, SPlugFrameInfo* pInfo);

// Writer family.
using PFN_WriterCreate = void* (*)();
using PFN_WriterDestroy = uint32_t (*)(void* hWriter);
// The first argument is not read; the record is normalised in place.
using PFN_WriterNormaliseParams = uint32_t (*)(void* pUnused, SPlugMediaInfo* pInfo);
using PFN_WriterOpen = uint32_t (*)(void* hWriter, const SPlugSourceList* pTarget,
                                    const SPlugMuxParam* pParams);
using PFN_WriterIsAudioBehind = uint32_t (*)(void* hWriter);
// dwEsPid: 0 video (one frame), 1 audio (PCM, pInfo->nDataLength bytes).
using PFN_WriterPutStreamData = uint32_t (*)(void* hWriter, uint32_t dwEsPid, const uint8_t* pData,
                                             const SPlugFrameInfo* pInfo);

// Plug-in information.
using PFN_PluginQueryControl = uint32_t (*)(void* hWriter, uint32_t dwCategory, uint32_t dwItem,
                                            void* pReserved, uint32_t* pSize, void* pOutput);
// Exactly the host library's QZGetLibInfo: arguments and result pass through.
using PFN_QZGetLibInfo = uint32_t (*)(SVRXLibInfo* pInfo);

}  // extern "C"
