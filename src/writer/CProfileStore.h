// The profile manager that one profile build works through, and the system
// profile version the profile being built must have.
//
// Owned by the profile builder for one build and used on that build's
// thread only; nothing else keeps a reference to it. When the environment
// variable VELMORAPROFILE names a folder, the .prx files found there are
// read into memory on construction (at most kMaxProfileTexts of them); no
// profile is ever taken from them, every profile is built from codec
// formats.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "wmf/WmInterfaces.h"

class CProfileStore {
public:
    static constexpr size_t kMaxProfileTexts = 50;

    // Creates the manager and sets WMT_VER_7_0. Without a manager (the
    // runtime is unusable on this thread) Manager() is null and every build
    // through the store fails.
    CProfileStore() noexcept;
    CProfileStore(const CProfileStore&) = delete;
    CProfileStore& operator=(const CProfileStore&) = delete;

    // Asks the manager for that system profile version and records it.
    // Fails, recording nothing, when the manager has no IWMProfileManager2;
    // the result of SetSystemProfileVersion itself is not looked at.
    HRESULT SetProfileVersion(WMT_VERSION dwVersion) noexcept;

    IWMProfileManager* Manager() const noexcept { return m_pManager.Get(); }
    WMT_VERSION ProfileVersion() const noexcept { return m_dwVersion; }

    // The .prx files read at construction, each a buffer twice the file's
    // size whose first half holds the file's bytes.
    size_t ProfileTextCount() const noexcept { return m_texts.size(); }
    std::span<const BYTE> ProfileText(size_t index) const noexcept { return m_texts[index]; }

private:
    void ReadProfileFolder() noexcept;

    ComPtr<IWMProfileManager> m_pManager;
    WMT_VERSION m_dwVersion = WMT_VER_7_0;
    std::vector<std::vector<BYTE>> m_texts;
};
