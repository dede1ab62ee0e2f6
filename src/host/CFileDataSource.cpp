#include "host/CFileDataSource.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "win/WideString.h"
#include "win/WinError.h"

namespace {

constexpr uint32_t kFlagSequentialScan = 0x08000000;

constexpr uint32_t kSeekFromStart = 1;
constexpr uint32_t kSeekFromEnd = 2;
constexpr uint32_t kSeekFromCurrent = 3;

int32_t StatusFromErrno(int err) noexcept {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EISDIR: return E_ACCESSDENIED;
    case ENOMEM: return E_OUTOFMEMORY;
    default: return E_FAIL;
    }
}

}  // namespace

CFileDataSource::~CFileDataSource() { Close(); }

int32_t CFileDataSource::Open(const vrx::WChar* name, uint32_t flags, const vrx::WChar*, uint64_t) {
    Close();
    if (!name || !*name) return E_INVALIDARG;
    std::string path;
    try {
        path = vrx::Utf16ToUtf8(name);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return StatusFromErrno(errno);
    // Seeking and sizing need a regular file.
    struct stat st {};
    const int err = ::fstat(fd, &st) != 0 ? errno
                    : S_ISDIR(st.st_mode)  ? EISDIR
                    : S_ISREG(st.st_mode)  ? 0
                                           : EINVAL;
    if (err != 0) {
        ::close(fd);
        return StatusFromErrno(err);
    }
    if (flags & kFlagSequentialScan) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    return S_OK;
}

void CFileDataSource::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

// Nothing beyond the open file is held, so cleaning up is closing.
void CFileDataSource::Cleanup() { Close(); }

uint64_t CFileDataSource::Seek(uint64_t offset, uint32_t mode) {
    if (m_fd < 0) return UINT64_MAX;
    int whence = SEEK_SET;
    switch (mode) {
    case kSeekFromStart: whence = SEEK_SET; break;
    case kSeekFromCurrent: whence = SEEK_CUR; break;
    case kSeekFromEnd: whence = SEEK_END; break;
    default: return UINT64_MAX;
    }
    // From the start the offset is a position; above INT64_MAX it is none.
    if (whence == SEEK_SET && offset > static_cast<uint64_t>(INT64_MAX)) return UINT64_MAX;
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    return pos < 0 ? UINT64_MAX : static_cast<uint64_t>(pos);
}

uint32_t CFileDataSource::Read(void* buffer, uint32_t count) {
    if (m_fd < 0 || !buffer) return 0;
    auto* p = static_cast<uint8_t*>(buffer);
    uint32_t total = 0;
    while (total < count) {
        const ssize_t n = ::read(m_fd, p + total, count - total);
        if (n > 0) {
            total += static_cast<uint32_t>(n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    return total;
}

uint64_t CFileDataSource::GetSize() {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}
