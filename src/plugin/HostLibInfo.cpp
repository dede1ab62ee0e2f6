#include "plugin/HostLibInfo.h"

#include <dlfcn.h>

#include "plugin/ExportTable.h"
#include "plugin/PlugStatus.h"

namespace {

constexpr char kHostSysLibrary[] = "libVRXVelmoraSysU.so";

// The host's library is already loaded as our dependency. A plain call of
// QZGetLibInfo from here could bind to our own export of the same name, so
// the host's is looked up inside its library.
void* OpenLoadedHostLibrary() noexcept {
    if (void* hLib = dlopen(kHostSysLibrary, RTLD_NOW | RTLD_NOLOAD)) return hLib;
    // A host may ship the library under another file name: find it through
    // a function only it provides.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&VRX_OutputW), &info) == 0 || !info.dli_fname) {
        return nullptr;
    }
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

// The library handle stays open for the life of the process: the plug-in
// needs the library anyway, and the function pointer must stay valid.
PFN_QZGetLibInfo ResolveHostLibInfo() noexcept {
    void* hLib = OpenLoadedHostLibrary();
    return hLib ? reinterpret_cast<PFN_QZGetLibInfo>(dlsym(hLib, "QZGetLibInfo")) : nullptr;
}

}  // namespace

uint32_t ForwardQZGetLibInfo(SVRXLibInfo* info) noexcept {
    static const PFN_QZGetLibInfo s_pfnHost = ResolveHostLibInfo();
    return s_pfnHost ? s_pfnHost(info) : PLUG_E_NOT_SUPPORTED;
}

// Declared without noexcept in the host's header; it cannot throw all the same.
extern "C" VRX_PLUG_EXPORT uint32_t QZGetLibInfo(SVRXLibInfo* info) {
    return ForwardQZGetLibInfo(info);
}
