// A media type read from any IWMMediaProps the way the runtime hands it out:
// the size first, then the structure with its format block behind it, into a
// buffer of that size. Owns the buffer; not thread-safe.
#pragma once

#include <cstdint>
#include <vector>

#include "wmf/WmInterfaces.h"

class CMediaTypeBuffer {
public:
    // S_OK, the first status other than S_OK of the two GetMediaType calls,
    // or E_OUTOFMEMORY. Earlier content is dropped in every case.
    HRESULT Read(IWMMediaProps* pProps) noexcept;

    // Null until a Read succeeded.
    const WM_MEDIA_TYPE* Get() const noexcept;

    // The format block as its structure, or null when the format type
    // differs or the block is too short for the structure.
    const VIDEOINFOHEADER* VideoInfo() const noexcept;
    const WAVEFORMATEX* WaveFormat() const noexcept;

    // The bytes of the format block from offset on (0 past its end).
    DWORD FormatBytesFrom(size_t offset) const noexcept;

private:
    // 8-byte units keep the structure's pointers and 64-bit fields aligned.
    std::vector<uint64_t> m_buffer;
    bool m_bValid = false;
};
