#include "vrxwm/CY4mWriter.h"

#include <string>

CY4mWriter::CY4mWriter(const std::filesystem::path& file, const SY4mFormat& format)
    : m_file(file, CFile::Mode::Write) {
    const char interlace = format.dwFieldOrder == 0 ? 't' : format.dwFieldOrder == 1 ? 'b' : 'p';
    const std::string header = "YUV4MPEG2 W" + std::to_string(format.width) + " H" + std::to_string(format.height) +
                               " F" + std::to_string(format.frameRate.num) + ":" +
                               std::to_string(format.frameRate.den) + " I" + interlace + " A" +
                               std::to_string(format.pixelAspect.num) + ":" +
                               std::to_string(format.pixelAspect.den) + " C420jpeg\n";
    m_file.Write(header.data(), header.size());
    m_frame.Allocate(AV_PIX_FMT_YUV420P, format.width, format.height);
}

void CY4mWriter::Write(const SPicture& picture) {
    static constexpr char kFrameLine[] = "FRAME\n";
    m_converter.Convert(picture, m_frame);
    m_file.Write(kFrameLine, sizeof kFrameLine - 1);
    m_file.Write(m_frame.Data(), m_frame.Size());
}

void CY4mWriter::Close() {
    m_file.Close();
}
