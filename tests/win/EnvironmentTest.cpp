#include "win/Environment.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "win/LastError.h"

namespace {

class EnvironmentTest : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("VRX_TEST_ENVIRONMENT"); }
};

TEST_F(EnvironmentTest, SizeConventions) {
    // Four characters, five UTF-16 units: the clef needs a surrogate pair.
    setenv("VRX_TEST_ENVIRONMENT", "/p\xC3\xA9\xF0\x9D\x84\x9E", 1);
    const DWORD dwNeeded = 6;
    EXPECT_EQ(GetEnvironmentVariableW(u"VRX_TEST_ENVIRONMENT", nullptr, 0), dwNeeded);

    WCHAR buffer[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(GetEnvironmentVariableW(u"VRX_TEST_ENVIRONMENT", buffer, 5), dwNeeded)
        << "room for the text but not its terminator";
    EXPECT_EQ(buffer[0], u'#') << "a buffer that is too small is left alone";

    EXPECT_EQ(GetEnvironmentVariableW(u"VRX_TEST_ENVIRONMENT", buffer, 6), 5u);
    EXPECT_EQ(std::u16string(buffer), u"/p\u00E9\U0001D11E");
    EXPECT_EQ(buffer[6], u'#');
}

TEST_F(EnvironmentTest, UnsetAndEmptyVariables) {
    unsetenv("VRX_TEST_ENVIRONMENT");
    WCHAR buffer[4] = {u'#'};
    SetLastError(0);
    EXPECT_EQ(GetEnvironmentVariableW(u"VRX_TEST_ENVIRONMENT", buffer, 4), 0u);
    EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);

    setenv("VRX_TEST_ENVIRONMENT", "", 1);
    SetLastError(12345);
    EXPECT_EQ(GetEnvironmentVariableW(u"VRX_TEST_ENVIRONMENT", buffer, 4), 0u);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "set but empty is no failure";
    EXPECT_EQ(buffer[0], 0);

    EXPECT_EQ(GetEnvironmentVariableW(nullptr, buffer, 4), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
