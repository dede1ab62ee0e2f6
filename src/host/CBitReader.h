// A most-significant-bit-first reader over a byte range that never reads
// outside it. Header parsers take their input from the host as given, so a
// read past the end yields zero bits and marks the reader failed instead of
// touching memory; a parser checks Failed() once it has what it needs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vrx::host {

class CBitReader {
public:
    CBitReader(const uint8_t* pData, size_t cbData) noexcept : m_pData(pData), m_cbData(cbData) {}

    // Up to 32 bits as an unsigned number.
    uint32_t Read(unsigned nBits) noexcept {
        uint32_t value = 0;
        for (unsigned i = 0; i < nBits; ++i) value = (value << 1) | ReadBit();
        return value;
    }
    bool ReadFlag() noexcept { return ReadBit() != 0; }

    void Skip(size_t nBits) noexcept {
        if (nBits > BitsLeft()) {
            m_bFailed = true;
            m_nBit = m_cbData * 8;
            return;
        }
        m_nBit += nBits;
    }

    // Exp-Golomb ue(v). A code of 32 or more leading zeros has no 32-bit
    // value and counts as damage.
    uint32_t ReadUe() noexcept {
        unsigned nZeros = 0;
        while (!ReadFlag()) {
            if (m_bFailed || ++nZeros == 32) {
                m_bFailed = true;
                return 0;
            }
        }
        // nZeros <= 31: (2^31 - 1) + (2^31 - 1) still fits.
        return ((uint32_t{1} << nZeros) - 1) + Read(nZeros);
    }

    // Exp-Golomb se(v): 1, 2, 3, 4 ... map to 1, -1, 2, -2 ...
    int32_t ReadSe() noexcept {
        const int64_t k = ReadUe();
        return static_cast<int32_t>((k & 1) ? (k + 1) / 2 : -(k / 2));
    }

    // For a value the syntax forbids: the data is damaged.
    void Fail() noexcept { m_bFailed = true; }
    bool Failed() const noexcept { return m_bFailed; }
    size_t BitsLeft() const noexcept { return m_cbData * 8 - m_nBit; }

private:
    uint32_t ReadBit() noexcept {
        if (m_nBit >= m_cbData * 8) {
            m_bFailed = true;
            return 0;
        }
        const uint32_t bit = (m_pData[m_nBit / 8] >> (7 - m_nBit % 8)) & 1;
        ++m_nBit;
        return bit;
    }

    const uint8_t* m_pData;
    size_t m_cbData;
    size_t m_nBit = 0;
    bool m_bFailed = false;
};

}  // namespace vrx::host
