// The command line itself: help on every command, and every failure as
// one line with the status in hex and its meaning, exit status 1 (2 for a
// command line that does not parse).
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>

#include "support/Media.h"
#include "support/TempDir.h"
#include "tools/ToolTestSupport.h"

namespace {

class VrxwmCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("vrxwmcli");
        ASSERT_NO_FATAL_FAILURE(MakePatternWmv(s_dir->Path() / "clip.wmv", 160, 120, 25));
        std::ofstream garbage(s_dir->Path() / "garbage.wmv", std::ios::binary);
        for (int i = 0; i < 5000; ++i) garbage.put(static_cast<char>(i * 131 % 251));
        std::ofstream(s_dir->Path() / "afile") << "not a folder";
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static SRun Run(const std::vector<std::string>& args) { return RunVrxwm(args, s_dir->Path()); }
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(VrxwmCliTest, EveryCommandHasHelp) {
    for (const char* command : {"info", "frames", "audio", "encode", "transcode", "demo"}) {
        SCOPED_TRACE(command);
        const SRun run = Run({command, "--help"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find(std::string("Usage: vrxwm ") + command), std::string::npos) << run.out;
    }
    const SRun top = Run({"--help"});
    EXPECT_EQ(top.exitCode, 0);
    EXPECT_NE(top.out.find("transcode"), std::string::npos) << top.out;
}

TEST_F(VrxwmCliTest, CommandLineErrorsAreOneLineWithExitStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"rewind"},
        {"frames", "clip.wmv"},
        {"frames", "clip.wmv", "--out", "x", "--format", "gif"},
        {"encode", "--video", "a.y4m", "--out", "x.wmv", "--codec", "wmv9"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const SRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.find("vrxwm: "), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
}

struct SFailureCase {
    const char* name;
    std::vector<std::string> args;
    const char* status;  // empty: any status
    const char* words;   // what the line must say
};

void PrintTo(const SFailureCase& c, std::ostream* os) {
    *os << c.name;
}

const SFailureCase kFailures[] = {
    {"MissingFile", {"info", "absent.wmv"}, "0x80070002 (file not found)", "cannot open"},
    {"GarbageFile", {"info", "garbage.wmv"}, "", "cannot open"},
    {"GarbageFileFrames", {"frames", "garbage.wmv", "--out", "g"}, "", "cannot open"},
    {"RangeBeyondTheEnd", {"frames", "clip.wmv", "--out", "r", "--range", "20:30"},
     "0x80000006 (index or selection out of range)", "the last frame is 24"},
    {"RangeBackwards", {"frames", "clip.wmv", "--out", "r", "--range", "9:3"}, "0x80000006", "before the start"},
    {"AudioRangeBackwards", {"audio", "clip.wmv", "--out", "a.wav", "--range", "0.8:0.5"}, "0x80000006",
     "not after the start"},
    {"AudioRangeNotANumber", {"audio", "clip.wmv", "--out", "a.wav", "--range", "x:1"}, "0x80000006", "\"x\""},
    {"UnwritablePngFolder", {"frames", "clip.wmv", "--out", "afile/png"}, "", "cannot create the folder"},
    {"UnwritableWav", {"audio", "clip.wmv", "--out", "afile/a.wav"}, "", "cannot create"},
    {"MissingY4m", {"encode", "--video", "absent.y4m", "--out", "x.wmv"}, "0x80070002", "absent.y4m"},
    {"GarbageY4m", {"encode", "--video", "garbage.wmv", "--out", "x.wmv"}, "0xC00D002F",
     "not a YUV4MPEG2 file"},
    {"BadBitRate", {"transcode", "clip.wmv", "x.wmv", "--bitrate", "fast"}, "0x80070057", "--bitrate fast"},
};

class VrxwmFailureTest : public VrxwmCliTest, public ::testing::WithParamInterface<SFailureCase> {};

TEST_P(VrxwmFailureTest, IsOneLineWithTheStatus) {
    const SFailureCase& c = GetParam();
    const SRun run = Run(c.args);
    EXPECT_EQ(run.exitCode, 1);
    static const std::regex kLine("vrxwm: .*: 0x[0-9A-F]{8} \\([^)]+\\)\n");
    EXPECT_TRUE(std::regex_match(run.err, kLine)) << run.err;
    EXPECT_NE(run.err.find(c.status), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Inputs, VrxwmFailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VrxwmCliTest, UnwritableWmvIsOneLineWithTheStatus) {
    ASSERT_NO_FATAL_FAILURE(MakePatternY4m(s_dir->Path() / "p.y4m", 160, 120, 5));
    const SRun run = Run({"encode", "--video", "p.y4m", "--out", "afile/x.wmv"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot start writing"), std::string::npos) << run.err;
    EXPECT_TRUE(std::regex_match(run.err, std::regex("vrxwm: .*: 0x[0-9A-F]{8} \\([^)]+\\)\n"))) << run.err;
}

// Not a terminal here: the bar must stay off, leaving stderr empty.
TEST_F(VrxwmCliTest, ProgressStaysOffWhenStderrIsNotATerminal) {
    ASSERT_NO_FATAL_FAILURE(MakePatternY4m(s_dir->Path() / "quiet.y4m", 160, 120, 10));
    const SRun run = Run({"encode", "--video", "quiet.y4m", "--out", "quiet.wmv"});
    VRXWM_SKIP_IF_NOT_SUPPORTED(run);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
}

// script(1) gives the program a terminal: the bar is drawn there.
TEST_F(VrxwmCliTest, ProgressIsDrawnOnATerminal) {
    ASSERT_NO_FATAL_FAILURE(MakePatternY4m(s_dir->Path() / "tty.y4m", 160, 120, 10));
    std::string out;
    const int rc = RunCommand("cd '" + s_dir->Path().string() + "' && script -qec \"'" + std::string(VRXWM_PATH) +
                                  "' encode --video tty.y4m --out tty.wmv\" /dev/null",
                              &out);
    if (rc != 0 && out.find("0x80000002") != std::string::npos)
        GTEST_SKIP() << "an ordinal of the plug-in is not supported yet: " << out;
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("\rencode ["), std::string::npos) << out;
    EXPECT_NE(out.find("10/10 frames"), std::string::npos) << out;
}

}  // namespace
