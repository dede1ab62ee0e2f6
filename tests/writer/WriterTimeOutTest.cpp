// An output that stops taking data: a FIFO whose read end is held open and
// not read. With "HandleTimeOut" at 1000 ms every ordinal comes back in
// bounded time, the time-out is reported and the drive marked failed, and
// the handle still dies cleanly once the output moves again (or before).
//
// Its own executable: it changes the environment and the process's drive
// marks.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "writer/WriterHost.h"

namespace {

using namespace std::chrono_literals;

constexpr uint32_t kTimedOut = 0x8000000D;
constexpr auto kTimeOut = 1000ms;
// Scheduling and sanitizers; a hang would take far longer.
constexpr auto kMargin = 3000ms;

// Reads the FIFO once started, until the writer closes it or Stop().
class CDrain {
public:
    explicit CDrain(int fd) : m_fd(fd) {}
    ~CDrain() { Stop(); }
    void Start() {
        m_thread = std::thread([this] {
            char buffer[65536];
            while (!m_bStop) {
                pollfd pfd{m_fd, POLLIN, 0};
                if (poll(&pfd, 1, 50) <= 0) continue;
                const ssize_t n = read(m_fd, buffer, sizeof buffer);
                // 0: every writer has closed its end.
                if (n == 0) {
                    m_bEof = true;
                    break;
                }
            }
        });
    }
    void Stop() {
        m_bStop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    // Waits up to 20 s for the writer to close the file.
    bool WaitForEof() {
        for (int i = 0; i < 400 && !m_bEof; ++i) std::this_thread::sleep_for(50ms);
        return m_bEof;
    }

private:
    int m_fd;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bEof{false};
};

class WriterTimeOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Plug().create, nullptr) << "plug-in not loaded";
        // A reader that goes away must not kill the test with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        setenv("VRX_SETTING_HandleTimeOut", "1000", 1);
        m_dir = std::make_unique<TempDir>("timeout");
        m_fifo = m_dir->Path() / "stalled.wmv";
        ASSERT_EQ(mkfifo(m_fifo.c_str(), 0600), 0);
        m_fd = open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(m_fd, 0);
        m_pDrain = std::make_unique<CDrain>(m_fd);
    }
    void TearDown() override {
        m_pDrain.reset();
        if (m_fd >= 0) close(m_fd);
        Plug().clearDiskError(m_fifo.string().front());
        unsetenv("VRX_SETTING_HandleTimeOut");
        m_dir.reset();
    }

    // Runs one ordinal call and checks it came back in bounded time.
    template <class F>
    static uint32_t Bounded(const char* what, F call) {
        const auto start = std::chrono::steady_clock::now();
        const uint32_t dwStatus = call();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, kTimeOut + kMargin)
            << what << " took " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        return dwStatus;
    }

    // Feeds frames (and audio while it is behind) until a call times out.
    static uint32_t FeedUntilStalled(void* hWriter, const SClipSpec& spec) {
        const SPlugApi& api = Plug();
        SPlugFrameInfo info{};
        SPlugFrameInfo audioInfo{};
        uint32_t audioSent = 0;
        for (uint32_t k = 0; k < 2000; ++k) {
            const auto frame = MakeFrame(spec.format, spec.width, spec.height, k);
            info.nDataLength = static_cast<int32_t>(frame.size());
            uint32_t dwStatus = Bounded("video", [&] { return api.put(hWriter, 0, frame.data(), &info); });
            while (dwStatus == 0 && api.isAudioBehind(hWriter) == 1) {
                const auto pcm = MakeTone(spec.sampleRate, 2, audioSent, 1152);
                audioInfo.nDataLength = static_cast<int32_t>(pcm.size());
                dwStatus = Bounded("audio", [&] { return api.put(hWriter, 1, pcm.data(), &audioInfo); });
                audioSent += 1152;
            }
            if (dwStatus != 0) return dwStatus;
        }
        return 0;
    }

    static SClipSpec Spec() {
        SClipSpec spec;
        spec.width = 320;
        spec.height = 240;
        spec.sampleRate = 48000;
        return spec;
    }

    std::unique_ptr<TempDir> m_dir;
    std::filesystem::path m_fifo;
    int m_fd = -1;
    std::unique_ptr<CDrain> m_pDrain;
};

TEST_F(WriterTimeOutTest, StalledOutputTimesOutThenFinishesOnceReleased) {
    const SPlugApi& api = Plug();
    const SClipSpec spec = Spec();
    const COpenRequest request(m_fifo, MediaInfoOf(spec));
    CWriter writer;
    ASSERT_EQ(Bounded("open", [&] { return api.open(writer.Get(), request.Target(), request.Params()); }), 0u);

    EXPECT_EQ(FeedUntilStalled(writer.Get(), spec), kTimedOut);
    const char16_t drive = m_fifo.string().front();
    EXPECT_EQ(api.getDiskStatus(drive), 0) << "the drive is not marked failed";

    // Everything after the time-out answers at once.
    const auto frame = MakeFrame(spec.format, spec.width, spec.height, 0);
    SPlugFrameInfo info{};
    info.nDataLength = static_cast<int32_t>(frame.size());
    EXPECT_EQ(Bounded("put after", [&] { return api.put(writer.Get(), 0, frame.data(), &info); }), kTimedOut);
    Bounded("behind", [&] { return api.isAudioBehind(writer.Get()); });
    uint32_t dwAnswer = 0;
    uint32_t dwSize = 4;
    Bounded("query 10", [&] { return api.query(writer.Get(), 2, 10, nullptr, &dwSize, &dwAnswer); });
    // The drive stays marked: a new file there is refused.
    CWriter other;
    const COpenRequest elsewhere(m_dir->Path() / "next.wmv", MediaInfoOf(spec));
    EXPECT_EQ(Bounded("open other", [&] { return api.open(other.Get(), elsewhere.Target(), elsewhere.Params()); }),
              kTimedOut);

    m_pDrain->Start();
    EXPECT_EQ(Bounded("destroy", [&] { return writer.Destroy(); }), 0u);
}

TEST_F(WriterTimeOutTest, HandleDestroyedWhileStalledLetsGoLater) {
    const SPlugApi& api = Plug();
    const SClipSpec spec = Spec();
    const COpenRequest request(m_fifo, MediaInfoOf(spec));
    CWriter writer;
    ASSERT_EQ(api.open(writer.Get(), request.Target(), request.Params()), 0u);
    EXPECT_EQ(FeedUntilStalled(writer.Get(), spec), kTimedOut);
    EXPECT_EQ(Bounded("destroy", [&] { return writer.Destroy(); }), 0u);
    // The writer's thread, still blocked, ends once the output moves and
    // takes the encoder with it.
    m_pDrain->Start();
    EXPECT_TRUE(m_pDrain->WaitForEof()) << "the file was never closed";
}

}  // namespace
