#include "writer/CProfileStore.h"

#include <new>
#include <string>

#include "win/Windows.h"

namespace {

// The folder's name, terminator included; a longer value is not used.
constexpr DWORD kFolderChars = 1024;

// Closes a handle of the kind Close takes when it goes out of scope.
template <BOOL (*Close)(HANDLE)>
class CScopedHandle {
public:
    explicit CScopedHandle(HANDLE h) noexcept : m_h(h) {}
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    ~CScopedHandle() {
        if (IsValid()) Close(m_h);
    }
    bool IsValid() const noexcept { return m_h && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const noexcept { return m_h; }

private:
    HANDLE m_h;
};

// The whole file in a buffer twice its size, or nothing when it cannot be
// opened or sized. Throws std::bad_alloc.
bool ReadProfileFile(const std::u16string& path, std::vector<BYTE>& text) {
    const CScopedHandle<CloseHandle> file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    const DWORD cbFile = GetFileSize(file.Get(), nullptr);
    if (cbFile == INVALID_FILE_SIZE) return false;
    text.assign(size_t{cbFile} * 2, 0);
    DWORD cbRead = 0;
    ReadFile(file.Get(), text.data(), cbFile, &cbRead, nullptr);
    return true;
}

}  // namespace

CProfileStore::CProfileStore() noexcept {
    WMCreateProfileManager(m_pManager.Put());
    SetProfileVersion(WMT_VER_7_0);
    ReadProfileFolder();
}

HRESULT CProfileStore::SetProfileVersion(WMT_VERSION dwVersion) noexcept {
    ComPtr<IWMProfileManager2> pManager2;
    const HRESULT hr = m_pManager.As(pManager2);
    if (FAILED(hr)) return hr;
    pManager2->SetSystemProfileVersion(dwVersion);
    m_dwVersion = dwVersion;
    return hr;
}

void CProfileStore::ReadProfileFolder() noexcept try {
    WCHAR szFolder[kFolderChars] = {};
    const DWORD cchFolder = GetEnvironmentVariableW(u"VELMORAPROFILE", szFolder, kFolderChars);
    // 0: unset or empty; kFolderChars or more: the size it would need.
    if (cchFolder == 0 || cchFolder >= kFolderChars) return;

    const std::u16string folder(szFolder, cchFolder);
    WIN32_FIND_DATAW findData{};
    const CScopedHandle<FindClose> find(FindFirstFileW((folder + u"\\*.prx").c_str(), &findData));
    if (!find.IsValid()) return;
    m_texts.reserve(kMaxProfileTexts);
    do {
        if (findData.cFileName[0] == 0) continue;
        std::vector<BYTE> text;
        if (ReadProfileFile(folder + u"\\" + findData.cFileName, text)) {
            m_texts.push_back(std::move(text));
        }
    } while (m_texts.size() < kMaxProfileTexts && FindNextFileW(find.Get(), &findData));
} catch (const std::bad_alloc&) {
    // Running out of memory ends the scan; the texts read so far stay.
}
