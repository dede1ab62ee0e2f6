#include "wmf/CAsfDemux.h"

#include <algorithm>
#include <new>

#include "win/NsError.h"
#include "wmf/HrFromAv.h"

HRESULT CAsfDemux::Open(std::shared_ptr<CStreamSource> source, const CAsfHeaderInfo& header,
                        std::unique_ptr<CAsfDemux>& demux) noexcept try {
    std::unique_ptr<CAsfDemux> created(new CAsfDemux());
    HRESULT hr = CStreamIo::Create(source, created->m_pIo);
    if (FAILED(hr)) return hr;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return E_OUTOFMEMORY;
    raw->pb = created->m_pIo->Context();
    // Stored payloads, exactly: no parser may split or merge them, and no
    // time may be invented.
    raw->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    // On failure avformat_open_input() frees the context itself.
    const int err = avformat_open_input(&raw, nullptr, av_find_input_format("asf"), nullptr);
    if (err < 0) {
        const HRESULT hrIo = created->m_pIo->LastError();
        return FAILED(hrIo) ? hrIo : HrFromAv(err, AvStage::Open);
    }
    created->m_pFormat.reset(raw);
    created->m_indexOf.assign(128, -1);
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream* st = raw->streams[i];
        // Cover art becomes a stream of its own with no number.
        if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
        if (st->id > 0 && st->id < 128 && created->m_indexOf[st->id] < 0)
            created->m_indexOf[st->id] = static_cast<int>(i);
    }
    created->m_cbFirst = header.m_cbFirstPacket;
    if (header.m_dwMinPacketSize == header.m_dwMaxPacketSize && header.m_dwMaxPacketSize > 0)
        created->m_cbPacket = header.m_dwMaxPacketSize;
    uint64_t dataEnd = source->Size();
    if (header.m_cbDataObject >= 50) dataEnd = std::min(dataEnd, header.m_cbHeader + header.m_cbDataObject);
    created->m_cbDataEnd = dataEnd;
    // The writer says how long the file is; less means it was cut.
    created->m_bTruncated = header.m_qwFileSize > source->Size() ||
                            (header.m_cbDataObject >= 50 &&
                             header.m_cbHeader + header.m_cbDataObject > source->Size());
    created->Select({});
    demux = std::move(created);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

void CAsfDemux::Select(const std::vector<WORD>& streams) noexcept {
    for (unsigned i = 0; i < m_pFormat->nb_streams; ++i) m_pFormat->streams[i]->discard = AVDISCARD_ALL;
    for (const WORD w : streams)
        if (w < m_indexOf.size() && m_indexOf[w] >= 0) m_pFormat->streams[m_indexOf[w]]->discard = AVDISCARD_DEFAULT;
}

const AVCodecParameters* CAsfDemux::Parameters(WORD wStreamNum) const noexcept {
    if (wStreamNum >= m_indexOf.size() || m_indexOf[wStreamNum] < 0) return nullptr;
    return m_pFormat->streams[m_indexOf[wStreamNum]]->codecpar;
}

uint64_t CAsfDemux::PacketCount() const noexcept {
    if (!m_cbPacket || m_cbDataEnd <= m_cbFirst) return 0;
    return (m_cbDataEnd - m_cbFirst) / m_cbPacket;
}

uint64_t CAsfDemux::PacketIndexOf(uint64_t pos) const noexcept {
    if (!m_cbPacket || pos <= m_cbFirst) return 0;
    return (pos - m_cbFirst) / m_cbPacket;
}

HRESULT CAsfDemux::SeekToPacket(uint64_t packetIndex) noexcept {
    return SeekToByte(m_cbFirst + packetIndex * m_cbPacket);
}

HRESULT CAsfDemux::SeekToByte(uint64_t pos) noexcept {
    if (m_cbPacket && pos > m_cbFirst) pos = m_cbFirst + (pos - m_cbFirst) / m_cbPacket * m_cbPacket;
    pos = std::max(pos, m_cbFirst);
    // A seek to time 0 is the one seek of the asf demuxer that only resets
    // its packet state and returns to the first data packet; from there the
    // byte position is ours to set.
    int err = av_seek_frame(m_pFormat.get(), -1, 0, AVSEEK_FLAG_BACKWARD);
    if (err < 0) return HrFromAv(err, AvStage::Read);
    if (pos != m_cbFirst) {
        const int64_t at = avio_seek(m_pFormat->pb, static_cast<int64_t>(pos), SEEK_SET);
        if (at < 0) return HrFromAv(static_cast<int>(at), AvStage::Read);
    }
    return S_OK;
}

HRESULT CAsfDemux::Read(AVPacket* pkt, SAsfObject& object) noexcept {
    for (;;) {
        av_packet_unref(pkt);
        const int err = av_read_frame(m_pFormat.get(), pkt);
        if (err < 0) {
            const HRESULT hrIo = m_pIo->LastError();
            if (FAILED(hrIo) && err != AVERROR_EOF) return hrIo;
            if (err == AVERROR(EAGAIN)) continue;
            // Past the data the demuxer reports damage as often as the end.
            return err == AVERROR(ENOMEM) ? E_OUTOFMEMORY : NS_E_NO_MORE_SAMPLES;
        }
        if (pkt->stream_index < 0 || static_cast<unsigned>(pkt->stream_index) >= m_pFormat->nb_streams) continue;
        const AVStream* st = m_pFormat->streams[pkt->stream_index];
        if (st->disposition & AV_DISPOSITION_ATTACHED_PIC || st->id <= 0 || st->id >= 128 ||
            m_indexOf[st->id] != pkt->stream_index)
            continue;
        // The object that ran into the cut of a truncated file is partial.
        if (m_bTruncated && m_pFormat->pb->eof_reached) {
            av_packet_unref(pkt);
            return NS_E_NO_MORE_SAMPLES;
        }
        if (pkt->dts == AV_NOPTS_VALUE || pkt->size <= 0) continue;
        object.wStreamNum = static_cast<WORD>(st->id);
        object.time = pkt->dts * 10'000;  // stored whole milliseconds
        object.pos = pkt->pos < 0 ? 0 : static_cast<uint64_t>(pkt->pos);
        object.bKey = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
        return S_OK;
    }
}
