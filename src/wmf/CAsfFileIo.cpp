#include "wmf/CAsfFileIo.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "win/NsError.h"

namespace {

constexpr int kIoBufferSize = 64 * 1024;

// A FIFO whose reader went away raises SIGPIPE, which would end the host's
// process; the signal is held back for the one write and then discarded.
class CSigPipeGuard {
public:
    CSigPipeGuard() noexcept {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    }
    ~CSigPipeGuard() {
        const timespec zero{};
        while (sigtimedwait(&m_set, nullptr, &zero) == SIGPIPE) {
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    CSigPipeGuard(const CSigPipeGuard&) = delete;
    CSigPipeGuard& operator=(const CSigPipeGuard&) = delete;

private:
    sigset_t m_set{};
    sigset_t m_old{};
};

}  // namespace

CAsfFileIo::~CAsfFileIo() { Close(); }

HRESULT CAsfFileIo::HrFromErrno(int err, bool bOpening) noexcept {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
        return E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return bOpening ? NS_E_FILE_OPEN_FAILED : NS_E_FILE_WRITE;
    }
}

HRESULT CAsfFileIo::Create(const std::string& path, DWORD msStallLimit) noexcept {
    if (m_fd >= 0) return E_UNEXPECTED;
    // Non-blocking, so that opening a FIFO without a reader fails at once
    // instead of waiting for one.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return HrFromErrno(errno, /*bOpening=*/true);
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return HrFromErrno(err, /*bOpening=*/true);
    }
    m_fd = fd;
    m_bSeekable = S_ISREG(st.st_mode);
    m_msStallLimit = msStallLimit;
    m_hrLast = S_OK;

    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer) return E_OUTOFMEMORY;
    AVIOContext* pIo = avio_alloc_context(buffer, kIoBufferSize, /*write_flag=*/1, this, nullptr,
                                          &CAsfFileIo::Write,
                                          m_bSeekable ? &CAsfFileIo::Seek : nullptr);
    if (!pIo) {
        av_free(buffer);
        return E_OUTOFMEMORY;
    }
    m_pIo.reset(pIo);
    m_pIo->seekable = m_bSeekable ? AVIO_SEEKABLE_NORMAL : 0;
    return S_OK;
}

int CAsfFileIo::Fail(HRESULT hr) noexcept {
    if (SUCCEEDED(m_hrLast)) m_hrLast = hr;
    return AVERROR(EIO);
}

int CAsfFileIo::WriteAll(const uint8_t* buf, int size) noexcept {
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, buf + done, static_cast<size_t>(size - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{m_fd, POLLOUT, 0};
            const int ready = poll(&pfd, 1, static_cast<int>(m_msStallLimit));
            if (ready == 0) return Fail(NS_E_TIMEOUT);
            if (ready < 0 && errno != EINTR) return Fail(NS_E_FILE_WRITE);
            continue;
        }
        return Fail(n < 0 ? HrFromErrno(errno, /*bOpening=*/false) : NS_E_FILE_WRITE);
    }
    return size;
}

int CAsfFileIo::Write(void* opaque, uint8_t* buf, int size) noexcept {
    auto* self = static_cast<CAsfFileIo*>(opaque);
    // Once the file failed, nothing more goes to it: a later write that
    // happened to succeed would make a broken file look whole.
    if (FAILED(self->m_hrLast)) return AVERROR(EIO);
    if (self->m_bSeekable) return self->WriteAll(buf, size);
    CSigPipeGuard guard;
    return self->WriteAll(buf, size);
}

int64_t CAsfFileIo::Seek(void* opaque, int64_t offset, int whence) noexcept {
    auto* self = static_cast<CAsfFileIo*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        if (fstat(self->m_fd, &st) != 0) return AVERROR(errno);
        return st.st_size;
    }
    const off_t pos = lseek(self->m_fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    if (pos < 0) return AVERROR(errno);
    return pos;
}

HRESULT CAsfFileIo::Close() noexcept {
    if (m_pIo) {
        avio_flush(m_pIo.get());
        if (m_pIo->error < 0 && SUCCEEDED(m_hrLast)) m_hrLast = NS_E_FILE_WRITE;
        m_pIo.reset();
    }
    if (m_fd >= 0) {
        // close() is where some file systems report a write that failed late.
        if (::close(m_fd) != 0 && SUCCEEDED(m_hrLast))
            m_hrLast = HrFromErrno(errno, /*bOpening=*/false);
        m_fd = -1;
    }
    return m_hrLast;
}
