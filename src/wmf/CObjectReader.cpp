#include "wmf/CObjectReader.h"

#include <new>

HRESULT CObjectReader::Create(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                              WORD wStreamNum, std::unique_ptr<CObjectReader>& reader) noexcept try {
    std::unique_ptr<CObjectReader> created(new CObjectReader());
    const HRESULT hr = CAsfDemux::Open(std::move(source), header, created->m_pDemux);
    if (FAILED(hr)) return hr;
    created->m_wStreamNum = wStreamNum;
    created->m_pDemux->Select({wStreamNum});
    if (const QWORD play = header.PlayDuration()) created->m_timeCap = static_cast<int64_t>(play) + 10'000'000;
    reader = std::move(created);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CObjectReader::SeekToByte(uint64_t pos) noexcept {
    m_pushedBack.clear();
    m_last = {};
    m_lastTime = INT64_MIN;
    return m_pDemux->SeekToByte(pos);
}

void CObjectReader::PushBack(SStreamObject&& object) { m_pushedBack.push_front(std::move(object)); }

HRESULT CObjectReader::Next(SStreamObject& object) noexcept {
    if (!m_pushedBack.empty()) {
        object = std::move(m_pushedBack.front());
        m_pushedBack.pop_front();
        return S_OK;
    }
    if (!object.pkt) {
        object.pkt = MakePacket();
        if (!object.pkt) return E_OUTOFMEMORY;
    }
    for (;;) {
        const HRESULT hr = m_pDemux->Read(object.pkt.get(), object.info);
        if (FAILED(hr)) return hr;
        SObjectKey key{object.info.pos, 0};
        if (m_last.IsSet() && m_last.pos == key.pos) key.idx = m_last.idx + 1;
        m_last = key;
        const int64_t t = object.info.time;
        if (t > m_timeCap) continue;
        if (m_lastTime != INT64_MIN && t > m_lastTime + kMaxJump) continue;
        m_lastTime = t;
        object.key = key;
        return S_OK;
    }
}
