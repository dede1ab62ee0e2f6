#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/HostLogHook.h"
#include "support/TempDir.h"
#include "vrx/VRXHost.h"

namespace {

struct Entry {
    std::u16string source;
    uint32_t type;
    std::u16string text;
};

// Collects what the hook receives; installed for one test.
class CapturedLog {
public:
    CapturedLog() { VRX_SetHostLogHook(&CapturedLog::Hook, this); }
    ~CapturedLog() { VRX_SetHostLogHook(nullptr, nullptr); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::vector<Entry> Entries() {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }

private:
    static void Hook(const char16_t* source, uint32_t type, const char16_t* text, void* ctx) {
        auto* self = static_cast<CapturedLog*>(ctx);
        std::lock_guard lock(self->m_mutex);
        self->m_entries.push_back({source, type, text});
    }

    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class HostLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VRX_HOST_LOG");
        unsetenv("VRX_HOST_LOG_FILE");
    }
    void TearDown() override {
        unsetenv("VRX_HOST_LOG");
        unsetenv("VRX_HOST_LOG_FILE");
    }
};

TEST_F(HostLogTest, HookReceivesFormattedEntry) {
    CapturedLog log;
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, u"open %s: %d streams, %lld bytes\n",
                u"clip.wmv", 2, 1234567890123LL);
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_WARNING, u"%s", u"assumed 30000/1001");
    const std::vector<Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].source, u"VRXWinMediaCodec");
    EXPECT_EQ(entries[0].type, static_cast<uint32_t>(INFOTYPE_DIAGNOSTIC));
    EXPECT_EQ(entries[0].text, u"open clip.wmv: 2 streams, 1234567890123 bytes\n");
    EXPECT_EQ(entries[1].type, static_cast<uint32_t>(INFOTYPE_WARNING));
    EXPECT_EQ(entries[1].text, u"assumed 30000/1001");
}

TEST_F(HostLogTest, LongEntryIsCutNotOverrun) {
    CapturedLog log;
    const std::u16string huge(20000, u'a');
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, u"%s", huge.c_str());
    const std::vector<Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_GT(entries[0].text.size(), 1000u);
    EXPECT_LT(entries[0].text.size(), huge.size());
    EXPECT_EQ(entries[0].text.find_first_not_of(u'a'), std::u16string::npos);
}

TEST_F(HostLogTest, RemovedHookIsNotCalled) {
    int calls = 0;
    VRX_SetHostLogHook([](const char16_t*, uint32_t, const char16_t*, void* ctx) { ++*static_cast<int*>(ctx); },
                       &calls);
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, u"%s", u"heard");
    VRX_SetHostLogHook(nullptr, nullptr);
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, u"%s", u"nobody listens");
    EXPECT_EQ(calls, 1);
}

TEST_F(HostLogTest, NullFormatLogsNothing) {
    CapturedLog log;
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, nullptr);
    EXPECT_EQ(VRXMSGW(u"VRXWinMediaCodec", nullptr), 0);
    EXPECT_TRUE(log.Entries().empty());
}

TEST_F(HostLogTest, FileChannelAppendsOneLinePerEntry) {
    TempDir dir("hostlog");
    const std::filesystem::path file = dir.Path() / "host.log";
    std::ofstream(file) << "earlier line\n";
    setenv("VRX_HOST_LOG_FILE", file.c_str(), 1);
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, u"frame %u of %u\n", 3u, 10u);
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_WARNING, u"%s", u"r\u00e9sum\u00e9");
    VRXMSGW(u"VRXWinMediaCodec", u"GenerateProfile() error\n");
    EXPECT_EQ(ReadLines(file),
              (std::vector<std::string>{"earlier line", "[VRXWinMediaCodec] frame 3 of 10",
                                        "[VRXWinMediaCodec] warning: r\u00e9sum\u00e9",
                                        "[VRXWinMediaCodec] GenerateProfile() error"}));
}

TEST_F(HostLogTest, StderrChannelOnlyWhenAsked) {
    testing::internal::CaptureStderr();
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, u"%s", u"quiet");
    setenv("VRX_HOST_LOG", "1", 1);
    VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC, u"%s", u"loud");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[VRXWinMediaCodec] loud\n");
}

TEST_F(HostLogTest, MessageGoesToStderrAndHook) {
    CapturedLog log;
    testing::internal::CaptureStderr();
    EXPECT_EQ(VRXMSGW(u"VRXWinMediaCodec", u"Please install a newer player\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[VRXWinMediaCodec] Please install a newer player\n");
    const std::vector<Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].type, VRX_HOST_LOG_MESSAGE);
    EXPECT_EQ(entries[0].text, u"Please install a newer player\n");
}

TEST_F(HostLogTest, ConcurrentEntriesStayWhole) {
    TempDir dir("hostlog");
    const std::filesystem::path file = dir.Path() / "threads.log";
    setenv("VRX_HOST_LOG_FILE", file.c_str(), 1);
    CapturedLog log;
    constexpr int kThreads = 4;
    constexpr int kEntries = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEntries; ++i)
                VRX_OutputW(u"VRXWinMediaCodec", INFOTYPE_DIAGNOSTIC,
                            u"thread %d entry %d with some padding text to widen the line", t, i);
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(log.Entries().size(), static_cast<size_t>(kThreads * kEntries));
    const std::vector<std::string> lines = ReadLines(file);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kEntries));
    for (const std::string& line : lines) {
        EXPECT_EQ(line.rfind("[VRXWinMediaCodec] thread ", 0), 0u) << line;
        EXPECT_NE(line.find("to widen the line"), std::string::npos) << line;
    }
}

}  // namespace
