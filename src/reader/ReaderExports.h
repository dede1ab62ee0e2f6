// The reader family of entry points (ordinals 400 to 429). Each takes the
// handle that ReaderCreate returned; the host calls one at a time per handle.
#pragma once

#include <cstdint>

#include "vrx/PlugRecords.h"

extern "C" {
void* ReaderCreate() noexcept;
uint32_t ReaderDestroy(void* hReader) noexcept;
uint32_t ReaderOpen(void* hReader, const SPlugSourceList* pSources, uint32_t dwMode,
                    const SPlugSourceList* pSecondSources) noexcept;
uint32_t ReaderGetProgramCount(void* hReader) noexcept;
uint32_t ReaderGetVideoStreamCount(void* hReader) noexcept;
uint32_t ReaderGetVideoStreamDesc(void* hReader, int32_t nProgram, int32_t nStream,
                                  SPlugStreamDesc* pDesc) noexcept;
uint32_t ReaderGetAudioStreamCount(void* hReader) noexcept;
uint32_t ReaderGetAudioStreamDesc(void* hReader, int32_t nProgram, int32_t nStream,
                                  SPlugStreamDesc* pDesc) noexcept;
uint32_t ReaderSelectStreams(void* hReader, int32_t nProgram, int32_t nVideoStream,
                             int32_t nIgnored, int32_t nAudioStream) noexcept;
uint32_t ReaderGetState(void* hReader) noexcept;
uint32_t ReaderGetFrameBufferSize(void* hReader) noexcept;
uint32_t ReaderGetAudioBufferSize(void* hReader) noexcept;
uint32_t ReaderSetRange(void* hReader, uint32_t* pStart, uint32_t* pEnd, uint32_t dwKind) noexcept;
uint32_t ReaderSetOptions(void* hReader, const SPlugReadOptions* pOptions) noexcept;
uint32_t ReaderGetOptions(void* hReader, SPlugReadOptions* pOptions) noexcept;
uint32_t ReaderReadFrame(void* hReader, uint32_t dwIndex, void* pIgnored,
                         SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderGetFrame(void* hReader, uint32_t dwIndex, uint8_t** ppBuffer,
                        SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderSeekFrame(void* hReader, uint32_t dwIndex, uint8_t** ppBuffer,
                         SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderProbeFrame(void* hReader, uint32_t dwIndex, SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderGetNextFrame(void* hReader, uint8_t** ppBuffer, SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderPeekNextFrame(void* hReader, SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderPeekFrame(void* hReader, uint32_t dwIndex, SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderGetNextSample(void* hReader, void* pIgnored, uint32_t* pStreamNumber,
                             uint8_t** ppBuffer, SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderReadAudio(void* hReader, uint32_t dwFirst, uint32_t dwCount, uint8_t* pBuffer,
                         SPlugFrameInfo* pInfo) noexcept;
uint32_t ReaderGetAudio(void* hReader, uint32_t dwFirst, uint32_t dwCount, uint8_t** ppBuffer,
                        SPlugFrameInfo* pInfo) noexcept;
}  // extern "C"
