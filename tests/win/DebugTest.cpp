#include "win/Debug.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

// What a hook saw, from any thread.
struct Capture {
    std::mutex mutex;
    std::vector<std::u16string> lines;
};

void CaptureHook(const WCHAR* text, void* ctx) {
    auto* capture = static_cast<Capture*>(ctx);
    std::lock_guard lock(capture->mutex);
    capture->lines.emplace_back(text);
}

// In a child process, so that the environment switch and stderr are its own.
TEST(DebugOutputDeathTest, StderrCarriesTheTextOnlyWhenSwitchedOn) {
    EXPECT_EXIT(
        {
            setenv("VRX_DEBUG_OUTPUT", "1", 1);
            OutputDebugStringW(u"switched on \u00E9\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "switched on \xC3\xA9\n");
    EXPECT_EXIT(
        {
            setenv("VRX_DEBUG_OUTPUT", "0", 1);
            OutputDebugStringW(u"switched off\n");
            unsetenv("VRX_DEBUG_OUTPUT");
            OutputDebugStringW(u"unset\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        ::testing::AllOf(::testing::Not(::testing::HasSubstr("switched off")),
                         ::testing::Not(::testing::HasSubstr("unset"))));
}

TEST(DebugOutputTest, HookSeesEveryCallFromEveryThread) {
    Capture capture;
    VrxSetDebugOutputHook(CaptureHook, &capture);
    OutputDebugStringW(u"main\n");
    OutputDebugStringW(nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i)
                OutputDebugStringW(u"worker\n");
        });
    for (auto& t : threads)
        t.join();
    VrxSetDebugOutputHook(nullptr, nullptr);
    OutputDebugStringW(u"after removal\n");

    ASSERT_EQ(capture.lines.size(), 201u);
    EXPECT_EQ(capture.lines.front(), u"main\n") << "the text is passed unchanged";
    EXPECT_EQ(std::count(capture.lines.begin(), capture.lines.end(), u"worker\n"), 200);
}

}  // namespace
