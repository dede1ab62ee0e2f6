// A test IStream over a file on disk (see CReadOnlyStream for how it
// behaves), for measurements where holding the whole file in memory would
// hide what the reader itself holds.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "wmf/ReadOnlyStream.h"

class CFileStream final : public CReadOnlyStream {
public:
    // Null when the file cannot be opened.
    static CFileStream* Open(const std::filesystem::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat st {};
        ::fstat(fd, &st);
        return new CFileStream(fd, static_cast<uint64_t>(st.st_size));
    }
    uint64_t Size() const noexcept override { return m_cbSize; }

private:
    CFileStream(int fd, uint64_t cbSize) noexcept : m_fd(fd), m_cbSize(cbSize) {}
    ~CFileStream() override { ::close(m_fd); }
    ULONG ReadAt(uint64_t pos, void* pv, ULONG cb) noexcept override {
        const ssize_t n = ::pread(m_fd, pv, cb, static_cast<off_t>(pos));
        return n > 0 ? static_cast<ULONG>(n) : 0;
    }

    int m_fd;
    uint64_t m_cbSize;
};
