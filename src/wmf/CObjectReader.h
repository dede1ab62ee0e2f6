// The stored objects of one stream, in file (decode) order, each with a key
// that names it wherever the reading started: the data packet it begins in
// and its place among the stream's objects beginning there. Objects whose
// time jumps more than 10 s past the previous one, or lies past what the
// header allows, are damage and are skipped.
#pragma once

#include <deque>
#include <memory>

#include "wmf/CAsfDemux.h"

struct SObjectKey {
    uint64_t pos = UINT64_MAX;
    uint32_t idx = 0;
    bool IsSet() const noexcept { return pos != UINT64_MAX; }
    friend bool operator==(const SObjectKey&, const SObjectKey&) = default;
    friend bool operator<(const SObjectKey& a, const SObjectKey& b) noexcept {
        return a.pos != b.pos ? a.pos < b.pos : a.idx < b.idx;
    }
    friend bool operator<=(const SObjectKey& a, const SObjectKey& b) noexcept { return !(b < a); }
};

struct SStreamObject {
    AvPtr<AVPacket> pkt;
    SAsfObject info;
    SObjectKey key;
};

class CObjectReader {
public:
    static constexpr int64_t kMaxJump = 100'000'000;  // 10 s

    static HRESULT Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                          WORD wStreamNum, std::unique_ptr<CObjectReader>& reader) noexcept;

    // Continues at the data packet holding pos.
    HRESULT SeekToByte(uint64_t pos) noexcept;
    // The next object: NS_E_NO_MORE_SAMPLES at the end of the stream's data.
    HRESULT Next(SStreamObject& object) noexcept;
    // Makes object the next one Next returns (objects pushed back come out
    // last-in, first-out).
    void PushBack(SStreamObject&& object);

    const AVCodecParameters* Parameters() const noexcept { return m_pDemux->Parameters(m_wStreamNum); }

private:
    CObjectReader() = default;

    std::unique_ptr<CAsfDemux> m_pDemux;
    WORD m_wStreamNum = 0;
    std::deque<SStreamObject> m_pushedBack;
    SObjectKey m_last;
    int64_t m_lastTime = INT64_MIN;
    int64_t m_timeCap = INT64_MAX;
};
