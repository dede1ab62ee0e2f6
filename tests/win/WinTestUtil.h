// Helpers shared by the shim's tests.
#pragma once

#include <chrono>
#include <memory>
#include <thread>

#include "win/Handle.h"

struct HandleCloser {
    void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
// Owns a kernel handle in a test.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Polls until pred() holds; gives up after about ten seconds, so that a
// missing wakeup fails the test instead of hanging it.
template <class Pred>
bool Eventually(Pred pred) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(10);
    while (!pred()) {
        if (steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

// Milliseconds a call took, measured on the steady clock.
template <class F>
long long MillisecondsOf(F f) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    f();
    return duration_cast<milliseconds>(steady_clock::now() - start).count();
}
