#include "win/FindFile.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "win/HandleTable.h"
#include "win/LastError.h"
#include "win/Posix.h"
#include "win/WideString.h"

namespace {

using vrx::CKernelObject;

WCHAR FoldAscii(WCHAR c) noexcept { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c - u'A' + u'a') : c; }

// Wildcard match with one point of return: on a mismatch after a *, the *
// takes one more character and matching resumes. Linear in practice and
// never worse than name length times pattern length.
bool Matches(std::u16string_view pattern, std::u16string_view name) noexcept {
    size_t p = 0, n = 0;
    size_t star = std::u16string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// 100 ns units since 1601-01-01, the platform's file time.
FILETIME FileTimeOf(const timespec& t) noexcept {
    constexpr uint64_t kSecondsFrom1601To1970 = 11'644'473'600;
    const uint64_t value = (static_cast<uint64_t>(t.tv_sec) + kSecondsFrom1601To1970) * 10'000'000u +
                           static_cast<uint64_t>(t.tv_nsec) / 100u;
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

struct DirCloser {
    void operator()(DIR* p) const noexcept { closedir(p); }
};

class CFind final : public CKernelObject {
public:
    CFind(std::unique_ptr<DIR, DirCloser> pDir, std::u16string pattern) noexcept
        : CKernelObject(Kind::Find), m_pDir(std::move(pDir)), m_pattern(std::move(pattern)) {}

    // The next matching entry; false at the end of the folder.
    bool Next(WIN32_FIND_DATAW& data) {
        std::lock_guard lock(m_mutex);
        while (const dirent* pEntry = readdir(m_pDir.get())) {
            const std::u16string name = vrx::Utf8ToUtf16(pEntry->d_name);
            if (name.size() >= MAX_PATH || !Matches(m_pattern, name)) continue;
            struct stat st = {};
            // A dangling link is still listed, as the link itself.
            if (fstatat(dirfd(m_pDir.get()), pEntry->d_name, &st, 0) != 0 &&
                fstatat(dirfd(m_pDir.get()), pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            Fill(data, name, st);
            return true;
        }
        return false;
    }

private:
    static void Fill(WIN32_FIND_DATAW& data, const std::u16string& name, const struct stat& st) noexcept {
        data = WIN32_FIND_DATAW{};
        if (S_ISDIR(st.st_mode)) data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
        if (data.dwFileAttributes == 0) data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
        data.ftCreationTime = FileTimeOf(st.st_ctim);
        data.ftLastAccessTime = FileTimeOf(st.st_atim);
        data.ftLastWriteTime = FileTimeOf(st.st_mtim);
        if (!S_ISDIR(st.st_mode)) {
            const auto size = static_cast<uint64_t>(st.st_size);
            data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
            data.nFileSizeLow = static_cast<DWORD>(size);
        }
        std::copy(name.begin(), name.end(), data.cFileName);
    }

    std::mutex m_mutex;
    const std::unique_ptr<DIR, DirCloser> m_pDir;
    const std::u16string m_pattern;
};

}  // namespace

extern "C" HANDLE FindFirstFileW(LPCWSTR lpFileName, WIN32_FIND_DATAW* lpFindFileData) noexcept try {
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::u16string_view spec(lpFileName);
    const size_t separator = spec.find_last_of(u"/\\");
    const std::u16string pattern(separator == std::u16string_view::npos ? spec : spec.substr(separator + 1));
    std::string folder = ".";
    if (separator != std::u16string_view::npos)
        folder = separator == 0 ? "/" : vrx::PosixPath(spec.substr(0, separator));
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    std::unique_ptr<DIR, DirCloser> pDir(opendir(folder.c_str()));
    if (!pDir) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : vrx::Win32ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto pFind = std::make_shared<CFind>(std::move(pDir), pattern);
    if (!pFind->Next(*lpFindFileData)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE hFind = vrx::InsertHandle(std::move(pFind));
    return hFind ? hFind : INVALID_HANDLE_VALUE;
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
}

extern "C" BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData) noexcept try {
    const auto pFind = vrx::LookupHandleAs<CFind>(hFindFile, CKernelObject::Kind::Find);
    if (!pFind) return FALSE;
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pFind->Next(*lpFindFileData)) return TRUE;
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
}

extern "C" BOOL FindClose(HANDLE hFindFile) noexcept {
    return vrx::RemoveHandle(hFindFile, CKernelObject::Kind::Find) ? TRUE : FALSE;
}
