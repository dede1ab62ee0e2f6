#include "wmf/CWmWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>

#include "support/TempDir.h"
#include "wmf/WriterTestSupport.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kFrames = 750;  // 30 s at 25 fps
constexpr DWORD kBitrate = 500'000;
constexpr DWORD kFrameBytes = kWidth * kHeight * 3 / 2;

// Streams testsrc2 pictures from the ffmpeg tool into the writer, one at a
// time, so that 30 s of 640x360 never sit in memory at once.
HRESULT StreamPictures(IWMWriter* pWriter, DWORD input, bool bPreprocess) {
    FILE* pipe = popen("ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=640x360:rate=25 "
                       "-frames:v 750 -f rawvideo -pix_fmt yuv420p -",
                       "r");
    if (!pipe) return E_FAIL;
    std::vector<BYTE> frame(kFrameBytes);
    HRESULT hr = S_OK;
    for (int n = 0; n < kFrames && SUCCEEDED(hr); ++n) {
        if (fread(frame.data(), 1, frame.size(), pipe) != frame.size()) hr = E_FAIL;
        else hr = WriteBytes(pWriter, input, static_cast<QWORD>(n) * 400'000, frame.data(), kFrameBytes, bPreprocess);
    }
    pclose(pipe);
    return hr;
}

// The video's bit rate measured from its packet sizes.
double MeasuredBitrate(const std::filesystem::path& file) {
    uint64_t bytes = 0;
    for (const auto& row : FfprobeRows("-select_streams v -show_entries packet=size", file))
        bytes += std::stoull(row[0]);
    return static_cast<double>(bytes) * 8.0 / (kFrames / 25.0);
}

double Encode(const std::filesystem::path& file, bool bTwoPass) {
    SVideoSpec v;
    v.width = kWidth;
    v.height = kHeight;
    v.bitrate = kBitrate;
    ComPtr<IWMProfile> pProfile = MakeProfile(&v, nullptr);
    ComPtr<IWMWriter> pWriter;
    EXPECT_EQ(CWmWriter::Create(pWriter.Put()), S_OK);
    EXPECT_EQ(pWriter->SetProfile(pProfile.Get()), S_OK);
    EXPECT_EQ(pWriter->SetOutputFilename(Wide(file.string()).c_str()), S_OK);
    EXPECT_EQ(pWriter->BeginWriting(), S_OK);
    if (bTwoPass) {
        ComPtr<IWMWriterPreprocess> pPre;
        EXPECT_EQ(pWriter.As(pPre), S_OK);
        EXPECT_EQ(pPre->SetNumPreprocessingPasses(0, 0, 1), S_OK);
        EXPECT_EQ(pPre->BeginPreprocessingPass(0, 0), S_OK);
        EXPECT_EQ(StreamPictures(pWriter.Get(), 0, true), S_OK);
        EXPECT_EQ(pPre->EndPreprocessingPass(0, 0), S_OK);
    }
    EXPECT_EQ(StreamPictures(pWriter.Get(), 0, false), S_OK);
    EXPECT_EQ(pWriter->EndWriting(), S_OK);
    return MeasuredBitrate(file);
}

TEST(CWmWriterSlowTest, BitRateOverThirtySeconds) {
    TempDir dir("wmwriterslow");
    const double onePass = Encode(dir.Path() / "one.wmv", false);
    const double twoPass = Encode(dir.Path() / "two.wmv", true);
    std::cout << "requested " << kBitrate << " bit/s; one-pass " << onePass << " ("
              << (onePass / kBitrate - 1) * 100 << " %), two-pass " << twoPass << " ("
              << (twoPass / kBitrate - 1) * 100 << " %)\n";
    RecordProperty("OnePassBitrate", static_cast<int>(onePass));
    RecordProperty("TwoPassBitrate", static_cast<int>(twoPass));
    EXPECT_NEAR(onePass, kBitrate, kBitrate * 0.10);
    EXPECT_LT(std::abs(twoPass - kBitrate), std::abs(onePass - kBitrate))
        << "the first pass's statistics bring the final pass closer";
    EXPECT_EQ(Packets(dir.Path() / "two.wmv", "v").size(), static_cast<size_t>(kFrames));
}

}  // namespace
