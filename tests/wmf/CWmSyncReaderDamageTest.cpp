// Damaged input: files cut at many points and files with bytes flipped in
// the header and in the data. Each either fails to open with a code or reads
// to a clean end; under the sanitizer build nothing may crash, hang or leak.
#include <gtest/gtest.h>

#include <random>

#include "support/TempDir.h"
#include "wmf/ReaderTestSupport.h"

namespace {

// Reads every selected stream in time order with the data of each sample,
// then seeks a few times; returns the samples read.
size_t ReadEverything(IWMSyncReader* reader, std::mt19937& rng) {
    size_t count = 0;
    SReadSample s;
    HRESULT hr = S_OK;
    // Bounded: a damaged file must still come to an end.
    while (count < 150 && (hr = ReadSample(reader, 0, s)) == S_OK) ++count;
    EXPECT_TRUE(SUCCEEDED(hr) || (hr & 0xFFFF0000) == 0xC00D0000 || hr == E_OUTOFMEMORY)
        << std::hex << hr;
    const QWORD duration = DurationOf(reader);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(reader->SetRange(duration ? rng() % duration : 0, 0), S_OK);
        for (int i = 0; i < 3 && ReadSample(reader, 0, s) == S_OK; ++i) ++count;
    }
    return count;
}

class CWmSyncReaderDamageTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("damage");
        std::string error;
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25:duration=1", "-f", "lavfi", "-i",
                               "sine=frequency=440:sample_rate=22050:duration=1", "-c:v", "wmv2", "-g", "5", "-c:a",
                               "wmav2", (s_dir->Path() / "clip.wmv").string()},
                              &error))
            << error;
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        m_path = GetParam() == "clip.wmv" ? s_dir->Path() / GetParam() : SamplesDir() / GetParam();
        if (!std::filesystem::exists(m_path)) GTEST_SKIP() << m_path << " is missing";
        m_bytes = FileBytes(m_path);
    }

    CComScope m_com;
    std::filesystem::path m_path;
    std::vector<BYTE> m_bytes;
    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_P(CWmSyncReaderDamageTest, CutFilesOpenCleanlyOrFail) {
    std::mt19937 rng(5);
    for (int k = 1; k <= 16; ++k) {
        std::vector<BYTE> cut(m_bytes.begin(), m_bytes.begin() + static_cast<ptrdiff_t>(m_bytes.size() * k / 17));
        SCOPED_TRACE(cut.size());
        HRESULT hr = S_OK;
        auto reader = OpenReaderOn(cut, &hr);
        if (FAILED(hr)) {
            EXPECT_EQ(hr & 0xFFFF0000, 0xC00D0000) << std::hex << hr;
            continue;
        }
        ReadEverything(reader.Get(), rng);
    }
}

TEST_P(CWmSyncReaderDamageTest, FlippedBytesOpenCleanlyOrFail) {
    std::mt19937 rng(11);
    // The header is small; the data is the rest.
    const size_t header = std::min<size_t>(m_bytes.size(), 6000);
    for (int k = 0; k < 16; ++k) {
        std::vector<BYTE> damaged = m_bytes;
        const bool inHeader = k % 2 == 0;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int f = 0; f < flips; ++f) {
            const size_t at = inHeader ? rng() % header : header + rng() % (damaged.size() - header);
            damaged[at] ^= static_cast<BYTE>(1 + rng() % 255);
        }
        SCOPED_TRACE(k);
        HRESULT hr = S_OK;
        auto reader = OpenReaderOn(damaged, &hr);
        if (FAILED(hr)) {
            EXPECT_TRUE((hr & 0xFFFF0000) == 0xC00D0000 || hr == E_OUTOFMEMORY) << std::hex << hr;
            continue;
        }
        ReadEverything(reader.Get(), rng);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CWmSyncReaderDamageTest,
                         ::testing::Values("clip.wmv", "wmv3-wmav2_ball.wmv", "wvc1-wmapro_ladybug.wmv",
                                           "wmv2-wmavoice_seattle.wmv", "wmavoice_date_in_year.wma"),
                         [](const auto& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
