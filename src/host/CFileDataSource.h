// The data source that CSoftDataSource::Construct(IOWORKMODE_READ) makes: a
// file read with POSIX I/O, 64-bit offsets throughout.
//
// One object serves one caller at a time (the reader's stream adapter); it
// takes no lock. Open on an open source closes the first file. The
// destructor closes whatever is still open.
#pragma once

#include "vrx/VRXHost.h"

class CFileDataSource final : public CSoftDataSource {
public:
    CFileDataSource() = default;
    ~CFileDataSource() override;

    // name is UTF-16 and becomes the UTF-8 path. Returns 0, or a negative
    // HRESULT: a missing file gives 0x80070002, a folder 0x80070005 (as
    // opening a folder as a file does on Windows). flags 0x08000000 tells
    // the kernel the file will be read in order. secondName is not used.
    int32_t Open(const vrx::WChar* name, uint32_t flags, const vrx::WChar* secondName,
                 uint64_t reserved) override;
    void Close() override;
    void Cleanup() override;
    // offset is a two's-complement move for modes 3 and 2, as a file pointer
    // move is on Windows. Returns the new position, or UINT64_MAX with the
    // position unchanged for a bad mode, a position before the start, or
    // no open file.
    uint64_t Seek(uint64_t offset, uint32_t mode) override;
    // Reads until count bytes are in, the file ends or an error other than
    // an interruption occurs.
    uint32_t Read(void* buffer, uint32_t count) override;
    // 0 with no open file.
    uint64_t GetSize() override;

private:
    int m_fd = -1;
};
