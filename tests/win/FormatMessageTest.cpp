#include "win/FormatMessage.h"

#include <string>

#include <gtest/gtest.h>

#include "win/LastError.h"
#include "win/NsError.h"

namespace {

constexpr DWORD kSystemFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;

// The text FormatMessageW allocates for a code, freed again.
std::u16string SystemText(DWORD dwCode) {
    WCHAR* pText = nullptr;
    const DWORD cch =
        FormatMessageW(kSystemFlags, nullptr, dwCode, 0x400, reinterpret_cast<WCHAR*>(&pText), 0, nullptr);
    EXPECT_NE(pText, nullptr);
    if (!pText) return {};
    std::u16string text(pText);
    EXPECT_EQ(cch, text.size());
    EXPECT_EQ(LocalFree(pText), nullptr);
    return text;
}

TEST(FormatMessageTest, KnownCodesHaveTextsEndingInALineBreak) {
    const HRESULT codes[] = {E_FAIL,
                             E_INVALIDARG,
                             CO_E_NOTINITIALIZED,
                             NS_E_NO_MORE_SAMPLES,
                             NS_E_INVALID_INPUT_FORMAT,
                             NS_E_VIDEO_CODEC_NOT_INSTALLED,
                             NS_E_CODEC_UNAVAILABLE};
    for (const HRESULT hr : codes) {
        SCOPED_TRACE(static_cast<DWORD>(hr));
        const std::u16string text = SystemText(static_cast<DWORD>(hr));
        ASSERT_GT(text.size(), 2u);
        EXPECT_EQ(text.find(u"Unknown"), std::u16string::npos);
        EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
    }
    EXPECT_NE(SystemText(static_cast<DWORD>(NS_E_NO_MORE_SAMPLES)),
              SystemText(static_cast<DWORD>(NS_E_INVALID_DATA)));
}

TEST(FormatMessageTest, Win32ErrorAndItsHresultReadAlike) {
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND),
              SystemText(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))));
    EXPECT_EQ(SystemText(ERROR_INVALID_PARAMETER), SystemText(static_cast<DWORD>(E_INVALIDARG)));
    EXPECT_NE(SystemText(ERROR_FILE_NOT_FOUND), SystemText(ERROR_ACCESS_DENIED));
}

TEST(FormatMessageTest, UnknownCodeNamesItself) {
    EXPECT_EQ(SystemText(0x8badf00d), u"Unknown error 0x8badf00d\r\n");
    EXPECT_EQ(SystemText(0xC00D0BBF), u"Unknown error 0xc00d0bbf\r\n") << "a Windows Media code without a text";
}

TEST(FormatMessageTest, CallerBufferMustHoldTheText) {
    WCHAR small[4];
    SetLastError(0);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, 4, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    WCHAR roomy[256];
    const DWORD cch =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, roomy, 256, nullptr);
    EXPECT_GT(cch, 0u);
    EXPECT_EQ(std::u16string(roomy), SystemText(ERROR_ACCESS_DENIED));
}

TEST(FormatMessageTest, OnlySystemMessagesAreProvided) {
    WCHAR buffer[64];
    SetLastError(0);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING, u"x", 0, 0, buffer, 64, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | 80, nullptr, 2, 0, buffer, 64, nullptr), 0u)
        << "line widths are not provided";
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, nullptr, 64, nullptr), 0u);
}

// The Windows Media codes keep the platform's shape: failures (or successes)
// of facility 0xD, so that FAILED() and facility checks work on them.
TEST(FormatMessageTest, WindowsMediaCodesHaveTheirFacility) {
    const HRESULT failures[] = {NS_E_NO_MORE_SAMPLES,
                                NS_E_INVALID_INPUT_FORMAT,
                                NS_E_INVALID_DATA,
                                NS_E_VIDEO_CODEC_NOT_INSTALLED,
                                NS_E_AUDIO_CODEC_NOT_INSTALLED,
                                NS_E_INVALID_REQUEST,
                                NS_E_NOT_CONFIGURED,
                                NS_E_INVALID_OUTPUT_FORMAT,
                                NS_E_INVALID_STREAM,
                                NS_E_FILE_NOT_FOUND,
                                NS_E_FILE_OPEN_FAILED,
                                NS_E_FILE_WRITE,
                                NS_E_FILE_READ,
                                NS_E_UNSUPPORTED_PROPERTY,
                                NS_E_INVALID_NUM_PASSES,
                                NS_E_INVALID_SAMPLING_RATE,
                                NS_E_NO_STREAM,
                                NS_E_LATE_OPERATION,
                                NS_E_INCOMPATIBLE_FORMAT,
                                NS_E_CODEC_UNAVAILABLE};
    for (const HRESULT hr : failures) {
        SCOPED_TRACE(static_cast<DWORD>(hr));
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ((static_cast<DWORD>(hr) >> 16) & 0x1FFF, FACILITY_NS);
    }
    EXPECT_TRUE(SUCCEEDED(NS_S_CALLPENDING));
    EXPECT_EQ(static_cast<DWORD>(NS_E_INVALID_INPUT_FORMAT), 0xC00D0BB8u);
}

}  // namespace
