#include "win/Files.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "win/LastError.h"
#include "win/Sync.h"

namespace {

class FilesTest : public ::testing::Test {
protected:
    std::u16string PathOf(const std::string& name) const { return Wide((m_dir.Path() / name).string()); }

    HANDLE Open(const std::string& name, DWORD dwAccess, DWORD dwDisposition) const {
        return CreateFileW(PathOf(name).c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           dwDisposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::string Contents(const std::string& name) const {
        std::ifstream in(m_dir.Path() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempDir m_dir{"files"};
};

TEST_F(FilesTest, WriteThenReadBack) {
    {
        SetLastError(12345);
        const UniqueHandle file(Open("\u00E9t\u00E9.prx", GENERIC_WRITE, CREATE_ALWAYS));
        ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "a new file";
        DWORD cbWritten = 0;
        ASSERT_TRUE(WriteFile(file.get(), "hello", 5, &cbWritten, nullptr));
        EXPECT_EQ(cbWritten, 5u);
    }
    EXPECT_EQ(Contents("\u00E9t\u00E9.prx"), "hello") << "UTF-16 name, UTF-8 on disk";

    const UniqueHandle file(Open("\u00E9t\u00E9.prx", GENERIC_READ, OPEN_EXISTING));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
    DWORD dwHigh = 99;
    EXPECT_EQ(GetFileSize(file.get(), &dwHigh), 5u);
    EXPECT_EQ(dwHigh, 0u);
    char buffer[16] = {};
    DWORD cbRead = 0;
    ASSERT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &cbRead, nullptr));
    EXPECT_EQ(std::string(buffer, cbRead), "hello");
    ASSERT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &cbRead, nullptr)) << "the end is no failure";
    EXPECT_EQ(cbRead, 0u);
}

TEST_F(FilesTest, DispositionsFollowThePlatform) {
    std::ofstream(m_dir.Path() / "old.prx") << "old contents";

    SetLastError(0);
    EXPECT_EQ(Open("old.prx", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    HANDLE h = Open("old.prx", GENERIC_READ, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(Contents("old.prx"), "old contents") << "OPEN_ALWAYS keeps the contents";

    h = Open("old.prx", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(Contents("old.prx"), "") << "CREATE_ALWAYS truncates";

    h = Open("new.prx", GENERIC_READ, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(h);
    EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "new.prx"));
}

TEST_F(FilesTest, OpenFailuresSetTheLastError) {
    SetLastError(0);
    EXPECT_EQ(Open("missing.prx", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("nodir/missing.prx", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    std::filesystem::create_directory(m_dir.Path() / "folder");
    EXPECT_EQ(Open("folder", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open("x.prx", GENERIC_READ, 99), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FilesTest, BackslashesSeparateFolders) {
    std::filesystem::create_directory(m_dir.Path() / "sub");
    std::ofstream(m_dir.Path() / "sub" / "p.prx") << "x";
    const std::u16string path = Wide(m_dir.Path().string()) + u"\\sub\\p.prx";
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, 3, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_NE(file.get(), INVALID_HANDLE_VALUE);
}

TEST_F(FilesTest, AccessIsCheckedPerHandle) {
    const UniqueHandle writeOnly(Open("w.prx", GENERIC_WRITE, CREATE_ALWAYS));
    ASSERT_NE(writeOnly.get(), INVALID_HANDLE_VALUE);
    char c = 0;
    DWORD cb = 7;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(writeOnly.get(), &c, 1, &cb, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(cb, 0u);
    const UniqueHandle readOnly(Open("w.prx", GENERIC_READ, OPEN_EXISTING));
    EXPECT_FALSE(WriteFile(readOnly.get(), "x", 1, &cb, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FilesTest, FileHandlesAreNotWaitableNorEvents) {
    const UniqueHandle file(Open("f.prx", GENERIC_WRITE, CREATE_ALWAYS));
    EXPECT_EQ(WaitForSingleObject(file.get(), 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(file.get()));
    const UniqueHandle ev(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    DWORD cb = 0;
    SetLastError(0);
    EXPECT_EQ(GetFileSize(ev.get(), nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WriteFile(ev.get(), "x", 1, &cb, nullptr));
}

TEST_F(FilesTest, SizesBeyondFourGigabytesHaveAHighPart) {
    constexpr uint64_t kSize = 5'000'000'000;
    { std::ofstream(m_dir.Path() / "big.bin"); }
    std::error_code ec;
    std::filesystem::resize_file(m_dir.Path() / "big.bin", kSize, ec);  // sparse: no disk space used
    if (ec) GTEST_SKIP() << "the file system cannot hold a sparse 5 GB file";
    const UniqueHandle file(Open("big.bin", GENERIC_READ, OPEN_EXISTING));
    DWORD dwHigh = 0;
    EXPECT_EQ(GetFileSize(file.get(), &dwHigh), static_cast<DWORD>(kSize));
    EXPECT_EQ(dwHigh, 1u);
}

}  // namespace
