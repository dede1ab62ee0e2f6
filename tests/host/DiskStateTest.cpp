#include <algorithm>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "vrx/VRXHost.h"

namespace {

TEST(DiskStateTest, MarkLastsUntilCleared) {
    VRX_ClearDiskError(u'/');
    EXPECT_EQ(GetDiskStatus(u'/'), 1);
    SetDiskError(u'/');
    EXPECT_EQ(GetDiskStatus(u'/'), 0);
    EXPECT_EQ(GetDiskStatus(u'/'), 0) << "asking does not clear";
    VRX_ClearDiskError(u'/');
    EXPECT_EQ(GetDiskStatus(u'/'), 1);
}

TEST(DiskStateTest, DrivesAreIndependentAndLettersIgnoreCase) {
    SetDiskError(u'd');
    EXPECT_EQ(GetDiskStatus(u'D'), 0);
    EXPECT_EQ(GetDiskStatus(u'e'), 1);
    EXPECT_EQ(GetDiskStatus(u'/'), 1);
    VRX_ClearDiskError(u'D');
    EXPECT_EQ(GetDiskStatus(u'd'), 1);
    SetDiskError(u'\u00e9');
    EXPECT_EQ(GetDiskStatus(u'\u00e9'), 0) << "any character names a drive";
    VRX_ClearDiskError(u'\u00e9');
}

TEST(DiskStateTest, ThreadsMarkingDifferentDrivesDoNotInterfere) {
    std::vector<std::thread> threads;
    for (char16_t drive = u'F'; drive < u'N'; ++drive) {
        threads.emplace_back([drive] {
            for (int i = 0; i < 2000; ++i) {
                SetDiskError(drive);
                ASSERT_EQ(GetDiskStatus(drive), 0);
                VRX_ClearDiskError(drive);
                ASSERT_EQ(GetDiskStatus(drive), 1);
            }
        });
    }
    for (auto& t : threads) t.join();
}

TEST(ConvertUNC2LocalPathNameTest, CopiesPathBounded) {
    char16_t local[260];
    std::fill(std::begin(local), std::end(local), u'#');
    ASSERT_EQ(ConvertUNC2LocalPathName(u"/media/clips/\u00e9t\u00e9.wmv", local), 1);
    EXPECT_EQ(std::u16string(local), u"/media/clips/\u00e9t\u00e9.wmv");

    const std::u16string longPath(400, u'x');
    std::fill(std::begin(local), std::end(local), u'#');
    ASSERT_EQ(ConvertUNC2LocalPathName(longPath.c_str(), local), 1);
    EXPECT_EQ(std::u16string(local), longPath.substr(0, 259));

    EXPECT_EQ(ConvertUNC2LocalPathName(nullptr, local), 0);
    EXPECT_EQ(ConvertUNC2LocalPathName(u"/x", nullptr), 0);
}

}  // namespace
