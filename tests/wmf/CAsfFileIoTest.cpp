#include "wmf/CAsfFileIo.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "support/TempDir.h"
#include "win/NsError.h"
#include "wmf/WriterTestSupport.h"

namespace {

class CAsfFileIoTest : public ::testing::Test {
protected:
    TempDir m_dir{"asffileio"};
    const std::vector<uint8_t> m_bytes = std::vector<uint8_t>(256 * 1024, 0x5A);
};

TEST_F(CAsfFileIoTest, RegularFileIsSeekable) {
    const auto path = m_dir.Path() / "a.bin";
    CAsfFileIo io;
    ASSERT_EQ(io.Create(path.string()), S_OK);
    EXPECT_TRUE(io.Seekable());
    avio_write(io.Context(), reinterpret_cast<const unsigned char*>("abcdef"), 6);
    ASSERT_GE(avio_seek(io.Context(), 1, SEEK_SET), 0);
    avio_write(io.Context(), reinterpret_cast<const unsigned char*>("XY"), 2);
    avio_flush(io.Context());
    EXPECT_EQ(avio_size(io.Context()), 6);
    EXPECT_EQ(io.Close(), S_OK);
    const std::vector<BYTE> content = ReadFileBytes(path);
    EXPECT_EQ(std::string(content.begin(), content.end()), "aXYdef");
}

TEST_F(CAsfFileIoTest, OpeningFailuresHaveThePlatformsCodes) {
    CAsfFileIo missing;
    EXPECT_EQ(missing.Create((m_dir.Path() / "no" / "a.bin").string()),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    const auto fifo = m_dir.Path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CAsfFileIo noReader;
    EXPECT_EQ(noReader.Create(fifo.string()), NS_E_FILE_OPEN_FAILED) << "and does not wait for one";
}

TEST_F(CAsfFileIoTest, FullDiskIsDiskFull) {
    CAsfFileIo io;
    ASSERT_EQ(io.Create("/dev/full"), S_OK);
    EXPECT_FALSE(io.Seekable());
    avio_write(io.Context(), m_bytes.data(), static_cast<int>(m_bytes.size()));
    avio_flush(io.Context());
    EXPECT_EQ(io.LastError(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_EQ(io.Close(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
}

TEST_F(CAsfFileIoTest, ReaderThatStopsTakingDataTimesOut) {
    const auto fifo = m_dir.Path() / "stalled";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    CAsfFileIo io;
    ASSERT_EQ(io.Create(fifo.string(), /*msStallLimit=*/100), S_OK);
    avio_write(io.Context(), m_bytes.data(), static_cast<int>(m_bytes.size()));
    avio_flush(io.Context());
    EXPECT_EQ(io.LastError(), NS_E_TIMEOUT);
    EXPECT_EQ(io.Close(), NS_E_TIMEOUT);
    close(reader);
}

TEST_F(CAsfFileIoTest, ReaderThatLeavesIsAWriteErrorNotASignal) {
    const auto fifo = m_dir.Path() / "gone";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    CAsfFileIo io;
    ASSERT_EQ(io.Create(fifo.string(), 100), S_OK);
    close(reader);
    avio_write(io.Context(), m_bytes.data(), 1000);
    avio_flush(io.Context());
    EXPECT_EQ(io.LastError(), NS_E_FILE_WRITE);
}

TEST_F(CAsfFileIoTest, RefusedFileStaysAsItWas) {
    const auto path = m_dir.Path() / "refused.bin";
    CAsfFileIo io;
    ASSERT_EQ(io.Create(path.string()), S_OK);
    avio_write(io.Context(), reinterpret_cast<const unsigned char*>("keep"), 4);
    avio_flush(io.Context());
    io.Refuse();
    avio_write(io.Context(), reinterpret_cast<const unsigned char*>("lost"), 4);
    io.Close();
    EXPECT_EQ(ReadFileBytes(path).size(), 4u);
}

}  // namespace
