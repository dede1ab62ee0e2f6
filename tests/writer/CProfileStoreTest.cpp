// The profile store against the fake runtime: its manager, its version and
// its scan of a folder of .prx files.
#include "writer/CProfileStore.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "support/TempDir.h"
#include "writer/FakeWm.h"

namespace {

class CProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorld();
        unsetenv("VELMORAPROFILE");
        m_cLiveBefore = LiveFakeObjects();
    }
    void TearDown() override {
        unsetenv("VELMORAPROFILE");
        EXPECT_EQ(LiveFakeObjects(), m_cLiveBefore) << "the store released what it obtained";
    }
    int m_cLiveBefore = 0;
};

TEST_F(CProfileStoreTest, StartsAtVersion7) {
    const CProfileStore store;
    ASSERT_NE(store.Manager(), nullptr);
    EXPECT_EQ(store.ProfileVersion(), WMT_VER_7_0);
    EXPECT_EQ(World().systemVersions, std::vector<WMT_VERSION>{WMT_VER_7_0});
    EXPECT_EQ(store.ProfileTextCount(), 0u) << "VELMORAPROFILE is unset";
}

TEST_F(CProfileStoreTest, SetsAndRecordsTheVersion) {
    CProfileStore store;
    EXPECT_EQ(store.SetProfileVersion(WMT_VER_9_0), S_OK);
    EXPECT_EQ(store.ProfileVersion(), WMT_VER_9_0);
    EXPECT_EQ(World().systemVersions, (std::vector<WMT_VERSION>{WMT_VER_7_0, WMT_VER_9_0}));
}

TEST_F(CProfileStoreTest, ManagerWithoutVersionsKeepsVersion7) {
    World().bNoManager2 = true;
    CProfileStore store;
    ASSERT_NE(store.Manager(), nullptr);
    EXPECT_EQ(store.SetProfileVersion(WMT_VER_8_0), E_NOINTERFACE);
    EXPECT_EQ(store.ProfileVersion(), WMT_VER_7_0);
    EXPECT_TRUE(World().systemVersions.empty());
}

TEST_F(CProfileStoreTest, NoManagerKeepsVersion7) {
    World().bNoManager = true;
    CProfileStore store;
    EXPECT_EQ(store.Manager(), nullptr);
    EXPECT_TRUE(FAILED(store.SetProfileVersion(WMT_VER_9_0)));
    EXPECT_EQ(store.ProfileVersion(), WMT_VER_7_0);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(CProfileStoreTest, ReadsAtMost50ProfileFiles) {
    const TempDir dir("prx");
    const std::string valid = "<profile version=\"589824\" name=\"test\"></profile>";
    WriteFile(dir.Path() / "a-valid.prx", valid);
    WriteFile(dir.Path() / "b-empty.prx", "");
    WriteFile(dir.Path() / "c-unreadable.prx", "secret");
    chmod((dir.Path() / "c-unreadable.prx").c_str(), 0);
    std::filesystem::create_directory(dir.Path() / "d-folder.prx");
    WriteFile(dir.Path() / "e-other.txt", "not a profile");
    for (int i = 0; i < 60; ++i) WriteFile(dir.Path() / ("gen" + std::to_string(i) + ".prx"), valid);
    setenv("VELMORAPROFILE", dir.Path().c_str(), 1);

    const CProfileStore store;
    ASSERT_EQ(store.ProfileTextCount(), CProfileStore::kMaxProfileTexts);
    bool bSawValid = false;
    for (size_t i = 0; i < store.ProfileTextCount(); ++i) {
        const auto text = store.ProfileText(i);
        if (text.size() != 2 * valid.size()) continue;
        EXPECT_EQ(std::string(text.begin(), text.begin() + valid.size()), valid);
        EXPECT_TRUE(std::all_of(text.begin() + valid.size(), text.end(), [](BYTE b) { return b == 0; }));
        bSawValid = true;
    }
    EXPECT_TRUE(bSawValid);
}

TEST_F(CProfileStoreTest, ReadsEveryFileOfASmallFolder) {
    const TempDir dir("prx");
    WriteFile(dir.Path() / "one.prx", "1");
    WriteFile(dir.Path() / "two.PRX", "22");
    WriteFile(dir.Path() / "empty.prx", "");
    setenv("VELMORAPROFILE", dir.Path().c_str(), 1);
    const CProfileStore store;
    EXPECT_EQ(store.ProfileTextCount(), 3u);
}

struct SFolderCase {
    const char* name;
    std::string value;
};

class ProfileFolderTest : public CProfileStoreTest, public ::testing::WithParamInterface<SFolderCase> {};

TEST_P(ProfileFolderTest, HarmlessSettingReadsNothing) {
    std::string value = GetParam().value;
    const TempDir dir("prx-setting");
    if (value == "FILE") {
        value = (dir.Path() / "plain.prx").string();
        WriteFile(value, "x");
    } else if (value == "LONG") {
        // A real folder with a profile in it, named by more than 1024
        // characters: the name is not used at all.
        std::filesystem::path folder = dir.Path();
        for (int i = 0; i < 5; ++i) folder /= std::string(250, static_cast<char>('a' + i));
        std::filesystem::create_directories(folder);
        WriteFile(folder / "deep.prx", "x");
        value = folder.string();
    }
    setenv("VELMORAPROFILE", value.c_str(), 1);
    const CProfileStore store;
    EXPECT_NE(store.Manager(), nullptr);
    EXPECT_EQ(store.ProfileTextCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Settings, ProfileFolderTest,
                         ::testing::Values(SFolderCase{"Empty", ""},
                                           SFolderCase{"TooLong", "LONG"},
                                           SFolderCase{"NamingAFile", "FILE"},
                                           SFolderCase{"Missing", "/nonexistent/folder"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
