#include "writer/WriterExports.h"

#include <memory>

#include "plugin/PlugStatus.h"
#include "writer/MuxerForWinMedia.h"
#include "writer/PluginQueryControl.h"

// The handle is the host's opaque pointer to a MuxerForWinMedia. A null
// handle is answered with PLUG_E_NO_HANDLE (destroying one does nothing);
// nothing else about the handle can be checked.

namespace {

MuxerForWinMedia* Muxer(void* hWriter) noexcept {
    return static_cast<MuxerForWinMedia*>(hWriter);
}

}  // namespace

void* WriterCreate() noexcept {
    return MuxerForWinMedia::Create().release();
}

uint32_t WriterDestroy(void* hWriter) noexcept {
    // The finish status has nowhere to go: the handle is gone.
    std::unique_ptr<MuxerForWinMedia> pMuxer(Muxer(hWriter));
    return PLUG_S_OK;
}

uint32_t WriterOpen(void* hWriter, const SPlugSourceList* pTarget, const SPlugMuxParam* pParams) noexcept {
    if (!hWriter) return PLUG_E_NO_HANDLE;
    return Muxer(hWriter)->Open(pTarget, pParams);
}

uint32_t WriterIsAudioBehind(void* hWriter) noexcept {
    if (!hWriter) return PLUG_E_NO_HANDLE;
    return Muxer(hWriter)->IsAudioBehind();
}

uint32_t WriterPutStreamData(void* hWriter, uint32_t dwEsPid, const uint8_t* pData,
                             const SPlugFrameInfo* pInfo) noexcept {
    if (!hWriter) return PLUG_E_NO_HANDLE;
    return Muxer(hWriter)->PutStreamData(dwEsPid, pData, pInfo);
}

uint32_t PluginQueryControl(void* hWriter, uint32_t dwCategory, uint32_t dwItem, void* /*pReserved*/,
                            uint32_t* pSize, void* pOutput) noexcept {
    if (!hWriter) return PLUG_E_NO_HANDLE;
    return QueryControl(*Muxer(hWriter), dwCategory, dwItem, pSize, pOutput);
}
