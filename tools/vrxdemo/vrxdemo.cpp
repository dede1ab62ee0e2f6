// vrxdemo [PLUGIN]: loads the plug-in the way a host does, lists its entry
// points by ordinal and normalises a sample set of encoding parameters with
// ordinal 504. PLUGIN defaults to libVRXPlugWinMediaCodecU.so in ../lib
// beside this program.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "vrx/PlugOrdinals.h"

namespace {

using PFN_GetProc = void* (*)(unsigned int);
using PFN_CoInitializeEx = int32_t (*)(void*, uint32_t);
using PFN_CoUninitialize = void (*)();

struct OrdinalName {
    unsigned int ordinal;
    const char* name;
};

constexpr OrdinalName kNames[] = {
    {400, "ReaderCreate"},
    {401, "ReaderDestroy"},
    {402, "PluginStubZero"},
    {403, "PluginStubZero"},
    {404, "ReaderOpen"},
    {405, "PluginStubZero"},
    {406, "ReaderGetProgramCount"},
    {407, "ReaderGetVideoStreamCount"},
    {408, "ReaderGetVideoStreamDesc"},
    {409, "ReaderGetAudioStreamCount"},
    {410, "ReaderGetAudioStreamDesc"},
    {411, "ReaderSelectStreams"},
    {412, "ReaderGetState"},
    {413, "ReaderGetFrameBufferSize"},
    {414, "ReaderGetAudioBufferSize"},
    {415, "PluginStubOne"},
    {416, "ReaderSetRange"},
    {417, "ReaderSetOptions"},
    {418, "ReaderGetOptions"},
    {419, "PluginNotSupported"},
    {420, "ReaderReadFrame"},
    {421, "ReaderGetFrame"},
    {422, "ReaderSeekFrame"},
    {423, "ReaderProbeFrame"},
    {424, "ReaderGetNextFrame"},
    {425, "ReaderPeekNextFrame"},
    {426, "ReaderPeekFrame"},
    {427, "ReaderGetNextSample"},
    {428, "ReaderReadAudio"},
    {429, "ReaderGetAudio"},
    {430, "PluginNotSupported"},
    {436, "PluginStubZero"},
    {500, "WriterCreate"},
    {501, "WriterDestroy"},
    {502, "PluginStubZero"},
    {503, "PluginStubZero"},
    {504, "WriterNormaliseParams"},
    {505, "WriterOpen"},
    {506, "PluginStubZero"},
    {507, "PluginStubOne"},
    {508, "WriterIsAudioBehind"},
    {509, "WriterPutStreamData"},
    {510, "PluginNotSupported"},
    {511, "PluginNotSupported"},
    {600, "PluginQueryControl"},
    {601, "PluginStubAllOnes"},
    {602, "QZGetLibInfo"},
};

const char* NameOf(unsigned int ordinal) {
    for (const auto& entry : kNames) {
        if (entry.ordinal == ordinal) return entry.name;
    }
    return "(not a known ordinal)";
}

std::string DefaultPluginPath() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "libVRXPlugWinMediaCodecU.so";
    return (self.parent_path() / ".." / "lib" / "libVRXPlugWinMediaCodecU.so").lexically_normal();
}

// Every entry point the plug-in answers for, three to a line.
void PrintOrdinals(PFN_GetProc pfnGetProc) {
    constexpr int kColumns = 3;
    std::printf("Entry points by ordinal:\n");
    int count = 0;
    for (unsigned int ordinal = PLUG_ORD_FIRST; ordinal <= PLUG_ORD_LAST; ++ordinal) {
        if (!pfnGetProc(ordinal)) continue;
        const bool lastColumn = ++count % kColumns == 0;
        std::printf(lastColumn ? "  %3u %s\n" : "  %3u %-25s", ordinal, NameOf(ordinal));
    }
    std::printf("%s  %d entry points\n\n", count % kColumns == 0 ? "" : "\n", count);
}

struct ShownField {
    const char* name;
    uint32_t SPlugMediaInfo::*pTop;
    uint32_t SPlugVideoStreamInfo::*pVideo;
    uint32_t SPlugAudioStreamInfo::*pAudio;
};

// The fields ordinal 504 may change, and the two flags that govern it.
constexpr ShownField kShown[] = {
    {"video present", &SPlugMediaInfo::dwVideoPresent, nullptr, nullptr},
    {"video codec type", nullptr, &SPlugVideoStreamInfo::dwCodecType, nullptr},
    {"video profile code", nullptr, &SPlugVideoStreamInfo::dwCodecSubType, nullptr},
    {"width", nullptr, &SPlugVideoStreamInfo::dwWidth, nullptr},
    {"height", nullptr, &SPlugVideoStreamInfo::dwHeight, nullptr},
    {"colour format", nullptr, &SPlugVideoStreamInfo::dwColorFormat, nullptr},
    {"key-frame interval", nullptr, &SPlugVideoStreamInfo::dwKeyFrameInterval, nullptr},
    {"rate-control mode", nullptr, &SPlugVideoStreamInfo::dwRateControl, nullptr},
    {"audio present", &SPlugMediaInfo::dwAudioPresent, nullptr, nullptr},
    {"audio type", nullptr, nullptr, &SPlugAudioStreamInfo::dwAudioType},
    {"channels", nullptr, nullptr, &SPlugAudioStreamInfo::dwChannels},
    {"bits per sample", nullptr, nullptr, &SPlugAudioStreamInfo::dwBitsPerSample},
    {"sample rate", nullptr, nullptr, &SPlugAudioStreamInfo::dwSampleRate},
    {"audio bit rate", nullptr, nullptr, &SPlugAudioStreamInfo::dwBitRate},
    {"bytes per sample frame", nullptr, nullptr, &SPlugAudioStreamInfo::dwBlockAlign},
};

uint32_t ValueOf(const SPlugMediaInfo& info, const ShownField& field) {
    if (field.pTop) return info.*field.pTop;
    if (field.pVideo) return info.Video.*field.pVideo;
    return info.Audio.*field.pAudio;
}

// A host's request that the encoder could not take as it stands: odd size,
// a key frame every 5 frames, an unknown colour format, WMV3 below 720 x 480
// asking for variable bit rate, and mono at 48 kHz with an odd bit rate.
SPlugMediaInfo SampleRequest() {
    SPlugMediaInfo info{};
    info.dwVideoPresent = 1;
    info.Video.dwSize = sizeof(SPlugVideoStreamInfo);
    info.Video.dwCodecSubType = 1;
    info.Video.dwWidth = 641;
    info.Video.dwHeight = 481;
    info.Video.dwFrameRateNum = 25;
    info.Video.dwFrameRateDen = 1;
    info.Video.dwColorFormat = 24;
    info.Video.dwKeyFrameInterval = 5;
    info.Video.dwRateControl = 2;
    info.dwAudioPresent = 1;
    info.Audio.dwSize = sizeof(SPlugAudioStreamInfo);
    info.Audio.dwAudioType = 1;
    info.Audio.dwChannels = 1;
    info.Audio.dwBitsPerSample = 16;
    info.Audio.dwSampleRate = 48000;
    info.Audio.dwBitRate = 40000;
    return info;
}

int ShowNormalisation(PFN_GetProc pfnGetProc) {
    auto pfnNormalise = reinterpret_cast<PFN_WriterNormaliseParams>(
        pfnGetProc(PLUG_ORD_WRITER_NORMALISE_PARAMS));
    if (!pfnNormalise) {
        std::fprintf(stderr, "vrxdemo: ordinal 504 has no entry point\n");
        return 1;
    }
    const SPlugMediaInfo before = SampleRequest();
    SPlugMediaInfo after = before;
    const uint32_t status = pfnNormalise(nullptr, &after);
    std::printf("Ordinal 504 on a sample request: status 0x%08x\n", status);
    std::printf("  %-24s %10s %10s\n", "field", "before", "after");
    for (const auto& field : kShown) {
        const uint32_t was = ValueOf(before, field);
        const uint32_t now = ValueOf(after, field);
        std::printf("  %-24s %10u %10u%s\n", field.name, was, now, was != now ? "  *" : "");
    }
    return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : DefaultPluginPath();
    void* hPlugin = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!hPlugin) {
        std::fprintf(stderr, "vrxdemo: cannot load %s: %s\n", path.c_str(), dlerror());
        return 1;
    }
    std::printf("Loaded %s\n", path.c_str());

    // The platform library comes in as the plug-in's dependency; a host
    // initialises COM on its thread through it before using the plug-in.
    auto pfnCoInit = reinterpret_cast<PFN_CoInitializeEx>(dlsym(hPlugin, "CoInitializeEx"));
    auto pfnCoUninit = reinterpret_cast<PFN_CoUninitialize>(dlsym(hPlugin, "CoUninitialize"));
    auto pfnGetProc = reinterpret_cast<PFN_GetProc>(dlsym(hPlugin, "VRXPlugGetProcByOrdinal"));
    if (!pfnCoInit || !pfnCoUninit || !pfnGetProc) {
        std::fprintf(stderr, "vrxdemo: %s lacks %s\n", path.c_str(),
                     !pfnGetProc ? "VRXPlugGetProcByOrdinal" : "CoInitializeEx/CoUninitialize");
        dlclose(hPlugin);
        return 1;
    }
    const int32_t hr = pfnCoInit(nullptr, /*COINIT_MULTITHREADED=*/0);
    std::printf("CoInitializeEx: 0x%08x\n\n", static_cast<uint32_t>(hr));

    PrintOrdinals(pfnGetProc);
    const int result = ShowNormalisation(pfnGetProc);

    if (hr >= 0) pfnCoUninit();
    dlclose(hPlugin);
    return result;
}
