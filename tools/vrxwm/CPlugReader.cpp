#include "vrxwm/CPlugReader.h"

#include "vrxwm/CPlugin.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/HostRecords.h"
#include "vrxwm/StatusText.h"

namespace {

CPlugReader::Handle CreateReader(const CPlugin& plugin) {
    const auto pfnDestroy = plugin.Entry<PFN_ReaderDestroy>(PLUG_ORD_READER_DESTROY);
    CPlugReader::Handle hReader(plugin.Entry<PFN_ReaderCreate>(PLUG_ORD_READER_CREATE)(), pfnDestroy);
    if (!hReader) throw CStatusError(kStatusOutOfMemory, "cannot create a reader");
    return hReader;
}

}  // namespace

CPlugReader::CPlugReader(const CPlugin& plugin, const std::filesystem::path& file)
    : m_plugin(plugin), m_name(file.string()), m_hReader(CreateReader(plugin)) {
    const CSourceList sources(file);
    CheckStatus(plugin.Entry<PFN_ReaderOpen>(PLUG_ORD_READER_OPEN)(m_hReader.get(), sources.Get(), /*dwMode=*/0,
                                                                  /*pSecondSources=*/nullptr),
                "cannot open " + m_name);
    if (plugin.Entry<PFN_ReaderGetVideoStreamCount>(PLUG_ORD_READER_GET_VIDEO_STREAM_COUNT)(m_hReader.get()) > 0) {
        SPlugStreamDesc desc = DefaultStreamDesc();
        const auto pfnDesc = plugin.Entry<PFN_ReaderGetVideoStreamDesc>(PLUG_ORD_READER_GET_VIDEO_STREAM_DESC);
        CheckStatus(pfnDesc(m_hReader.get(), /*nProgram=*/0, /*nStream=*/0, &desc),
                    m_name + ": cannot describe the video stream");
        m_video = desc;
    }
    if (plugin.Entry<PFN_ReaderGetAudioStreamCount>(PLUG_ORD_READER_GET_AUDIO_STREAM_COUNT)(m_hReader.get()) > 0) {
        SPlugStreamDesc desc = DefaultStreamDesc();
        const auto pfnDesc = plugin.Entry<PFN_ReaderGetAudioStreamDesc>(PLUG_ORD_READER_GET_AUDIO_STREAM_DESC);
        CheckStatus(pfnDesc(m_hReader.get(), /*nProgram=*/0, /*nStream=*/0, &desc),
                    m_name + ": cannot describe the audio stream");
        m_audio = desc;
    }
}

uint64_t CPlugReader::FileSize() const noexcept {
    if (m_video) return m_video->qwFileSize;
    return m_audio ? m_audio->qwFileSize : 0;
}

SPlugFrame CPlugReader::GetFrame(uint32_t index) {
    return Frame(PLUG_ORD_READER_GET_FRAME, index, "read");
}

SPlugFrame CPlugReader::SeekFrame(uint32_t index) {
    return Frame(PLUG_ORD_READER_SEEK_FRAME, index, "seek to");
}

SPlugFrame CPlugReader::Frame(PlugOrdinal ordinal, uint32_t index, const char* how) {
    // 421 and 422 share one signature.
    const auto pfnRead = m_plugin.Entry<PFN_ReaderGetFrame>(ordinal);
    SPlugFrame frame;
    frame.info = EmptyFrameInfo();
    uint8_t* pBuffer = nullptr;
    CheckStatus(pfnRead(m_hReader.get(), index, &pBuffer, &frame.info),
                m_name + ": cannot " + how + " frame " + std::to_string(index));
    if (!pBuffer || frame.info.nDataLength <= 0)
        throw CStatusError(kStatusFrameNotFound, m_name + ": frame " + std::to_string(index) + " came back empty");
    frame.pData = pBuffer;
    frame.cbData = static_cast<uint32_t>(frame.info.nDataLength);
    return frame;
}

uint32_t CPlugReader::ReadAudio(uint32_t first, uint32_t count, uint8_t* pBuffer) {
    SPlugFrameInfo info = EmptyFrameInfo();
    CheckStatus(m_plugin.Entry<PFN_ReaderReadAudio>(PLUG_ORD_READER_READ_AUDIO)(m_hReader.get(), first, count,
                                                                                pBuffer, &info),
                m_name + ": cannot read audio at sample " + std::to_string(first));
    return info.dwSampleCount;
}
