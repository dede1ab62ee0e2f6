// The plug-in as any host reaches it: loaded with dlopen, every operation
// found by its ordinal. Besides the ordinals the tool uses exactly two
// functions: CoInitializeEx of the platform library and VRX_ClearDiskError
// of the host library, both found through the plug-in's own dependencies.
//
// COM is initialised on the thread that loads the plug-in; the tool calls
// the plug-in from that thread only.
#pragma once

#include <filesystem>
#include <string>

#include "vrx/PlugOrdinals.h"

class CPlugin {
public:
    // The process's plug-in, loaded on first use: VRXWM_PLUGIN names it, or
    // libVRXPlugWinMediaCodecU.so is taken from the library folder beside
    // bin/ (built or installed), or wherever the loader finds it. Throws
    // CStatusError.
    static CPlugin& Get();

    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    // The entry point of an ordinal as its PFN_ type; throws CStatusError
    // (not supported) when the plug-in assigns nothing to it.
    template <class PFN>
    PFN Entry(PlugOrdinal ordinal) const {
        return reinterpret_cast<PFN>(Lookup(ordinal));
    }

    // A job writing under this drive starts with a clean slate: the writer
    // marks a drive failed after a time-out, and the mark outlives the job.
    void ClearDiskError(char16_t drive) const noexcept;

    const std::string& Path() const noexcept { return m_path; }

private:
    explicit CPlugin(const std::string& path);
    void* Lookup(PlugOrdinal ordinal) const;

    std::string m_path;
    void* m_hLibrary = nullptr;
    void* (*m_pfnGetProc)(unsigned int) = nullptr;
    void (*m_pfnClearDiskError)(char16_t) = nullptr;
};
