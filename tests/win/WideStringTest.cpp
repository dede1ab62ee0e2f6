#include "win/WideString.h"

#include <gtest/gtest.h>

namespace {

using vrx::Utf16ToUtf8;
using vrx::Utf8ToUtf16;

TEST(WideStringTest, LengthAndCopies) {
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrlenW(u""), 0);
    EXPECT_EQ(lstrlenW(u"a\U0001D11Eb"), 4) << "length counts UTF-16 units";

    WCHAR buffer[8];
    EXPECT_EQ(lstrcpyW(buffer, u"profile"), buffer);
    EXPECT_EQ(std::u16string(buffer), u"profile");

    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(lstrcpynW(buffer, u"abcdef", 4), buffer);
    EXPECT_EQ(std::u16string(buffer), u"abc") << "at most n - 1 units, then the terminator";
    EXPECT_EQ(buffer[4], u'#') << "nothing written past n";
    lstrcpynW(buffer, u"ab", 8);
    EXPECT_EQ(std::u16string(buffer), u"ab");
    buffer[0] = u'#';
    lstrcpynW(buffer, u"ab", 0);
    EXPECT_EQ(buffer[0], u'#') << "n == 0 writes nothing";
}

TEST(WideStringTest, CaseInsensitiveCompareFoldsAscii) {
    EXPECT_EQ(lstrcmpiW(u"Profile.PRX", u"profile.prx"), 0);
    EXPECT_LT(lstrcmpiW(u"abc", u"ABD"), 0);
    EXPECT_GT(lstrcmpiW(u"abd", u"ABC"), 0);
    EXPECT_LT(lstrcmpiW(u"ab", u"ABC"), 0) << "a prefix sorts first";
    EXPECT_GT(lstrcmpiW(u"abc", u"AB"), 0);
    EXPECT_LT(lstrcmpiW(nullptr, u""), 0);
    EXPECT_EQ(lstrcmpiW(nullptr, nullptr), 0);
    EXPECT_NE(lstrcmpiW(u"[", u"{"), 0) << "only letters fold";
}

TEST(WideStringTest, Utf16ToUtf8HandlesSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(static_cast<const WCHAR*>(nullptr)), "");
    EXPECT_EQ(Utf16ToUtf8(u"A\u00E9\u20AC"), "A\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80") << "a surrogate pair is one code point";
    const char16_t loneHigh[] = {u'a', 0xD83D, u'b', 0};
    EXPECT_EQ(Utf16ToUtf8(loneHigh),
              "a\xEF\xBF\xBD"
              "b");
    const char16_t loneLow[] = {0xDE00, 0};
    EXPECT_EQ(Utf16ToUtf8(loneLow), "\xEF\xBF\xBD");
    const char16_t highAtEnd[] = {u'x', 0xD83D, 0};
    EXPECT_EQ(Utf16ToUtf8(highAtEnd), "x\xEF\xBF\xBD");
    const char16_t swapped[] = {0xDE00, 0xD83D, 0};
    EXPECT_EQ(Utf16ToUtf8(swapped), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

struct BadUtf8Case {
    const char* name;
    std::string_view input;
    std::u16string_view expected;
};

const BadUtf8Case kBadUtf8Cases[] = {
    {"OverlongTwoBytes", "\xC0\x80", u"\uFFFD\uFFFD"},
    {"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
    {"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"BeyondUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"TruncatedAtEnd", "a\xE2\x82", u"a\uFFFD"},
    {"TruncatedBeforeAscii", "\xF0\x9F\x98z", u"\uFFFDz"},
    {"StrayContinuation", "\x80x", u"\uFFFDx"},
    {"InvalidLeadByte", "\xFFy", u"\uFFFDy"},
};

class Utf8ToUtf16BadInputTest : public ::testing::TestWithParam<BadUtf8Case> {};

TEST_P(Utf8ToUtf16BadInputTest, ReplacesEachMaximalBadPart) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8ToUtf16BadInputTest, ::testing::ValuesIn(kBadUtf8Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WideStringTest, Utf8ToUtf16RoundTripsEveryPlane) {
    const std::string text = "ascii \xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E \xF4\x8F\xBF\xBF";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, u"ascii \u00E9 \u20AC \U0001D11E \U0010FFFF");
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    EXPECT_EQ(Utf8ToUtf16(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3)) << "embedded nulls are kept";
}

}  // namespace
