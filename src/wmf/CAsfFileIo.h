// The output file under the ASF muxer: an AVIOContext over a file descriptor
// this object opens itself, so that the reason of a failed write (a full
// disk, a reader that stopped taking data) comes back as the platform's
// result code instead of FFmpeg's bare EIO.
//
// Regular files are seekable (the muxer rewrites its header at the end);
// anything else (a FIFO, a character device) is written strictly forward.
// A write that cannot make progress for msStallLimit milliseconds fails, so
// an output nobody drains never blocks the writer forever.
// One caller at a time.
#pragma once

#include <string>

#include "wmf/AvPtr.h"
#include "win/WinError.h"

class CAsfFileIo {
public:
    static constexpr DWORD kDefaultStallLimit = 20'000;  // ms

    CAsfFileIo() noexcept = default;
    ~CAsfFileIo();
    CAsfFileIo(const CAsfFileIo&) = delete;
    CAsfFileIo& operator=(const CAsfFileIo&) = delete;

    // Creates the file or truncates an existing one. Missing folder:
    // HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND); no permission: E_ACCESSDENIED;
    // a FIFO without a reader or anything else: NS_E_FILE_OPEN_FAILED.
    HRESULT Create(const std::string& path, DWORD msStallLimit = kDefaultStallLimit) noexcept;

    // Owned by this object; null before Create.
    AVIOContext* Context() const noexcept { return m_pIo.get(); }
    bool Seekable() const noexcept { return m_bSeekable; }

    // The first failure of the file itself (S_OK while there is none).
    HRESULT LastError() const noexcept { return m_hrLast; }

    // From now on nothing more reaches the file (every write fails), so
    // that what is on disk stays as it is.
    void Refuse() noexcept {
        if (SUCCEEDED(m_hrLast)) m_hrLast = E_ABORT;
    }

    // Flushes what AVIO holds and closes the descriptor; the first failure
    // seen during the file's life, or S_OK. Safe to call twice.
    HRESULT Close() noexcept;

    // The platform's code for an errno of the file system.
    static HRESULT HrFromErrno(int err, bool bOpening) noexcept;

private:
    // AVIO callbacks; FFmpeg calls them on the thread inside the muxer call.
    static int Write(void* opaque, uint8_t* buf, int size) noexcept;
    static int64_t Seek(void* opaque, int64_t offset, int whence) noexcept;
    int WriteAll(const uint8_t* buf, int size) noexcept;
    int Fail(HRESULT hr) noexcept;

    int m_fd = -1;
    bool m_bSeekable = false;
    DWORD m_msStallLimit = kDefaultStallLimit;
    HRESULT m_hrLast = S_OK;
    AvPtr<AVIOContext> m_pIo;
};
