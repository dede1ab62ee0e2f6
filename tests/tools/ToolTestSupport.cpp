#include "tools/ToolTestSupport.h"

#include <fstream>
#include <sstream>

#include "support/Media.h"
#include "vrxwm/CFramePattern.h"
#include "vrxwm/CY4mWriter.h"

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

SRun RunVrxwm(const std::vector<std::string>& args, const std::filesystem::path& dir,
              const std::filesystem::path& pipedInput) {
    const auto errFile = dir / "vrxwm.stderr";
    std::string command = "cd " + Quote(dir.string()) + " && ";
    command += pipedInput.empty() ? "</dev/null " : "cat " + Quote(pipedInput.string()) + " | ";
    command += Quote(VRXWM_PATH);
    for (const auto& arg : args) command += " " + Quote(arg);
    command += " 2>" + Quote(errFile.string());
    SRun run;
    run.exitCode = RunCommand(command, &run.out);
    run.err = ReadBytes(errFile);
    return run;
}

void MakePatternY4m(const std::filesystem::path& file, int width, int height, int frames) {
    CFramePattern pattern(width, height, {25, 1}, static_cast<uint32_t>(frames));
    SY4mFormat format;
    format.width = width;
    format.height = height;
    CY4mWriter writer(file, format);
    while (const SPicture* picture = pattern.Next()) writer.Write(*picture);
    writer.Close();
}

void MakePatternWmv(const std::filesystem::path& file, int width, int height, int frames) {
    const auto y4m = file.parent_path() / (file.stem().string() + ".y4m");
    MakePatternY4m(y4m, width, height, frames);
    std::string error;
    const std::string seconds = std::to_string(frames / 25.0);
    ASSERT_TRUE(RunFfmpeg({"-i", y4m.string(), "-f", "lavfi", "-i",
                           "sine=frequency=440:sample_rate=44100:duration=" + seconds, "-ac", "2", "-c:v", "wmv2",
                           "-b:v", "800k", "-c:a", "wmav2", "-b:a", "128k", "-shortest", file.string()},
                          &error))
        << error;
}

nlohmann::json Probe(const std::filesystem::path& file) {
    std::string out;
    const int rc = RunCommand("ffprobe -v error -count_frames -show_streams -show_format -of json '" +
                                  file.string() + "'",
                              &out);
    EXPECT_EQ(rc, 0) << "ffprobe failed on " << file;
    return rc == 0 ? nlohmann::json::parse(out) : nlohmann::json::object();
}

nlohmann::json StreamOf(const nlohmann::json& probe, const std::string& type) {
    if (probe.contains("streams"))
        for (const auto& stream : probe["streams"])
            if (stream.value("codec_type", "") == type) return stream;
    return nlohmann::json::object();
}

std::vector<std::vector<uint8_t>> DecodeGrey(const std::filesystem::path& file, int width, int height) {
    std::string out;
    const int rc = RunCommand("ffmpeg -nostdin -v error -i '" + file.string() +
                                  "' -f rawvideo -pix_fmt gray -fps_mode passthrough -",
                              &out);
    EXPECT_EQ(rc, 0) << "ffmpeg could not decode " << file;
    const size_t cbPicture = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<std::vector<uint8_t>> pictures;
    for (size_t at = 0; at + cbPicture <= out.size(); at += cbPicture)
        pictures.emplace_back(out.begin() + static_cast<std::ptrdiff_t>(at),
                              out.begin() + static_cast<std::ptrdiff_t>(at + cbPicture));
    EXPECT_EQ(out.size() % cbPicture, 0u) << file << " is not " << width << "x" << height;
    return pictures;
}

std::vector<int64_t> PatternIndices(const std::filesystem::path& file, int width, int height) {
    std::vector<int64_t> indices;
    for (const auto& picture : DecodeGrey(file, width, height))
        indices.push_back(CFramePattern::ReadIndex(picture.data(), width, width, height));
    return indices;
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
