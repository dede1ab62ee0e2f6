#include "win/Files.h"

#include <cerrno>
#include <memory>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "win/HandleTable.h"
#include "win/LastError.h"
#include "win/Posix.h"

namespace {

using vrx::CKernelObject;

class CFile final : public CKernelObject {
public:
    CFile(int fd, bool bRead, bool bWrite) noexcept
        : CKernelObject(Kind::File), m_fd(fd), m_bRead(bRead), m_bWrite(bWrite) {}
    ~CFile() override { close(m_fd); }

    int Fd() const noexcept { return m_fd; }
    bool CanRead() const noexcept { return m_bRead; }
    bool CanWrite() const noexcept { return m_bWrite; }

private:
    const int m_fd;
    const bool m_bRead;
    const bool m_bWrite;
};

void LastErrorFromErrno() noexcept { SetLastError(vrx::Win32ErrorFromErrno(errno)); }

// A missing file in an existing folder is "file not found"; a missing folder
// on the way is "path not found", as the platform tells them apart.
void SetOpenFailure(const std::string& path) {
    if (errno != ENOENT) return LastErrorFromErrno();
    const auto slash = path.find_last_of('/');
    struct stat st = {};
    const bool bFolderExists =
        slash == std::string::npos ||
        (stat(slash == 0 ? "/" : path.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    SetLastError(bFolderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
}

// Moves cb bytes with io(fd, bytes done, bytes left), a read(2) or write(2)
// at the right place in the caller's buffer. A read stops early at the end of
// the file.
template <class Io>
BOOL Transfer(HANDLE hFile, bool bWrite, bool bHasBuffer, DWORD cb, DWORD* pcbDone, void* pOverlapped,
              Io io) noexcept {
    if (pcbDone) *pcbDone = 0;
    const auto pFile = vrx::LookupHandleAs<CFile>(hFile, CKernelObject::Kind::File);
    if (!pFile) return FALSE;
    if (pOverlapped || (!bHasBuffer && cb > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(bWrite ? pFile->CanWrite() : pFile->CanRead())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD cbDone = 0;
    BOOL bOk = TRUE;
    while (cbDone < cb) {
        const ssize_t n = io(pFile->Fd(), cbDone, cb - cbDone);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            LastErrorFromErrno();
            bOk = FALSE;
            break;
        }
        if (n == 0) break;
        cbDone += static_cast<DWORD>(n);
    }
    if (pcbDone) *pcbDone = cbDone;
    return bOk;
}

}  // namespace

extern "C" HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                              void* /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                              DWORD /*dwFlagsAndAttributes*/, HANDLE /*hTemplateFile*/) noexcept try {
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const bool bRead = dwDesiredAccess & GENERIC_READ;
    const bool bWrite = dwDesiredAccess & GENERIC_WRITE;
    const int access = O_CLOEXEC | (bWrite ? (bRead ? O_RDWR : O_WRONLY) : O_RDONLY);
    const std::string path = vrx::PosixPath(lpFileName);
    constexpr mode_t kMode = 0666;  // narrowed by the umask, as for any new file

    int fd = -1;
    bool bExisted = false;
    switch (dwCreationDisposition) {
    case CREATE_NEW: fd = open(path.c_str(), access | O_CREAT | O_EXCL, kMode); break;
    case OPEN_EXISTING: fd = open(path.c_str(), access); break;
    case TRUNCATE_EXISTING:
        if (!bWrite) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        fd = open(path.c_str(), access | O_TRUNC);
        break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        // Try to create first, so that we know whether the file was there.
        fd = open(path.c_str(), access | O_CREAT | O_EXCL, kMode);
        if (fd < 0 && errno == EEXIST) {
            bExisted = true;
            fd = open(path.c_str(), access | (dwCreationDisposition == CREATE_ALWAYS ? O_TRUNC : 0));
        }
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if (fd < 0) {
        SetOpenFailure(path);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<CFile> pFile;
    try {
        pFile = std::make_shared<CFile>(fd, bRead, bWrite);
    } catch (const std::bad_alloc&) {
        close(fd);
        throw;
    }
    const HANDLE hFile = vrx::InsertHandle(std::move(pFile));
    if (!hFile) return INVALID_HANDLE_VALUE;
    if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
        SetLastError(bExisted ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return hFile;
} catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
}

extern "C" DWORD GetFileSize(HANDLE hFile, DWORD* lpFileSizeHigh) noexcept {
    const auto pFile = vrx::LookupHandleAs<CFile>(hFile, CKernelObject::Kind::File);
    if (!pFile) return INVALID_FILE_SIZE;
    struct stat st = {};
    if (fstat(pFile->Fd(), &st) != 0) {
        LastErrorFromErrno();
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    const auto low = static_cast<DWORD>(size);
    if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
    return low;
}

extern "C" BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
                         void* lpOverlapped) noexcept {
    auto* pBytes = static_cast<unsigned char*>(lpBuffer);
    return Transfer(hFile, /*bWrite=*/false, lpBuffer != nullptr, nNumberOfBytesToRead, lpNumberOfBytesRead,
                    lpOverlapped,
                    [pBytes](int fd, DWORD cbDone, DWORD cbLeft) { return read(fd, pBytes + cbDone, cbLeft); });
}

extern "C" BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite,
                          DWORD* lpNumberOfBytesWritten, void* lpOverlapped) noexcept {
    const auto* pBytes = static_cast<const unsigned char*>(lpBuffer);
    return Transfer(hFile, /*bWrite=*/true, lpBuffer != nullptr, nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                    lpOverlapped,
                    [pBytes](int fd, DWORD cbDone, DWORD cbLeft) { return write(fd, pBytes + cbDone, cbLeft); });
}
