#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "support/Media.h"
#include "support/TempDir.h"
#include "vrx/VRXHost.h"

namespace {

constexpr uint32_t kSeekFromStart = 1;
constexpr uint32_t kSeekFromEnd = 2;
constexpr uint32_t kSeekFromCurrent = 3;
constexpr uint32_t kSequentialScan = 0x08000000;

struct SourceDeleter {
    void operator()(CSoftDataSource* p) const noexcept {
        p->Close();
        p->Cleanup();
        delete p;
    }
};
using SourcePtr = std::unique_ptr<CSoftDataSource, SourceDeleter>;

SourcePtr MakeSource() { return SourcePtr(CSoftDataSource::Construct(IOWORKMODE_READ)); }

class CFileDataSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("datasource");
        s_bytes.resize(10000);
        std::iota(s_bytes.begin(), s_bytes.end(), uint8_t{0});
        // A name outside ASCII checks the UTF-16 to UTF-8 path conversion.
        s_file = s_dir->Path() / "données-\u00e9t\u00e9.bin";
        std::ofstream(s_file, std::ios::binary)
            .write(reinterpret_cast<const char*>(s_bytes.data()), static_cast<std::streamsize>(s_bytes.size()));
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static SourcePtr OpenFile(const std::filesystem::path& path) {
        SourcePtr source = MakeSource();
        if (!source) return nullptr;
        const std::u16string name = Wide(path.string());
        const int32_t status = source->Open(name.c_str(), kSequentialScan, nullptr, 0);
        EXPECT_GE(status, 0) << path;
        return status >= 0 ? std::move(source) : nullptr;
    }

    static inline std::unique_ptr<TempDir> s_dir;
    static inline std::filesystem::path s_file;
    static inline std::vector<uint8_t> s_bytes;
};

TEST_F(CFileDataSourceTest, ReadsWholeFileAndSize) {
    SourcePtr source = OpenFile(s_file);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->GetSize(), s_bytes.size());
    std::vector<uint8_t> buffer(s_bytes.size() + 100, 0xEE);
    EXPECT_EQ(source->Read(buffer.data(), static_cast<uint32_t>(buffer.size())), s_bytes.size())
        << "a read past the end returns what there was";
    EXPECT_TRUE(std::equal(s_bytes.begin(), s_bytes.end(), buffer.begin()));
    EXPECT_EQ(source->Read(buffer.data(), 10), 0u) << "at the end";
}

TEST_F(CFileDataSourceTest, SeeksFromStartCurrentAndEnd) {
    SourcePtr source = OpenFile(s_file);
    ASSERT_TRUE(source);
    uint8_t b = 0;
    EXPECT_EQ(source->Seek(300, kSeekFromStart), 300u);
    ASSERT_EQ(source->Read(&b, 1), 1u);
    EXPECT_EQ(b, s_bytes[300]);
    EXPECT_EQ(source->Seek(99, kSeekFromCurrent), 400u);
    ASSERT_EQ(source->Read(&b, 1), 1u);
    EXPECT_EQ(b, s_bytes[400]);
    EXPECT_EQ(source->Seek(static_cast<uint64_t>(-11), kSeekFromCurrent), 390u) << "a backward move";
    EXPECT_EQ(source->Seek(0, kSeekFromEnd), s_bytes.size());
    EXPECT_EQ(source->Read(&b, 1), 0u);
    EXPECT_EQ(source->Seek(static_cast<uint64_t>(-1), kSeekFromEnd), s_bytes.size() - 1);
    ASSERT_EQ(source->Read(&b, 1), 1u);
    EXPECT_EQ(b, s_bytes.back());
}

TEST_F(CFileDataSourceTest, RefusesBadSeeksKeepingPosition) {
    SourcePtr source = OpenFile(s_file);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->Seek(50, kSeekFromStart), 50u);
    EXPECT_EQ(source->Seek(0, 0), UINT64_MAX) << "unknown mode";
    EXPECT_EQ(source->Seek(0, 4), UINT64_MAX) << "unknown mode";
    EXPECT_EQ(source->Seek(static_cast<uint64_t>(-51), kSeekFromCurrent), UINT64_MAX) << "before the start";
    EXPECT_EQ(source->Seek(UINT64_MAX - 1, kSeekFromStart), UINT64_MAX);
    uint8_t b = 0;
    ASSERT_EQ(source->Read(&b, 1), 1u);
    EXPECT_EQ(b, s_bytes[50]);
}

TEST_F(CFileDataSourceTest, ReachesPastFourGigabytes) {
    // Sparse: the 5 GiB cost nothing on disk.
    const std::filesystem::path big = s_dir->Path() / "sparse.bin";
    constexpr uint64_t kSize = 5ull << 30;
    constexpr uint64_t kMarkerAt = 9ull << 29;  // 4.5 GiB
    const char marker[] = "far marker";
    {
        const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kSize)), 0);
        ASSERT_EQ(::pwrite(fd, marker, sizeof marker, static_cast<off_t>(kMarkerAt)),
                  static_cast<ssize_t>(sizeof marker));
        ::close(fd);
    }
    SourcePtr source = OpenFile(big);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->GetSize(), kSize);
    EXPECT_EQ(source->Seek(kMarkerAt, kSeekFromStart), kMarkerAt);
    char read[sizeof marker] = {};
    ASSERT_EQ(source->Read(read, sizeof read), sizeof read);
    EXPECT_STREQ(read, marker);
    EXPECT_EQ(source->Seek(kMarkerAt, kSeekFromStart), kMarkerAt);
    EXPECT_EQ(source->Seek(kSize - kMarkerAt, kSeekFromCurrent), kSize);
    EXPECT_EQ(source->Seek(static_cast<uint64_t>(-static_cast<int64_t>(kSize - kMarkerAt)), kSeekFromEnd),
              kMarkerAt);
}

TEST_F(CFileDataSourceTest, OpenFailsForMissingFileAndFolder) {
    SourcePtr source = MakeSource();
    ASSERT_TRUE(source);
    const std::u16string missing = Wide((s_dir->Path() / "missing.bin").string());
    EXPECT_LT(source->Open(missing.c_str(), kSequentialScan, nullptr, 0), 0);
    const std::u16string folder = Wide(s_dir->Path().string());
    EXPECT_LT(source->Open(folder.c_str(), kSequentialScan, nullptr, 0), 0);
    EXPECT_LT(source->Open(u"", 0, nullptr, 0), 0);
    EXPECT_LT(source->Open(nullptr, 0, nullptr, 0), 0);
    uint8_t b = 0;
    EXPECT_EQ(source->Read(&b, 1), 0u) << "nothing open";
    EXPECT_EQ(source->GetSize(), 0u);
    EXPECT_EQ(source->Seek(0, kSeekFromStart), UINT64_MAX);
}

TEST_F(CFileDataSourceTest, CloseEndsAccessAndReopenWorks) {
    SourcePtr source = OpenFile(s_file);
    ASSERT_TRUE(source);
    source->Close();
    uint8_t b = 0;
    EXPECT_EQ(source->Read(&b, 1), 0u);
    source->Cleanup();
    const std::u16string name = Wide(s_file.string());
    ASSERT_GE(source->Open(name.c_str(), 0, nullptr, 0), 0);
    ASSERT_GE(source->Open(name.c_str(), 0, nullptr, 0), 0) << "open on open replaces the file";
    ASSERT_EQ(source->Read(&b, 1), 1u);
    EXPECT_EQ(b, s_bytes[0]);
}

TEST(CSoftDataSourceTest, ConstructsOnlyReadMode) {
    EXPECT_EQ(CSoftDataSource::Construct(static_cast<IOWordkMode>(1)), nullptr);
    SourcePtr source = MakeSource();
    ASSERT_TRUE(source);
    constexpr int32_t kNotSupported = static_cast<int32_t>(0x80000002u);
    EXPECT_EQ(source->HostSlot1(), kNotSupported);
    EXPECT_EQ(source->HostSlot21(), kNotSupported);
    EXPECT_EQ(source->HostSlot29(), kNotSupported);
}

}  // namespace
