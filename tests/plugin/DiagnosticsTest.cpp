// Message formatting and the two log channels.
#include "plugin/Diagnostics.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/HostLogHook.h"
#include "win/Debug.h"

namespace {

TEST(DiagnosticsTest, HexadecimalHasNoPrefixOfItsOwn) {
    std::u16string text;
    FormatString(text, u"%x", 0xC00D0BB8u);
    EXPECT_EQ(text, u"c00d0bb8");
    FormatString(text, u"%08x", 0x1Fu);
    EXPECT_EQ(text, u"0000001f");
}

TEST(DiagnosticsTest, FormattingReplacesEarlierText) {
    std::u16string text = u"an earlier, much longer message";
    FormatString(text, u"code %d", 7);
    EXPECT_EQ(text, u"code 7");
    FormatString(text, nullptr);
    EXPECT_EQ(text, u"");
}

TEST(DiagnosticsTest, ConversionsOfTheWideFamily) {
    std::u16string text;
    FormatString(text, u"file %s!", u"clip.wmv");
    EXPECT_EQ(text, u"file clip.wmv!");
    FormatString(text, u"%d %u %X %c %lld %%", -5, 4000000000u, 0xABCu, u'Z', -123456789012LL);
    EXPECT_EQ(text, u"-5 4000000000 ABC Z -123456789012 %");
    FormatString(text, u"[%5d|%-5d|%.3s|%05u|%8s]", 42, 42, u"abcdef", 7u, u"ab");
    EXPECT_EQ(text, u"[   42|42   |abc|00007|      ab]");
}

TEST(DiagnosticsTest, LongMessagesAreCutTo8191Characters) {
    const std::u16string longText(9000, u'w');
    std::u16string text;
    FormatString(text, u"%s", longText.c_str());
    EXPECT_EQ(text, longText.substr(0, 8191));
    FormatString(text, longText.c_str());
    EXPECT_EQ(text, longText.substr(0, 8191));
    const std::u16string exact(8191, u'e');
    FormatString(text, u"%s", exact.c_str());
    EXPECT_EQ(text, exact);
}

struct HostEntry {
    std::u16string source;
    uint32_t type;
    std::u16string text;
    bool operator==(const HostEntry&) const = default;
};

void PrintTo(const HostEntry& e, std::ostream* os) {
    *os << "{type " << e.type << ", " << e.text.size() << " chars}";
}

// Captures both channels for the length of one test.
class DiagnosticsLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        VrxSetDebugOutputHook(
            [](const WCHAR* text, void* ctx) {
                static_cast<DiagnosticsLogTest*>(ctx)->m_debug.emplace_back(text);
            },
            this);
        VRX_SetHostLogHook(
            [](const char16_t* source, uint32_t type, const char16_t* text, void* ctx) {
                static_cast<DiagnosticsLogTest*>(ctx)->m_host.push_back({source, type, text});
            },
            this);
    }
    void TearDown() override {
        VrxSetDebugOutputHook(nullptr, nullptr);
        VRX_SetHostLogHook(nullptr, nullptr);
    }
    std::vector<std::u16string> m_debug;
    std::vector<HostEntry> m_host;
};

TEST_F(DiagnosticsLogTest, DebuggerOutputTakesTheFinishedText) {
    DebugOutput(u"100% read\n");
    DebugOutputF(u"MuxerForWinMedia::PutStreamData() Failed( wmv sdk code:%x), iEsPid:%d\n",
                 0xC00D0BB8u, 1);
    const std::u16string longText(9000, u'd');
    DebugOutputF(u"%s", longText.c_str());
    EXPECT_EQ(m_debug, (std::vector<std::u16string>{
                           u"100% read\n",
                           u"MuxerForWinMedia::PutStreamData() Failed( wmv sdk code:c00d0bb8), iEsPid:1\n",
                           longText.substr(0, 8191)}));
    EXPECT_TRUE(m_host.empty());
}

TEST_F(DiagnosticsLogTest, HostLogKeepsPercentSignsAndTheType) {
    HostLog(INFOTYPE_WARNING, u"frame rate assumed: 100% sure? %s %d\n");
    HostLogF(INFOTYPE_DIAGNOSTIC, u"audio %uHz %s\n", 44100u, u"pcm");
    EXPECT_EQ(m_host, (std::vector<HostEntry>{
                          {u"VRXWinMediaCodec", 1, u"frame rate assumed: 100% sure? %s %d\n"},
                          {u"VRXWinMediaCodec", 8, u"audio 44100Hz pcm\n"}}));
    EXPECT_TRUE(m_debug.empty());
}

}  // namespace
