#include "writer/WriterExports.h"

#include "plugin/PlugStatus.h"

// The writer is not built yet: no handle can be created, and every
// operation answers "not supported" without looking at its arguments.

void* WriterCreate() noexcept {
    return nullptr;
}

uint32_t WriterDestroy(void*) noexcept {
    return PLUG_E_NOT_SUPPORTED;
}

uint32_t WriterOpen(void*, const SPlugSourceList*, const SPlugMuxParam*) noexcept {
    return PLUG_E_NOT_SUPPORTED;
}

uint32_t WriterIsAudioBehind(void*) noexcept {
    return PLUG_E_NOT_SUPPORTED;
}

uint32_t WriterPutStreamData(void*, uint32_t, const uint8_t*, const SPlugFrameInfo*) noexcept {
    return PLUG_E_NOT_SUPPORTED;
}

uint32_t PluginQueryControl(void*, uint32_t, uint32_t, void*, uint32_t*, void*) noexcept {
    return PLUG_E_NOT_SUPPORTED;
}
