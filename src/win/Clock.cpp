#include "win/Clock.h"

#include <chrono>
#include <thread>

#include <time.h>

extern "C" void Sleep(DWORD dwMilliseconds) noexcept {
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

extern "C" ULONGLONG GetTickCount64(void) noexcept {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1'000'000u;
}

extern "C" DWORD GetTickCount(void) noexcept { return static_cast<DWORD>(GetTickCount64()); }
