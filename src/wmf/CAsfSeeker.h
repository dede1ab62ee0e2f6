// Finds where in the data to start reading one stream so that its objects
// up to a given stored time are all seen: from key objects learned while
// reading, else by bisection over the data packets, which are all one size.
// An index is not needed, so files with and without one seek alike.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "wmf/CObjectReader.h"

class CAsfSeeker {
public:
    CAsfSeeker(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header) noexcept
        : m_pSource(std::move(source)), m_pHeader(&header) {}

    // A data packet position from which the stream's first object has a
    // stored time at or before time (the first data packet when none has).
    HRESULT PositionBefore(WORD wStreamNum, int64_t time, uint64_t& pos) noexcept;
    // Remembers a key object seen while reading (bounded per stream).
    void Learn(WORD wStreamNum, int64_t time, uint64_t pos);

private:
    HRESULT ProbeTime(WORD wStreamNum, uint64_t packet, int64_t& time) noexcept;

    std::shared_ptr<CStreamSource> m_pSource;
    const CAsfHeaderInfo* m_pHeader;
    std::unique_ptr<CAsfDemux> m_pProbe;
    std::map<WORD, std::map<int64_t, uint64_t>> m_learned;
};
