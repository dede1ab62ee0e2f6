#include "vrxwm/CPlugin.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr const char* kPluginName = "libVRXPlugWinMediaCodecU.so";
constexpr uint32_t kCoInitMultithreaded = 0;

// The plug-in beside this program: the build tree's lib/ or the installed
// library folder next to bin/. Named by its full path rather than left to
// the run path, which the loader does not consult when a sanitizer's
// dlopen interceptor stands between this program and the loader.
std::string DefaultPluginPath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        for (const char* libdir : {"lib", VRXWM_INSTALL_LIBDIR}) {
            const auto candidate = exe.parent_path().parent_path() / libdir / kPluginName;
            if (std::filesystem::exists(candidate, ec)) return candidate.string();
        }
    }
    return kPluginName;
}

std::string DlError() {
    const char* text = dlerror();
    return text ? text : "unknown reason";
}

}  // namespace

CPlugin& CPlugin::Get() {
    const char* pszPath = std::getenv("VRXWM_PLUGIN");
    static CPlugin s_plugin(pszPath && *pszPath ? std::string(pszPath) : DefaultPluginPath());
    return s_plugin;
}

CPlugin::CPlugin(const std::string& path) : m_path(path) {
    // Never closed: a writer that timed out may leave one of its threads
    // running inside the plug-in until the process ends.
    m_hLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_hLibrary)
        throw CStatusError(kStatusFileNotFound, "cannot load the plug-in " + path + ": " + DlError());
    m_pfnGetProc = reinterpret_cast<void* (*)(unsigned int)>(dlsym(m_hLibrary, "VRXPlugGetProcByOrdinal"));
    // dlsym on the handle searches the plug-in's dependencies too: the
    // platform library and the host library it was linked with.
    auto pfnCoInit = reinterpret_cast<int32_t (*)(void*, uint32_t)>(dlsym(m_hLibrary, "CoInitializeEx"));
    m_pfnClearDiskError = reinterpret_cast<void (*)(char16_t)>(dlsym(m_hLibrary, "VRX_ClearDiskError"));
    if (!m_pfnGetProc || !pfnCoInit || !m_pfnClearDiskError)
        throw CStatusError(kStatusNotSupported, path + " is not the Windows Media plug-in: " + DlError());
    const int32_t hr = pfnCoInit(nullptr, kCoInitMultithreaded);
    if (hr < 0) throw CStatusError(static_cast<uint32_t>(hr), "cannot initialise COM");
}

void* CPlugin::Lookup(PlugOrdinal ordinal) const {
    void* pEntry = m_pfnGetProc(ordinal);
    if (!pEntry)
        throw CStatusError(kStatusNotSupported, "the plug-in has no entry point " + std::to_string(ordinal));
    return pEntry;
}

void CPlugin::ClearDiskError(char16_t drive) const noexcept {
    m_pfnClearDiskError(drive);
}
