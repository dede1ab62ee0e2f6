#include "vrx/VRXHost.h"

#include <iterator>

#include "host/CBitReader.h"

namespace {

constexpr uint32_t kAdtsSync = 0xFFF;
constexpr int32_t kAdtsHeaderBytes = 7;
constexpr uint32_t kSamplesPerAacFrame = 1024;

constexpr uint32_t kSampleRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                       22050, 16000, 12000, 11025, 8000,  7350};

// A lone 0xFF counts as the start of a cut header rather than as a frame.
bool StartsWithAdtsSync(const uint8_t* data, int32_t length) noexcept {
    return data[0] == 0xFF && (length < 2 || (data[1] & 0xF0) == 0xF0);
}

// An ADTS header carries the stream's configuration. False when a field holds
// a value ADTS does not allow.
bool ReadAdts(const uint8_t* data, int32_t length, SPlugAudioStreamInfo* info) noexcept {
    vrx::host::CBitReader bits(data, static_cast<size_t>(length));
    if (bits.Read(12) != kAdtsSync) return false;
    bits.Skip(1);  // MPEG-2 or MPEG-4
    if (bits.Read(2) != 0) return false;  // layer
    bits.Skip(1 + 2);  // protection_absent, profile
    const uint32_t rateIndex = bits.Read(4);
    bits.Skip(1);  // private bit
    const uint32_t channelConfig = bits.Read(3);
    bits.Skip(4);  // originality and copyright bits
    const uint32_t frameBytes = bits.Read(13);
    bits.Skip(11);  // buffer fullness
    const uint32_t nBlocks = bits.Read(2) + 1;
    if (bits.Failed() || rateIndex >= std::size(kSampleRates) || frameBytes < kAdtsHeaderBytes)
        return false;

    const uint32_t sampleRate = kSampleRates[rateIndex];
    const uint32_t samplesPerFrame = kSamplesPerAacFrame * nBlocks;
    info->dwSampleRate = sampleRate;
    // Configuration 0 leaves the layout to a program config element in the
    // payload; the channel count the caller had stays. 7 is the 7.1 layout.
    if (channelConfig != 0) info->dwChannels = channelConfig == 7 ? 8 : channelConfig;
    info->dwSamplesPerFrame = samplesPerFrame;
    info->dwBitRate = static_cast<uint32_t>(uint64_t{frameBytes} * 8 * sampleRate / samplesPerFrame);
    return true;
}

}  // namespace

CVRXAudioAnalyser::CVRXAudioAnalyser() = default;

CVRXAudioAnalyser::~CVRXAudioAnalyser() = default;

int32_t CVRXAudioAnalyser::InitAudioAnalyser(PLUG_AUDIO_TYPE type, uint32_t flags) {
    m_type = type;
    m_flags = flags;
    return type == PLUG_AUDIO_TYPE_AAC ? 1 : 0;
}

int32_t CVRXAudioAnalyser::GetAudioInfo(int32_t /*index*/, const uint8_t* data, int32_t length,
                                        SPlugAudioStreamInfo* info, SPlugAppendInfo_T* /*extra*/) {
    if (m_type != PLUG_AUDIO_TYPE_AAC || !data || length <= 0 || !info) return 0;
    if (StartsWithAdtsSync(data, length)) return ReadAdts(data, length, info) ? 1 : 0;
    // A raw frame (as stored in ASF) holds no configuration; only the frame
    // length is fixed by the format.
    info->dwSamplesPerFrame = kSamplesPerAacFrame;
    return 1;
}

int32_t CVRXAudioAnalyser::Release() {
    m_type = PLUG_AUDIO_TYPE_NONE;
    return 0;
}
