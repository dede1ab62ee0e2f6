#include "vrxwm/WavFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "vrxwm/CStatusError.h"
#include "vrxwm/Pcm.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr uint16_t kTagPcm = 0x0001;
constexpr uint16_t kTagFloat = 0x0003;
constexpr uint16_t kTagExtensible = 0xFFFE;
// A data chunk of length 0 or 0xFFFFFFFF was written by a tool that could
// not go back and fill the length in: it runs to the end of the file.
constexpr uint32_t kStreamedLength = 0xFFFFFFFF;
// The sub-format GUIDs of PCM and float differ only in their first two
// bytes, which hold the plain format tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t U16(const uint8_t* p) noexcept { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) noexcept {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
std::string TagText(uint16_t tag) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", tag);
    return hex;
}

void PutU16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void PutU32(std::string& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((v >> shift) & 0xFF);
}

}  // namespace

CWavReader::CWavReader(const std::filesystem::path& file) : m_file(file, CFile::Mode::Read) {
    uint8_t riff[12];
    if (m_file.Read(riff, sizeof riff) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        throw CStatusError(kStatusInvalidData, m_file.Name() + " is not a WAVE file");
    for (;;) {
        uint8_t head[8];
        if (m_file.Read(head, sizeof head) != sizeof head)
            throw CStatusError(kStatusInvalidData, m_file.Name() + " has no audio data");
        const uint32_t cbChunk = U32(head + 4);
        if (std::memcmp(head, "data", 4) == 0) {
            if (m_format == AV_SAMPLE_FMT_NONE)
                throw CStatusError(kStatusInvalidData, m_file.Name() + ": the audio data comes before its format");
            if (cbChunk != 0 && cbChunk != kStreamedLength)
                m_nFrames = cbChunk / static_cast<uint32_t>(m_cbFileFrame);
            m_nFramesLeft = m_nFrames;
            return;
        }
        // Chunks are padded to an even length.
        std::vector<uint8_t> chunk(cbChunk + (cbChunk & 1));
        m_file.ReadExactly(chunk.data(), chunk.size(), "a chunk");
        if (std::memcmp(head, "fmt ", 4) == 0) ParseFormat(chunk);
    }
}

void CWavReader::ParseFormat(const std::vector<uint8_t>& chunk) {
    if (chunk.size() < 16) throw CStatusError(kStatusInvalidData, m_file.Name() + ": the format chunk is too short");
    uint16_t tag = U16(&chunk[0]);
    m_nChannels = U16(&chunk[2]);
    m_nRate = static_cast<int>(U32(&chunk[4]));
    const int nBits = U16(&chunk[14]);
    m_cbFileFrame = U16(&chunk[12]);
    if (tag == kTagExtensible && chunk.size() >= 40 && std::memcmp(&chunk[26], kSubFormatTail, 14) == 0)
        tag = U16(&chunk[24]);
    if (tag == kTagPcm && (nBits == 8 || nBits == 16 || nBits == 24 || nBits == 32)) {
        m_format = PcmFormat(static_cast<uint32_t>(nBits), &m_bWiden24);
    } else if (tag == kTagFloat) {
        m_format = nBits == 32 ? AV_SAMPLE_FMT_FLT : nBits == 64 ? AV_SAMPLE_FMT_DBL : AV_SAMPLE_FMT_NONE;
    }
    if (m_format == AV_SAMPLE_FMT_NONE)
        throw CStatusError(kStatusInvalidData, m_file.Name() + ": format tag " + TagText(tag) + " with " +
                                                   std::to_string(nBits) + " bits is not PCM this tool reads");
    if (m_nChannels <= 0 || m_nRate <= 0 || m_cbFileFrame != m_nChannels * nBits / 8)
        throw CStatusError(kStatusInvalidData, m_file.Name() + ": inconsistent format (" +
                                                   std::to_string(m_nChannels) + " channels, " +
                                                   std::to_string(m_nRate) + " Hz, block " +
                                                   std::to_string(m_cbFileFrame) + " bytes)");
}

int CWavReader::Read(uint8_t* pOut, int maxFrames) {
    int64_t nWanted = maxFrames;
    if (m_nFramesLeft >= 0) nWanted = std::min(nWanted, m_nFramesLeft);
    if (nWanted <= 0) return 0;
    const size_t cbWanted = static_cast<size_t>(nWanted) * static_cast<size_t>(m_cbFileFrame);
    const size_t cbRead = m_file.Read(pOut, cbWanted);
    const int nFrames = static_cast<int>(cbRead / static_cast<size_t>(m_cbFileFrame));
    if (m_nFramesLeft >= 0) m_nFramesLeft -= nFrames;
    if (m_bWiden24) Widen24(pOut, static_cast<size_t>(nFrames) * static_cast<size_t>(m_nChannels));
    return nFrames;
}

CWavWriter::CWavWriter(const std::filesystem::path& file, int sampleRate, int channels, int bitsPerSample)
    : m_file(file, CFile::Mode::Write), m_nRate(sampleRate), m_nChannels(channels), m_nBits(bitsPerSample) {
    WriteHeader(kStreamedLength);
}

void CWavWriter::WriteHeader(uint32_t cbData) {
    const bool bExtensible = m_nChannels > 2 || m_nBits > 16;
    const uint16_t cbFrame = static_cast<uint16_t>(m_nChannels * m_nBits / 8);
    std::string header = "RIFF";
    const uint32_t cbFormat = bExtensible ? 40 : 16;
    const uint32_t cbHeaderRest = 4 + 8 + cbFormat + 8;
    PutU32(header, cbData == kStreamedLength ? kStreamedLength : cbHeaderRest + cbData + (cbData & 1));
    header += "WAVEfmt ";
    PutU32(header, cbFormat);
    PutU16(header, bExtensible ? kTagExtensible : kTagPcm);
    PutU16(header, static_cast<uint16_t>(m_nChannels));
    PutU32(header, static_cast<uint32_t>(m_nRate));
    PutU32(header, static_cast<uint32_t>(m_nRate) * cbFrame);
    PutU16(header, cbFrame);
    PutU16(header, static_cast<uint16_t>(m_nBits));
    if (bExtensible) {
        PutU16(header, 22);
        PutU16(header, static_cast<uint16_t>(m_nBits));
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, m_nChannels);
        PutU32(header, layout.order == AV_CHANNEL_ORDER_NATIVE ? static_cast<uint32_t>(layout.u.mask) : 0);
        av_channel_layout_uninit(&layout);
        PutU16(header, kTagPcm);
        header.append(reinterpret_cast<const char*>(kSubFormatTail), sizeof kSubFormatTail);
    }
    header += "data";
    PutU32(header, cbData);
    m_file.Write(header.data(), header.size());
}

void CWavWriter::Write(const uint8_t* pData, size_t cb) {
    m_file.Write(pData, cb);
    m_cbData += cb;
}

void CWavWriter::Close() {
    if (m_cbData & 1) {
        const uint8_t pad = 0;
        m_file.Write(&pad, 1);
    }
    if (m_file.IsSeekable()) {
        m_file.Seek(0);
        WriteHeader(static_cast<uint32_t>(std::min<uint64_t>(m_cbData, kStreamedLength - 1)));
    }
    m_file.Close();
}
