// The writer family of entry points (ordinals 500 to 509) and the plug-in's
// query and control entry (ordinal 600), which works on a writer handle.
// Ordinal 504 needs no handle and lives in NormaliseParams.h.
//
// The handle is what WriterCreate returned; the host calls one entry of a
// handle at a time. A null handle answers 0x80000004 (WriterDestroy: 0).
// MuxerForWinMedia.h and PluginQueryControl.h give the answers.
#pragma once

#include <cstdint>

#include "vrx/PlugRecords.h"

extern "C" {
void* WriterCreate() noexcept;
uint32_t WriterDestroy(void* hWriter) noexcept;
uint32_t WriterOpen(void* hWriter, const SPlugSourceList* pTarget,
                    const SPlugMuxParam* pParams) noexcept;
uint32_t WriterIsAudioBehind(void* hWriter) noexcept;
uint32_t WriterPutStreamData(void* hWriter, uint32_t dwEsPid, const uint8_t* pData,
                             const SPlugFrameInfo* pInfo) noexcept;
uint32_t PluginQueryControl(void* hWriter, uint32_t dwCategory, uint32_t dwItem, void* pReserved,
                            uint32_t* pSize, void* pOutput) noexcept;
}  // extern "C"
