#include "wmf/CAsfSeeker.h"

#include <new>

#include "win/NsError.h"

namespace {

// Learned key objects this close before the target need no bisection.
constexpr int64_t kLearnedReach = 30'000'000;  // 3 s
constexpr size_t kMaxLearned = 1 << 16;
// A probe gives up after this many objects of other streams: its stream has
// ended there, or pauses longer than a seek needs to look.
constexpr size_t kProbeObjects = 256;

}  // namespace

void CAsfSeeker::Learn(WORD wStreamNum, int64_t time, uint64_t pos) {
    auto& keys = m_learned[wStreamNum];
    if (keys.size() < kMaxLearned) keys.emplace(time, pos);
}

HRESULT CAsfSeeker::ProbeTime(WORD wStreamNum, uint64_t packet, int64_t& time) noexcept {
    time = INT64_MAX;
    HRESULT hr = m_pProbe->SeekToPacket(packet);
    if (FAILED(hr)) return hr;
    auto pkt = MakePacket();
    if (!pkt) return E_OUTOFMEMORY;
    SAsfObject object;
    for (size_t i = 0; i < kProbeObjects; ++i) {
        hr = m_pProbe->Read(pkt.get(), object);
        if (hr == NS_E_NO_MORE_SAMPLES) return S_OK;
        if (FAILED(hr)) return hr;
        if (object.wStreamNum == wStreamNum) {
            time = object.time;
            return S_OK;
        }
    }
    return S_OK;
}

HRESULT CAsfSeeker::PositionBefore(WORD wStreamNum, int64_t time, uint64_t& pos) noexcept try {
    pos = m_pHeader->m_cbFirstPacket;
    uint64_t lo = 0;
    int64_t loTime = INT64_MIN;
    const auto found = m_learned.find(wStreamNum);
    if (found != m_learned.end() && !found->second.empty()) {
        auto it = found->second.upper_bound(time);
        if (it != found->second.begin()) {
            --it;
            pos = it->second;
            loTime = it->first;
        }
    }
    if (loTime != INT64_MIN && time - loTime <= kLearnedReach) return S_OK;
    if (!m_pProbe) {
        const HRESULT hr = CAsfDemux::Open(m_pSource, *m_pHeader, m_pProbe);
        if (FAILED(hr)) return hr;
    }
    const uint64_t count = m_pProbe->PacketCount();
    // Bisection needs packets of one size.
    if (!m_pProbe->PacketSize() || count < 2) return S_OK;
    // Every stream, so that a probe past the end of this one stops early.
    std::vector<WORD> all;
    for (const auto& stream : m_pHeader->m_streams) all.push_back(stream.wStreamNum);
    m_pProbe->Select(all);
    if (loTime != INT64_MIN) lo = m_pProbe->PacketIndexOf(pos);
    uint64_t hi = count;  // probe(hi) counts as later than time
    // Invariant: probe(lo) <= time (or lo is the first packet), probe(hi) > time.
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        int64_t probe = 0;
        const HRESULT hr = ProbeTime(wStreamNum, mid, probe);
        if (FAILED(hr)) return hr;
        if (probe <= time) lo = mid;
        else hi = mid;
    }
    const uint64_t bisected = m_pProbe->FirstPacketPos() + lo * m_pProbe->PacketSize();
    if (bisected > pos || loTime == INT64_MIN) pos = bisected;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
