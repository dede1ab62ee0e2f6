#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "support/Media.h"
#include "vrx/VRXHost.h"

namespace {

constexpr uint32_t kDefault = 0xDEADBEEF;

struct SettingCase {
    const char* name;
    const char* text;  // null: unset
    int32_t found;
    uint32_t value;
};

const SettingCase kSettingCases[] = {
    {"Decimal", "12000", 1, 12000},
    {"Zero", "0", 1, 0},
    {"LargestDecimal", "4294967295", 1, 0xFFFFFFFF},
    {"HexLower", "0x1f4", 1, 500},
    {"HexUpper", "0XFFFFFFFF", 1, 0xFFFFFFFF},
    {"Unset", nullptr, 0, kDefault},
    {"Empty", "", 0, kDefault},
    {"Negative", "-1", 0, kDefault},
    {"TrailingText", "100ms", 0, kDefault},
    {"TooLarge", "4294967296", 0, kDefault},
    {"HexWithoutDigits", "0x", 0, kDefault},
    {"Words", "forever", 0, kDefault},
};

class HostSettingsTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(HostSettingsTest, ReadsEnvironmentSetting) {
    const SettingCase& c = GetParam();
    if (c.text) setenv("VRX_SETTING_HandleTimeOut", c.text, 1);
    else unsetenv("VRX_SETTING_HandleTimeOut");
    uint32_t value = kDefault;
    EXPECT_EQ(VRX_GetGlobalIntW(u"Software\\Ferrow", u"Velmora", u"HandleTimeOut", &value, 1), c.found);
    EXPECT_EQ(value, c.value);
    unsetenv("VRX_SETTING_HandleTimeOut");
}

INSTANTIATE_TEST_SUITE_P(Texts, HostSettingsTest, ::testing::ValuesIn(kSettingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostSettingsNameTest, EachNameHasItsOwnVariable) {
    setenv("VRX_SETTING_CloseErrorWMV", "1", 1);
    unsetenv("VRX_SETTING_HandleTimeOut");
    uint32_t closeError = 0;
    uint32_t timeOut = kDefault;
    EXPECT_EQ(VRX_GetGlobalIntW(u"Software\\Ferrow", u"Velmora", u"CloseErrorWMV", &closeError, 0), 1);
    EXPECT_EQ(VRX_GetGlobalIntW(u"Software\\Ferrow", u"Velmora", u"HandleTimeOut", &timeOut, 1), 0);
    EXPECT_EQ(closeError, 1u);
    EXPECT_EQ(timeOut, kDefault);
    EXPECT_EQ(VRX_GetGlobalIntW(nullptr, nullptr, u"CloseErrorWMV", nullptr, 0), 0);
    EXPECT_EQ(VRX_GetGlobalIntW(nullptr, nullptr, nullptr, &closeError, 0), 0);
    unsetenv("VRX_SETTING_CloseErrorWMV");
}

TEST(QZGetLibInfoTest, FillsNameAndVersion) {
    SVRXLibInfo info{};
    info.cbSize = sizeof info;
    ASSERT_EQ(QZGetLibInfo(&info), 0u);
    EXPECT_EQ(std::u16string(info.szName), u"VRXVelmoraSysU");
    EXPECT_EQ(info.dwVersion, (uint32_t{VRX_TEST_VERSION_MAJOR} << 16) | VRX_TEST_VERSION_MINOR);
    EXPECT_EQ(std::u16string(info.szVersion), Wide(VRX_TEST_VERSION ".0"));
}

TEST(QZGetLibInfoTest, RefusesNullAndShortRecords) {
    EXPECT_EQ(QZGetLibInfo(nullptr), 0x80000005u);
    SVRXLibInfo info{};
    info.cbSize = sizeof info - 1;
    EXPECT_EQ(QZGetLibInfo(&info), 0x80000006u);
    EXPECT_EQ(info.szName[0], 0) << "nothing written";
}

}  // namespace
