// A test IStream over bytes in memory (see CReadOnlyStream for how it
// behaves); it counts the calls it gets so that tests can see what the
// layer asks of it.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "wmf/ReadOnlyStream.h"

class CMemoryStream final : public CReadOnlyStream {
public:
    static CMemoryStream* Create(std::vector<BYTE> bytes) { return new CMemoryStream(std::move(bytes)); }
    static CMemoryStream* FromFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return Create(std::vector<BYTE>(std::istreambuf_iterator<char>(in), {}));
    }
    uint64_t Size() const noexcept override { return m_bytes.size(); }

private:
    explicit CMemoryStream(std::vector<BYTE> bytes) : m_bytes(std::move(bytes)) {}
    ULONG ReadAt(uint64_t pos, void* pv, ULONG cb) noexcept override {
        const size_t n = pos < m_bytes.size() ? std::min<size_t>(cb, m_bytes.size() - pos) : 0;
        if (n) std::memcpy(pv, m_bytes.data() + pos, n);
        return static_cast<ULONG>(n);
    }

    std::vector<BYTE> m_bytes;
};
