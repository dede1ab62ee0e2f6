#include "vrxwm/CY4mReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

namespace {

constexpr char kMagic[] = "YUV4MPEG2";
constexpr char kFrameTag[] = "FRAME";
// Header and FRAME lines are short; anything longer is not this format.
constexpr size_t kMaxHeader = 1024;
constexpr size_t kMaxFrameLine = 256;

struct SColourSpace {
    const char* name;
    AVPixelFormat format;
};

// "420jpeg", "420mpeg2" and "420paldv" differ only in chroma siting.
constexpr SColourSpace kColourSpaces[] = {
    {"420jpeg", AV_PIX_FMT_YUV420P},  {"420mpeg2", AV_PIX_FMT_YUV420P},   {"420paldv", AV_PIX_FMT_YUV420P},
    {"420", AV_PIX_FMT_YUV420P},      {"422", AV_PIX_FMT_YUV422P},        {"444", AV_PIX_FMT_YUV444P},
    {"mono", AV_PIX_FMT_GRAY8},       {"420p10", AV_PIX_FMT_YUV420P10LE}, {"422p10", AV_PIX_FMT_YUV422P10LE},
    {"444p10", AV_PIX_FMT_YUV444P10LE},
};

bool ParseRatio(const std::string& text, AVRational& out) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    char* end = nullptr;
    const long num = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + colon) return false;
    const long den = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || num < 0 || den < 0 || num > INT32_MAX || den > INT32_MAX) return false;
    out = {static_cast<int>(num), static_cast<int>(den)};
    return true;
}

}  // namespace

CY4mReader::CY4mReader(const std::filesystem::path& file) : m_file(file, CFile::Mode::Read) {
    std::string header;
    if (!ReadLine(header, kMaxHeader, "the header") || header.rfind(kMagic, 0) != 0)
        throw CStatusError(kStatusInvalidData, m_file.Name() + " is not a YUV4MPEG2 file");
    ParseHeader(header);
    m_cbHeader = static_cast<int64_t>(header.size()) + 1;
    m_bSeekable = m_file.IsSeekable();
    m_frame.Allocate(m_format, m_width, m_height);
    m_view = m_frame.View();

    struct stat st {};
    if (file != "-" && ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        const int64_t cbFrame = static_cast<int64_t>(std::strlen(kFrameTag) + 1 + m_frame.Size());
        m_nFrames = (st.st_size - m_cbHeader) / cbFrame;
    }
}

void CY4mReader::ParseHeader(const std::string& header) {
    std::istringstream tokens(header.substr(std::strlen(kMagic)));
    std::string token;
    std::string colour = "420jpeg";
    while (tokens >> token) {
        const std::string value = token.substr(1);
        switch (token[0]) {
        case 'W': m_width = std::atoi(value.c_str()); break;
        case 'H': m_height = std::atoi(value.c_str()); break;
        case 'F':
            if (!ParseRatio(value, m_rate)) m_rate = {0, 0};
            break;
        case 'A':
            if (!ParseRatio(value, m_pixelAspect) || m_pixelAspect.num == 0 || m_pixelAspect.den == 0)
                m_pixelAspect = {1, 1};
            break;
        case 'I':
            // t top first, b bottom first; p progressive and m (mixed) are
            // treated as progressive.
            m_dwFieldOrder = value == "t" ? 0 : value == "b" ? 1 : 2;
            break;
        case 'C': colour = value; break;
        default: break;  // X extensions and anything unknown
        }
    }
    const auto it = std::find_if(std::begin(kColourSpaces), std::end(kColourSpaces),
                                 [&](const SColourSpace& c) { return colour == c.name; });
    if (it == std::end(kColourSpaces))
        throw CStatusError(kStatusInvalidData, m_file.Name() + ": colour space C" + colour + " is not supported");
    m_format = it->format;
    if (m_width <= 0 || m_height <= 0)
        throw CStatusError(kStatusInvalidData, m_file.Name() + ": the header gives no picture size");
    if (m_rate.num <= 0 || m_rate.den <= 0)
        throw CStatusError(kStatusInvalidData, m_file.Name() + ": the header gives no frame rate");
}

bool CY4mReader::ReadLine(std::string& line, size_t maxLength, const char* what) {
    line.clear();
    char c = 0;
    while (m_file.Read(&c, 1) == 1) {
        if (c == '\n') return true;
        if (line.size() == maxLength)
            throw CStatusError(kStatusInvalidData, m_file.Name() + ": " + what + " is not a YUV4MPEG2 line");
        line += c;
    }
    if (!line.empty()) throw CStatusError(kStatusInvalidData, m_file.Name() + ": the file ends inside " + what);
    return false;
}

SVideoFormat CY4mReader::Format() const {
    SVideoFormat format;
    format.width = m_width;
    format.height = m_height;
    format.frameRate = m_rate;
    av_reduce(&format.displayAspect.num, &format.displayAspect.den, int64_t{m_width} * m_pixelAspect.num,
              int64_t{m_height} * m_pixelAspect.den, 65535);
    format.dwFieldOrder = m_dwFieldOrder;
    return format;
}

const SPicture* CY4mReader::Next() {
    std::string line;
    if (!ReadLine(line, kMaxFrameLine, "a FRAME line")) return nullptr;
    if (line.rfind(kFrameTag, 0) != 0)
        throw CStatusError(kStatusInvalidData,
                           m_file.Name() + ": frame " + std::to_string(m_iFrame) + " does not start with FRAME");
    m_file.ReadExactly(m_frame.Plane(0), m_frame.Size(), "a frame");
    ++m_iFrame;
    return &m_view;
}

void CY4mReader::Rewind() {
    if (!m_bSeekable)
        throw CStatusError(kStatusInvalidArg, m_file.Name() + " cannot be read twice (a pipe?)");
    m_file.Seek(m_cbHeader);
    m_iFrame = 0;
}
