#include "win/FindFile.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "support/Media.h"
#include "support/TempDir.h"
#include "win/LastError.h"
#include "win/WideString.h"

namespace {

struct Found {
    DWORD dwAttributes;
    uint64_t size;
};

class FindFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>("findfile");
        const auto& d = s_dir->Path();
        std::ofstream(d / "a.prx") << "12345";
        std::ofstream(d / "B.PRX") << "x";
        std::ofstream(d / "\u00E9.prx") << "";
        std::ofstream(d / "c.txt") << "not a profile";
        std::ofstream(d / "a.prx.bak") << "";
        std::filesystem::create_directory(d / "folder.prx");
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    // Every match of the pattern, by name; fails the test on a duplicate.
    static std::map<std::u16string, Found> FindAll(const std::u16string& pattern) {
        std::map<std::u16string, Found> found;
        WIN32_FIND_DATAW data{};
        const HANDLE h = FindFirstFileW(pattern.c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return found;
        do {
            const Found f{data.dwFileAttributes, (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
            EXPECT_TRUE(found.emplace(data.cFileName, f).second) << vrx::Utf16ToUtf8(data.cFileName);
        } while (FindNextFileW(h, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(h));
        return found;
    }

    static std::u16string Pattern(const std::string& pattern) {
        return Wide(s_dir->Path().string() + "/" + pattern);
    }

    static inline std::unique_ptr<TempDir> s_dir;
};

TEST_F(FindFileTest, ExtensionPatternFindsProfilesOnly) {
    const auto found = FindAll(Pattern("*.prx"));
    ASSERT_EQ(found.size(), 4u);
    ASSERT_TRUE(found.count(u"a.prx"));
    EXPECT_EQ(found.at(u"a.prx").size, 5u);
    EXPECT_EQ(found.at(u"a.prx").dwAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(found.count(u"B.PRX")) << "the extension matches without regard to case";
    EXPECT_TRUE(found.count(u"\u00E9.prx"));
    ASSERT_TRUE(found.count(u"folder.prx"));
    EXPECT_TRUE(found.at(u"folder.prx").dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FindFileTest, QuestionMarkMatchesExactlyOneCharacter) {
    const auto found = FindAll(Pattern("?.prx"));
    EXPECT_EQ(found.size(), 3u);
    EXPECT_FALSE(found.count(u"folder.prx"));
    EXPECT_TRUE(FindAll(Pattern("??.prx")).empty());
}

TEST_F(FindFileTest, StarsMatchAnyRun) {
    EXPECT_EQ(FindAll(Pattern("a*")).size(), 2u) << "a.prx and a.prx.bak";
    EXPECT_EQ(FindAll(Pattern("*.bak")).size(), 1u);
    EXPECT_EQ(FindAll(Pattern("c.txt")).size(), 1u) << "a plain name";
    const auto all = FindAll(Pattern("*"));
    EXPECT_TRUE(all.count(u"c.txt"));
    EXPECT_TRUE(all.count(u"..")) << "the folder's own entries are listed, as on the platform";
}

TEST_F(FindFileTest, BackslashSeparatesTheFolder) {
    EXPECT_EQ(FindAll(Wide(s_dir->Path().string()) + u"\\*.PRX").size(), 4u);
}

TEST_F(FindFileTest, NothingToFindSetsTheReason) {
    WIN32_FIND_DATAW data{};
    SetLastError(0);
    EXPECT_EQ(FindFirstFileW(Pattern("*.wmv").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(Pattern("nofolder/*.prx").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(Pattern("").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW(nullptr, &data), INVALID_HANDLE_VALUE);
}

TEST_F(FindFileTest, ClosedFindHandleIsRefused) {
    WIN32_FIND_DATAW data{};
    const HANDLE h = FindFirstFileW(Pattern("*.prx").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(FindClose(h));
    SetLastError(0);
    EXPECT_FALSE(FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(h));
}

}  // namespace
