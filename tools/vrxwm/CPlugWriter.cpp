#include "vrxwm/CPlugWriter.h"

#include <array>

#include "vrxwm/CPlugin.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/HostRecords.h"
#include "vrxwm/StatusText.h"

namespace {

// Ordinal 600 is addressed by category and item.
constexpr uint32_t kCategoryControl = 1;
constexpr uint32_t kCategoryQuery = 2;
constexpr uint32_t kItemTwoPass = 10;
constexpr uint32_t kItemBeginPass = 11;
constexpr uint32_t kItemEndPass = 12;

constexpr uint32_t kEsVideo = 0;
constexpr uint32_t kEsAudio = 1;
constexpr uint32_t kStreamKindVideo = 1;
constexpr uint32_t kStreamKindAudio = 2;
constexpr uint32_t kContinues = 1;
constexpr uint32_t kLast = 2;

}  // namespace

uint32_t CPlugWriter::Normalise(const CPlugin& plugin, SPlugMediaInfo& params) noexcept try {
    return plugin.Entry<PFN_WriterNormaliseParams>(PLUG_ORD_WRITER_NORMALISE_PARAMS)(nullptr, &params);
} catch (const CStatusError& e) {
    return e.Status();
}

CPlugWriter::CPlugWriter(const CPlugin& plugin) : m_plugin(plugin) {
    const auto pfnDestroy = plugin.Entry<PFN_WriterDestroy>(PLUG_ORD_WRITER_DESTROY);
    m_hWriter = Handle(plugin.Entry<PFN_WriterCreate>(PLUG_ORD_WRITER_CREATE)(), pfnDestroy);
    if (!m_hWriter) throw CStatusError(kStatusOutOfMemory, "cannot create a writer");
}

void CPlugWriter::Open(const std::filesystem::path& file, const SPlugMediaInfo& params) {
    m_name = file.string();
    const CSourceList target(file);
    m_plugin.ClearDiskError(target.Drive());

    std::array<SPlugStreamDesc, 2> streams{};
    int32_t nStreams = 0;
    if (params.dwVideoPresent) {
        SPlugStreamDesc& desc = streams[nStreams++];
        desc = DefaultStreamDesc();
        desc.dwStreamKind = kStreamKindVideo;
        desc.Video = params.Video;
    }
    if (params.dwAudioPresent) {
        SPlugStreamDesc& desc = streams[nStreams++];
        desc = DefaultStreamDesc();
        desc.dwStreamKind = kStreamKindAudio;
        desc.dwStreamNumber = static_cast<uint32_t>(nStreams - 1);
        desc.Audio = params.Audio;
    }
    SPlugMuxParam mux{};
    mux.dwHostWord4 = params.dwFormatCode;
    mux.dwHostWord8 = params.dwHostWord4;
    mux.nStreamCount = nStreams;
    mux.pStreams = streams.data();
    CheckStatus(m_plugin.Entry<PFN_WriterOpen>(PLUG_ORD_WRITER_OPEN)(m_hWriter.get(), target.Get(), &mux),
                "cannot start writing " + m_name);
}

bool CPlugWriter::TwoPassSupported() {
    uint32_t dwAnswer = 0;
    uint32_t cbAnswer = sizeof dwAnswer;
    const auto pfnQuery = m_plugin.Entry<PFN_PluginQueryControl>(PLUG_ORD_QUERY_CONTROL);
    CheckStatus(pfnQuery(m_hWriter.get(), kCategoryQuery, kItemTwoPass, /*pReserved=*/nullptr, &cbAnswer, &dwAnswer),
                m_name + ": cannot ask for two-pass encoding");
    return dwAnswer != 0;
}

void CPlugWriter::BeginPreprocessingPass() {
    Control(kItemBeginPass, "cannot begin the preprocessing pass");
}

void CPlugWriter::EndPreprocessingPass() {
    Control(kItemEndPass, "cannot end the preprocessing pass");
}

void CPlugWriter::Control(uint32_t dwItem, const char* what) {
    uint32_t cbOutput = 0;
    const auto pfnControl = m_plugin.Entry<PFN_PluginQueryControl>(PLUG_ORD_QUERY_CONTROL);
    CheckStatus(pfnControl(m_hWriter.get(), kCategoryControl, dwItem, /*pReserved=*/nullptr, &cbOutput,
                           /*pOutput=*/nullptr),
                m_name + ": " + what);
}

void CPlugWriter::PutVideo(const uint8_t* pFrame, uint32_t cbFrame, bool last) {
    Put(kEsVideo, pFrame, cbFrame, last, "cannot write a video frame");
}

void CPlugWriter::PutAudio(const uint8_t* pSamples, uint32_t cbSamples, bool last) {
    Put(kEsAudio, pSamples, cbSamples, last, "cannot write audio");
}

void CPlugWriter::Put(uint32_t dwEsPid, const uint8_t* pData, uint32_t cbData, bool last, const char* what) {
    SPlugFrameInfo info = EmptyFrameInfo();
    info.dwKind = dwEsPid == kEsVideo ? kStreamKindVideo : kStreamKindAudio;
    info.dwContinuation = last ? kLast : kContinues;
    info.nDataLength = static_cast<int32_t>(cbData);
    CheckStatus(m_plugin.Entry<PFN_WriterPutStreamData>(PLUG_ORD_WRITER_PUT_STREAM_DATA)(m_hWriter.get(), dwEsPid,
                                                                                         pData, &info),
                m_name + ": " + what);
}

bool CPlugWriter::IsAudioBehind() {
    return m_plugin.Entry<PFN_WriterIsAudioBehind>(PLUG_ORD_WRITER_IS_AUDIO_BEHIND)(m_hWriter.get()) == 1;
}

void CPlugWriter::Close() noexcept {
    m_hWriter.reset();
}
