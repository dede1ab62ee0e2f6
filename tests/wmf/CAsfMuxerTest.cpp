#include "wmf/CAsfMuxer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/TempDir.h"
#include "wmf/CVideoEncoder.h"
#include "wmf/WriterTestSupport.h"

namespace {

// The File Properties Object's packet count and play duration.
struct SFileProperties {
    uint64_t cPackets = UINT64_MAX;
    uint64_t cnsPlayDuration = UINT64_MAX;
};
SFileProperties ReadFileProperties(const std::filesystem::path& path) {
    static const uint8_t kGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    const std::vector<BYTE> bytes = ReadFileBytes(path);
    SFileProperties props;
    for (size_t i = 0; i + 80 <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, kGuid, 16) != 0) continue;
        std::memcpy(&props.cPackets, bytes.data() + i + 56, 8);
        std::memcpy(&props.cnsPlayDuration, bytes.data() + i + 64, 8);
        break;
    }
    return props;
}

// Writes 25 pictures; finished or abandoned.
void WriteClip(const std::filesystem::path& path, const std::vector<BYTE>& video, bool bFinish) {
    SVideoEncoderSettings settings;
    settings.width = 160;
    settings.height = 120;
    settings.bitRate = 500'000;
    std::unique_ptr<CVideoEncoder> pEncoder;
    ASSERT_EQ(CVideoEncoder::Create(settings, CVideoEncoder::Pass::Single, nullptr, &pEncoder), S_OK);
    CAsfMuxer muxer;
    int index = -1;
    ASSERT_EQ(muxer.AddStream(pEncoder->Context(), AVRational{0, 1}, &index), S_OK);
    ASSERT_EQ(muxer.Open(path.string()), S_OK);
    const auto sink = [&](AVPacket* pkt) { return muxer.Write(index, pkt); };
    for (int n = 0; n < 25; ++n)
        ASSERT_EQ(pEncoder->Encode(video.data() + n * 28800, 28800, n, sink), S_OK);
    if (bFinish) {
        ASSERT_EQ(pEncoder->Flush(sink), S_OK);
        ASSERT_EQ(muxer.Finish(), S_OK);
    } else {
        muxer.Abandon();
    }
}

TEST(CAsfMuxerTest, FinishedFileSaysSoAndAbandonedOneDoesNot) {
    TempDir dir("asfmuxer");
    const std::vector<BYTE> video = MakeRawVideo(dir.Path() / "in.yuv", 160, 120, "25", 25);
    ASSERT_NO_FATAL_FAILURE(WriteClip(dir.Path() / "done.wmv", video, true));
    ASSERT_NO_FATAL_FAILURE(WriteClip(dir.Path() / "left.wmv", video, false));
    const SFileProperties done = ReadFileProperties(dir.Path() / "done.wmv");
    EXPECT_GT(done.cPackets, 0u);
    EXPECT_EQ(done.cnsPlayDuration, 10'000'000u + 31'000'000u) << "1 s of pictures and the preroll";
    const SFileProperties left = ReadFileProperties(dir.Path() / "left.wmv");
    EXPECT_EQ(left.cPackets, 0u) << "an unfinished file claims no packets";
    EXPECT_EQ(left.cnsPlayDuration, 31'000'000u) << "and no duration beyond its preroll";
    EXPECT_GT(ReadFileBytes(dir.Path() / "left.wmv").size(), 10'000u) << "its data is there";
    EXPECT_NE(Ffprobe("-show_entries format=nb_streams", dir.Path() / "done.wmv").find("nb_streams=1"),
              std::string::npos);
}

}  // namespace
