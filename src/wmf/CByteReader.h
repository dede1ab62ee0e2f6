// Little-endian reading of a byte range that never runs past its end: a read
// beyond the end yields zeros and marks the reader failed, so a parser can
// read a whole record and check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "win/Guid.h"

class CByteReader {
public:
    CByteReader(const uint8_t* p, size_t cb) noexcept : m_p(p), m_cb(p ? cb : 0) {}

    bool Ok() const noexcept { return !m_bFailed; }
    size_t Offset() const noexcept { return m_off; }
    size_t Remaining() const noexcept { return m_cb - m_off; }
    const uint8_t* Here() const noexcept { return m_p + m_off; }

    // Moves n bytes on, or fails and moves to the end.
    bool Skip(uint64_t n) noexcept {
        if (n > Remaining()) {
            m_off = m_cb;
            m_bFailed = true;
            return false;
        }
        m_off += static_cast<size_t>(n);
        return true;
    }
    uint8_t U8() noexcept { return static_cast<uint8_t>(Le(1)); }
    uint16_t U16() noexcept { return static_cast<uint16_t>(Le(2)); }
    uint32_t U32() noexcept { return static_cast<uint32_t>(Le(4)); }
    uint64_t U64() noexcept { return Le(8); }
    GUID Guid() noexcept {
        GUID g{};
        g.Data1 = U32();
        g.Data2 = U16();
        g.Data3 = U16();
        for (auto& b : g.Data4) b = U8();
        return g;
    }
    // The next n bytes in place, or null (and failed) when fewer remain.
    const uint8_t* Bytes(uint64_t n) noexcept {
        const uint8_t* p = Here();
        return Skip(n) ? p : nullptr;
    }
    // n bytes of UTF-16LE text; trailing terminators are dropped.
    std::u16string Utf16(uint64_t n) {
        const uint8_t* p = Bytes(n);
        std::u16string text;
        if (!p) return text;
        text.reserve(static_cast<size_t>(n / 2));
        for (size_t i = 0; i + 1 < n; i += 2)
            text.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
        while (!text.empty() && text.back() == u'\0') text.pop_back();
        return text;
    }

private:
    uint64_t Le(size_t n) noexcept {
        if (n > Remaining()) {
            m_off = m_cb;
            m_bFailed = true;
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(m_p[m_off + i]) << (8 * i);
        m_off += n;
        return v;
    }

    const uint8_t* m_p;
    size_t m_cb;
    size_t m_off = 0;
    bool m_bFailed = false;
};
