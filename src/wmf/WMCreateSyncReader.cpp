// The reader's creation function, with the platform's C linkage.
#include <cstdlib>
#include <mutex>

#include "win/Com.h"
#include "wmf/CWmSyncReader.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

// FFmpeg reports damaged data on stderr, which is no place for a host's
// library; VRX_FFMPEG_LOG=1 keeps its messages for debugging.
void QuietFfmpeg() noexcept {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* keep = std::getenv("VRX_FFMPEG_LOG");
        if (!keep || *keep != '1') av_log_set_level(AV_LOG_QUIET);
    });
}

}  // namespace

// No certificate or rights are checked: the layer reads no protected content.
extern "C" HRESULT WMCreateSyncReader(IUnknown* /*pUnkCert*/, DWORD /*dwRights*/,
                                      IWMSyncReader** ppSyncReader) noexcept {
    if (!ppSyncReader) return E_POINTER;
    *ppSyncReader = nullptr;
    if (!VrxComIsInitialized()) return CO_E_NOTINITIALIZED;
    QuietFfmpeg();
    return CWmSyncReader::Create(ppSyncReader);
}
