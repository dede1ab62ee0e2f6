#include "ReaderHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "support/Media.h"
#include "win/Com.h"

namespace {

using PFN_GetProc = void* (*)(unsigned int);

template <class PFN>
void Find(PFN_GetProc pfnGetProc, unsigned int ordinal, PFN& pfn) {
    pfn = reinterpret_cast<PFN>(pfnGetProc(ordinal));
    EXPECT_NE(pfn, nullptr) << "ordinal " << ordinal;
}

// Loaded for the whole process, as a host keeps a plug-in it uses.
struct LoadedPlugin {
    LoadedPlugin() {
        hPlugin = dlopen(VRX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!hPlugin) {
            error = dlerror();
            return;
        }
        auto pfnGetProc = reinterpret_cast<PFN_GetProc>(dlsym(hPlugin, "VRXPlugGetProcByOrdinal"));
        if (!pfnGetProc) {
            error = "no VRXPlugGetProcByOrdinal";
            return;
        }
        Find(pfnGetProc, PLUG_ORD_READER_CREATE, api.Create);
        Find(pfnGetProc, PLUG_ORD_READER_DESTROY, api.Destroy);
        Find(pfnGetProc, PLUG_ORD_READER_OPEN, api.Open);
        Find(pfnGetProc, PLUG_ORD_READER_GET_PROGRAM_COUNT, api.GetProgramCount);
        Find(pfnGetProc, PLUG_ORD_READER_GET_VIDEO_STREAM_COUNT, api.GetVideoStreamCount);
        Find(pfnGetProc, PLUG_ORD_READER_GET_VIDEO_STREAM_DESC, api.GetVideoStreamDesc);
        Find(pfnGetProc, PLUG_ORD_READER_GET_AUDIO_STREAM_COUNT, api.GetAudioStreamCount);
        Find(pfnGetProc, PLUG_ORD_READER_GET_AUDIO_STREAM_DESC, api.GetAudioStreamDesc);
        Find(pfnGetProc, PLUG_ORD_READER_SELECT_STREAMS, api.SelectStreams);
        Find(pfnGetProc, PLUG_ORD_READER_GET_STATE, api.GetState);
        Find(pfnGetProc, PLUG_ORD_READER_GET_FRAME_BUFFER_SIZE, api.GetFrameBufferSize);
        Find(pfnGetProc, PLUG_ORD_READER_SET_RANGE, api.SetRange);
        Find(pfnGetProc, PLUG_ORD_READER_SET_OPTIONS, api.SetOptions);
        Find(pfnGetProc, PLUG_ORD_READER_READ_FRAME, api.ReadFrame);
        Find(pfnGetProc, PLUG_ORD_READER_GET_FRAME, api.GetFrame);
        Find(pfnGetProc, PLUG_ORD_READER_SEEK_FRAME, api.SeekFrame);
        Find(pfnGetProc, PLUG_ORD_READER_PROBE_FRAME, api.ProbeFrame);
        Find(pfnGetProc, PLUG_ORD_READER_GET_NEXT_FRAME, api.GetNextFrame);
        Find(pfnGetProc, PLUG_ORD_READER_PEEK_NEXT_FRAME, api.PeekNextFrame);
        Find(pfnGetProc, PLUG_ORD_READER_PEEK_FRAME, api.PeekFrame);
        Find(pfnGetProc, PLUG_ORD_READER_GET_NEXT_SAMPLE, api.GetNextSample);
        Find(pfnGetProc, PLUG_ORD_READER_READ_AUDIO, api.ReadAudio);
        Find(pfnGetProc, PLUG_ORD_READER_GET_AUDIO, api.GetAudio);
        bLoaded = true;
    }
    ~LoadedPlugin() {
        if (hPlugin) dlclose(hPlugin);
    }
    void* hPlugin = nullptr;
    ReaderApi api;
    bool bLoaded = false;
    std::string error;
};

struct FormatCloser {
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct CodecFreer {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};

}  // namespace

const ReaderApi* LoadReaderApi() {
    static LoadedPlugin s_plugin;
    EXPECT_TRUE(s_plugin.bLoaded) << s_plugin.error;
    return s_plugin.bLoaded ? &s_plugin.api : nullptr;
}

ComScope::ComScope() : m_hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}

ComScope::~ComScope() {
    if (m_hr >= 0) CoUninitialize();
}

SourceList::SourceList(const std::filesystem::path& file) {
    const std::u16string name = Wide(file.string());
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 259), item.szFileName);
    list.dwCount = 1;
    list.pItems = &item;
}

ReaderHandle::ReaderHandle(const ReaderApi& api) : m_api(api), m_hReader(api.Create()) {
    EXPECT_NE(m_hReader, nullptr);
}

ReaderHandle::~ReaderHandle() {
    EXPECT_EQ(m_api.Destroy(m_hReader), 0u);
}

uint32_t ReaderHandle::Open(const std::filesystem::path& file) {
    SourceList sources(file);
    return m_api.Open(m_hReader, &sources.list, /*dwMode=*/0, /*pSecondSources=*/nullptr);
}

SPlugFrameInfo NewFrameInfo() {
    SPlugFrameInfo info{};
    info.dwSize = sizeof(SPlugFrameInfo);
    return info;
}

uint64_t HashBytes(const uint8_t* pData, size_t cb) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < cb; ++i) h = (h ^ pData[i]) * 1099511628211ull;
    return h;
}

uint64_t DecodedFrameStep(uint32_t dwNum, uint32_t dwDen) {
    if (dwNum == 30000 && dwDen == 1001) return 333667;
    return 10000000ull * dwDen / dwNum;
}

uint64_t CompressedFrameStep(uint32_t dwNum, uint32_t dwDen) {
    return static_cast<uint64_t>(std::llround(1e7 * dwDen / dwNum));
}

uint64_t FrameTicks(uint64_t i, uint64_t cnsStep) {
    return i * cnsStep * 9 / 1000;
}

std::vector<StoredPacket> ReadStoredPackets(const std::filesystem::path& file, bool isVideo) {
    std::vector<StoredPacket> packets;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) {
        ADD_FAILURE() << "libavformat cannot open " << file;
        return packets;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> pFormat(raw);
    const int nStream = av_find_best_stream(raw, isVideo ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO, -1, -1,
                                            nullptr, 0);
    std::unique_ptr<AVPacket, PacketFreer> pPacket(av_packet_alloc());
    if (nStream < 0 || !pPacket) return packets;
    while (av_read_frame(raw, pPacket.get()) >= 0) {
        if (pPacket->stream_index == nStream)
            packets.push_back({std::vector<uint8_t>(pPacket->data, pPacket->data + pPacket->size),
                               (pPacket->flags & AV_PKT_FLAG_KEY) != 0,
                               av_rescale_q(pPacket->pts, raw->streams[nStream]->time_base, {1, 1000})});
        av_packet_unref(pPacket.get());
    }
    return packets;
}

uint64_t DecodedSampleCount(const std::filesystem::path& file) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) {
        ADD_FAILURE() << "libavformat cannot open " << file;
        return 0;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> pFormat(raw);
    const AVCodec* pCodec = nullptr;
    const int nStream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &pCodec, 0);
    if (nStream < 0 || !pCodec) return 0;
    std::unique_ptr<AVCodecContext, CodecFreer> pContext(avcodec_alloc_context3(pCodec));
    std::unique_ptr<AVPacket, PacketFreer> pPacket(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> pFrame(av_frame_alloc());
    if (!pContext || !pPacket || !pFrame ||
        avcodec_parameters_to_context(pContext.get(), raw->streams[nStream]->codecpar) < 0 ||
        avcodec_open2(pContext.get(), pCodec, nullptr) < 0)
        return 0;
    uint64_t total = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(pContext.get(), pFrame.get()) >= 0) total += pFrame->nb_samples;
    };
    while (av_read_frame(raw, pPacket.get()) >= 0) {
        if (pPacket->stream_index == nStream && avcodec_send_packet(pContext.get(), pPacket.get()) >= 0) drain();
        av_packet_unref(pPacket.get());
    }
    avcodec_send_packet(pContext.get(), nullptr);
    drain();
    return total;
}
