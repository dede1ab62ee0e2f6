#include "win/WidePrintf.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "win/WideString.h"

namespace {

// Formats into a roomy buffer and checks the returned length against it.
std::u16string Format(const WCHAR* fmt, ...) {
    WCHAR buffer[512];
    va_list args;
    va_start(args, fmt);
    const int n = wvnsprintfW(buffer, 512, fmt, args);
    va_end(args);
    EXPECT_EQ(n, lstrlenW(buffer)) << "the result is the length written";
    return buffer;
}

TEST(WidePrintfTest, SignedIntegers) {
    EXPECT_EQ(Format(u"%d|%i", 42, -42), u"42|-42");
    EXPECT_EQ(Format(u"%d", INT_MIN), u"-2147483648");
    EXPECT_EQ(Format(u"%ld", 7), u"7") << "l is 32-bit, as LONG is";
    EXPECT_EQ(Format(u"%hd", 70000), u"4464") << "h narrows to short";
    EXPECT_EQ(Format(u"%lld|%I64d", INT64_MIN, int64_t{1} << 40), u"-9223372036854775808|1099511627776");
}

TEST(WidePrintfTest, UnsignedIntegers) {
    EXPECT_EQ(Format(u"%x", 0xC00D0BB8u), u"c00d0bb8") << "lower case, no prefix of its own";
    EXPECT_EQ(Format(u"%08x", 0x1Fu), u"0000001f");
    EXPECT_EQ(Format(u"%X", 0xABCDEFu), u"ABCDEF");
    EXPECT_EQ(Format(u"%u", 4294967295u), u"4294967295");
    EXPECT_EQ(Format(u"%o", 8u), u"10");
    EXPECT_EQ(Format(u"%hu", 65537u), u"1");
    EXPECT_EQ(Format(u"%llu|%llx|%I64X", UINT64_MAX, uint64_t{0xDEADBEEF12}, uint64_t{0xABC}),
              u"18446744073709551615|deadbeef12|ABC");
}

TEST(WidePrintfTest, FlagsWidthAndPrecision) {
    EXPECT_EQ(Format(u"[%5d][%-5d][%05d]", 42, 42, -42), u"[   42][42   ][-0042]");
    EXPECT_EQ(Format(u"[%+d][% d][%+d]", 5, 5, -5), u"[+5][ 5][-5]");
    EXPECT_EQ(Format(u"[%#x][%#X][%#o][%#x]", 255u, 255u, 8u, 0u), u"[0xff][0XFF][010][0]");
    EXPECT_EQ(Format(u"[%#08x]", 255u), u"[0x0000ff]") << "zeros go after the prefix";
    EXPECT_EQ(Format(u"[%.3d][%6.3d][%-6.3d]", 7, -7, 7), u"[007][  -007][007   ]");
    EXPECT_EQ(Format(u"[%08.3d]", 7), u"[     007]") << "a precision turns the 0 flag off";
    EXPECT_EQ(Format(u"[%.0d][%.0x][%#.0o]", 0, 0u, 0u), u"[][][0]");
    EXPECT_EQ(Format(u"[%*d][%-*d][%.*d]", 4, 1, 3, 2, 3, 3), u"[   1][2  ][003]");
    EXPECT_EQ(Format(u"[%*d]", -4, 1), u"[1   ]") << "a negative * width aligns left";
    EXPECT_EQ(Format(u"[%.*d]", -1, 5), u"[5]") << "a negative * precision counts as none";
}

TEST(WidePrintfTest, Strings) {
    EXPECT_EQ(Format(u"%s", u"wide \u00E9\U0001F600"), u"wide \u00E9\U0001F600") << "%s takes a WCHAR string";
    EXPECT_EQ(Format(u"%ls|%hs", u"w", "n"), u"w|n");
    EXPECT_EQ(Format(u"%S", "narrow \xC3\xA9"), u"narrow \u00E9") << "%S takes UTF-8";
    EXPECT_EQ(Format(u"[%6s][%-6s][%.2s]", u"abc", u"abc", u"abc"), u"[   abc][abc   ][ab]");
    EXPECT_EQ(Format(u"[%.3S]", "abcdef"), u"[abc]");
    EXPECT_EQ(Format(u"[%s][%S][%8s]", nullptr, nullptr, nullptr), u"[(null)][(null)][  (null)]");
    const WCHAR unterminated[] = {u'x', u'y', u'z'};
    EXPECT_EQ(Format(u"%.3s", unterminated), u"xyz") << "a precision bounds the read";
}

TEST(WidePrintfTest, CharactersPointersAndPercent) {
    EXPECT_EQ(Format(u"[%c][%c][%3c][%-3c]", u'a', 0x00E9, u'b', u'c'), u"[a][\u00E9][  b][c  ]");
    EXPECT_EQ(Format(u"[%C][%hc]", 'n', 'm'), u"[n][m]");
    EXPECT_EQ(Format(u"%p", reinterpret_cast<void*>(uintptr_t{0x12FF7C})), u"000000000012FF7C");
    EXPECT_EQ(Format(u"100%%"), u"100%");
}

TEST(WidePrintfTest, MalformedConversionsAreCopied) {
    EXPECT_EQ(Format(u"%y|%d", 5), u"%y|5") << "an unknown conversion takes no argument";
    EXPECT_EQ(Format(u"end %"), u"end %");
    EXPECT_EQ(Format(u"end %-08.3l"), u"end %-08.3l");
    EXPECT_EQ(Format(u"%I6d", 1), u"%I6d") << "I64 only as a whole";
}

TEST(WidePrintfTest, LongTextIsCutAtTheBufferAndTerminated) {
    constexpr int kBuffer = 8192;
    const std::u16string longText(9000, u'x');
    std::vector<WCHAR> buffer(kBuffer + 16, u'#');
    EXPECT_EQ(wnsprintfW(buffer.data(), kBuffer, u"%s", longText.c_str()), -1) << "cut text reports -1";
    EXPECT_EQ(lstrlenW(buffer.data()), kBuffer - 1);
    for (size_t i = kBuffer; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], u'#') << "written past the buffer at " << i;

    EXPECT_EQ(wnsprintfW(buffer.data(), kBuffer, u"%9000d", 1), -1) << "padding is cut too";
    EXPECT_EQ(lstrlenW(buffer.data()), kBuffer - 1);
    EXPECT_EQ(buffer[kBuffer - 2], u' ');

    EXPECT_EQ(wnsprintfW(buffer.data(), kBuffer, u"%.9000d", 1), -1);
    EXPECT_EQ(buffer[kBuffer - 2], u'0');
}

TEST(WidePrintfTest, TinyBuffers) {
    WCHAR buffer[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(wnsprintfW(buffer, 3, u"abc"), -1);
    EXPECT_EQ(std::u16string(buffer), u"ab");
    EXPECT_EQ(buffer[3], u'#');
    EXPECT_EQ(wnsprintfW(buffer, 3, u"ab"), 2) << "text that just fits is not cut";
    EXPECT_EQ(wnsprintfW(buffer, 1, u"abc"), -1);
    EXPECT_EQ(buffer[0], 0);
    buffer[0] = u'#';
    EXPECT_EQ(wnsprintfW(buffer, 0, u"abc"), -1);
    EXPECT_EQ(buffer[0], u'#') << "no room at all: nothing written";
    EXPECT_EQ(wnsprintfW(nullptr, 10, u"abc"), -1);
    EXPECT_EQ(wnsprintfW(buffer, 4, nullptr), -1);
    EXPECT_EQ(buffer[0], 0);
}

}  // namespace
