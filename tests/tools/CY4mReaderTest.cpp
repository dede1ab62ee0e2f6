// YUV4MPEG2 in and out, against the ffmpeg tool's own reading and writing.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"
#include "vrxwm/CStatusError.h"
#include "vrxwm/CY4mReader.h"
#include "vrxwm/CY4mWriter.h"

namespace {

class CY4mReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("y4m");
        std::string error;
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30000/1001", "-frames:v", "5",
                               "-pix_fmt", "yuv422p", "-vf", "setsar=4/3", "-field_order", "tt",
                               (s_dir->Path() / "in422.y4m").string()},
                              &error))
            << error;
        ASSERT_TRUE(RunFfmpeg({"-i", (s_dir->Path() / "in422.y4m").string(), "-f", "rawvideo",
                               (s_dir->Path() / "in422.yuv").string()},
                              &error))
            << error;
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::filesystem::path File(const char* name) { return s_dir->Path() / name; }
    static void WriteText(const char* name, const std::string& text) {
        std::ofstream(File(name), std::ios::binary) << text;
    }
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(CY4mReaderTest, ReadsHeaderAndPicturesAsFfmpegDoes) {
    CY4mReader reader(File("in422.y4m"));
    EXPECT_EQ(reader.Width(), 64);
    EXPECT_EQ(reader.Height(), 48);
    EXPECT_EQ(reader.PixelFormat(), AV_PIX_FMT_YUV422P);
    EXPECT_EQ(reader.FrameRate().num, 30000);
    EXPECT_EQ(reader.FrameRate().den, 1001);
    EXPECT_EQ(reader.FieldOrder(), 0u) << "Ii: top field first";
    EXPECT_EQ(reader.FrameCount(), 5);
    // 64 x 4/3 : 48 is a display aspect of 16:9.
    EXPECT_EQ(reader.Format().displayAspect.num, 16);
    EXPECT_EQ(reader.Format().displayAspect.den, 9);

    const std::string raw = ReadBytes(File("in422.yuv"));
    const size_t cbFrame = 64 * 48 * 2;
    ASSERT_EQ(raw.size(), 5 * cbFrame);
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const SPicture* picture = reader.Next();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(picture->planes[0]), cbFrame),
                  raw.substr(i * cbFrame, cbFrame));
    }
    EXPECT_EQ(reader.Next(), nullptr);
}

TEST_F(CY4mReaderTest, RewindStartsAgainAtTheFirstFrame) {
    CY4mReader reader(File("in422.y4m"));
    const std::string first(reinterpret_cast<const char*>(reader.Next()->planes[0]), 64 * 48);
    while (reader.Next()) {
    }
    reader.Rewind();
    const SPicture* again = reader.Next();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(again->planes[0]), 64 * 48), first);
}

TEST_F(CY4mReaderTest, RefusesWhatIsNotYuv4mpeg) {
    struct SBad {
        const char* name;
        std::string text;
    };
    const SBad cases[] = {
        {"garbage.y4m", "RIFF\x10\x00\x00\x00WAVEfmt "},
        {"nosize.y4m", "YUV4MPEG2 F25:1 C420jpeg\n"},
        {"norate.y4m", "YUV4MPEG2 W16 H16 C420jpeg\n"},
        {"colour.y4m", "YUV4MPEG2 W16 H16 F25:1 C411\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(c.name, c.text);
        try {
            CY4mReader reader(File(c.name));
            ADD_FAILURE() << "accepted";
        } catch (const CStatusError& e) {
            EXPECT_EQ(e.Status(), 0xC00D002Fu) << e.what();
        }
    }
}

TEST_F(CY4mReaderTest, TruncatedFrameIsAnError) {
    WriteText("short.y4m", "YUV4MPEG2 W16 H16 F25:1 C420jpeg\nFRAME\n" + std::string(100, '\x10'));
    CY4mReader reader(File("short.y4m"));
    EXPECT_THROW(reader.Next(), CStatusError);
}

TEST_F(CY4mReaderTest, MissingFileNamesTheFile) {
    try {
        CY4mReader reader(File("absent.y4m"));
        FAIL() << "opened a missing file";
    } catch (const CStatusError& e) {
        EXPECT_EQ(e.Status(), 0x80070002u);
        EXPECT_NE(std::string(e.what()).find("absent.y4m"), std::string::npos) << e.what();
    }
}

TEST_F(CY4mReaderTest, WrittenFileReadsBackInFfmpeg) {
    CY4mReader in(File("in422.y4m"));
    SY4mFormat format;
    format.width = 64;
    format.height = 48;
    format.frameRate = {30000, 1001};
    format.pixelAspect = {4, 3};
    format.dwFieldOrder = 1;
    {
        CY4mWriter out(File("out.y4m"), format);
        while (const SPicture* picture = in.Next()) out.Write(*picture);
        out.Close();
    }
    const auto probe = Probe(File("out.y4m"));
    const auto& video = StreamOf(probe, "video");
    EXPECT_EQ(video.value("width", 0), 64);
    EXPECT_EQ(video.value("pix_fmt", ""), "yuv420p");
    EXPECT_EQ(video.value("r_frame_rate", ""), "30000/1001");
    EXPECT_EQ(video.value("sample_aspect_ratio", ""), "4:3");
    EXPECT_EQ(video.value("field_order", ""), "bb");
    EXPECT_EQ(video.value("nb_read_frames", ""), "5");
}

}  // namespace
