#include "reader/ReaderExports.h"

#include <memory>

#include "plugin/PlugStatus.h"
#include "reader/CAsfReader.h"

// The handle is the host's opaque pointer to a CAsfReader. A null handle is
// answered with PLUG_E_NO_HANDLE and a null record or buffer that an
// operation needs with PLUG_E_NULL_ARGUMENT; nothing else about the
// arguments can be checked.

namespace {

CAsfReader* Reader(void* hReader) noexcept {
    return static_cast<CAsfReader*>(hReader);
}

uint32_t Status(HRESULT hr) noexcept {
    return static_cast<uint32_t>(hr);
}

}  // namespace

void* ReaderCreate() noexcept {
    return CAsfReader::Create().release();
}

uint32_t ReaderDestroy(void* hReader) noexcept {
    std::unique_ptr<CAsfReader> pReader(Reader(hReader));
    return PLUG_S_OK;
}

uint32_t ReaderOpen(void* hReader, const SPlugSourceList* pSources, uint32_t dwMode,
                    const SPlugSourceList* pSecondSources) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pSources) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->Open(*pSources, dwMode, pSecondSources));
}

uint32_t ReaderGetProgramCount(void* hReader) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Reader(hReader)->GetProgramCount();
}

uint32_t ReaderGetVideoStreamCount(void* hReader) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Reader(hReader)->GetVideoStreamCount();
}

uint32_t ReaderGetVideoStreamDesc(void* hReader, int32_t nProgram, int32_t nStream,
                                  SPlugStreamDesc* pDesc) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Status(Reader(hReader)->GetVideoStreamDesc(nProgram, nStream, pDesc));
}

uint32_t ReaderGetAudioStreamCount(void* hReader) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Reader(hReader)->GetAudioStreamCount();
}

uint32_t ReaderGetAudioStreamDesc(void* hReader, int32_t nProgram, int32_t nStream,
                                  SPlugStreamDesc* pDesc) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Status(Reader(hReader)->GetAudioStreamDesc(nProgram, nStream, pDesc));
}

uint32_t ReaderSelectStreams(void* hReader, int32_t nProgram, int32_t nVideoStream,
                             int32_t /*nIgnored*/, int32_t nAudioStream) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Status(Reader(hReader)->SelectStreams(nProgram, nVideoStream, nAudioStream));
}

uint32_t ReaderGetState(void* hReader) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Reader(hReader)->GetState();
}

uint32_t ReaderGetFrameBufferSize(void* hReader) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Reader(hReader)->GetFrameBufferSize();
}

uint32_t ReaderGetAudioBufferSize(void* hReader) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    return Reader(hReader)->GetAudioBufferSize();
}

uint32_t ReaderSetRange(void* hReader, uint32_t* pStart, uint32_t* pEnd, uint32_t dwKind) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pStart || !pEnd) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->SetRange(*pStart, *pEnd, dwKind));
}

uint32_t ReaderSetOptions(void* hReader, const SPlugReadOptions* pOptions) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pOptions) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->SetOptions(*pOptions));
}

uint32_t ReaderGetOptions(void* hReader, SPlugReadOptions* pOptions) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pOptions) return PLUG_E_NULL_ARGUMENT;
    *pOptions = Reader(hReader)->GetOptions();
    return PLUG_S_OK;
}

uint32_t ReaderReadFrame(void* hReader, uint32_t dwIndex, void* /*pIgnored*/,
                         SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->ReadFrame(dwIndex, *pInfo));
}

uint32_t ReaderGetFrame(void* hReader, uint32_t dwIndex, uint8_t** ppBuffer,
                        SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!ppBuffer || !pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->GetFrame(dwIndex, ppBuffer, *pInfo));
}

uint32_t ReaderSeekFrame(void* hReader, uint32_t dwIndex, uint8_t** ppBuffer,
                         SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!ppBuffer || !pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->SeekFrame(dwIndex, ppBuffer, *pInfo));
}

uint32_t ReaderProbeFrame(void* hReader, uint32_t dwIndex, SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->ProbeFrame(dwIndex, *pInfo));
}

uint32_t ReaderGetNextFrame(void* hReader, uint8_t** ppBuffer, SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!ppBuffer || !pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->GetNextFrame(ppBuffer, *pInfo));
}

uint32_t ReaderPeekNextFrame(void* hReader, SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->PeekNextFrame(*pInfo));
}

uint32_t ReaderPeekFrame(void* hReader, uint32_t dwIndex, SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->PeekFrame(dwIndex, *pInfo));
}

uint32_t ReaderGetNextSample(void* hReader, void* /*pIgnored*/, uint32_t* pStreamNumber,
                             uint8_t** ppBuffer, SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pStreamNumber || !ppBuffer || !pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->GetNextSample(pStreamNumber, ppBuffer, *pInfo));
}

uint32_t ReaderReadAudio(void* hReader, uint32_t dwFirst, uint32_t dwCount, uint8_t* pBuffer,
                         SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!pBuffer || !pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->ReadAudio(dwFirst, dwCount, pBuffer, *pInfo));
}

uint32_t ReaderGetAudio(void* hReader, uint32_t dwFirst, uint32_t dwCount, uint8_t** ppBuffer,
                        SPlugFrameInfo* pInfo) noexcept {
    if (!hReader) return PLUG_E_NO_HANDLE;
    if (!ppBuffer || !pInfo) return PLUG_E_NULL_ARGUMENT;
    return Status(Reader(hReader)->GetAudio(dwFirst, dwCount, ppBuffer, *pInfo));
}
