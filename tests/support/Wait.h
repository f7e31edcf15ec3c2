#pragma once
// Waiting on what a test or a benchmark started, with generous deadlines, so a loaded machine
// slows a test down instead of failing it.

#include <chrono>
#include <thread>

namespace lw::test {

// The deadline of every wait that names none.
constexpr int kWaitMs = 20000;

// Checks `condition` until it holds, calling `between` after each check that fails; false when
// it still fails after `timeoutMs`.
template <typename Condition, typename Between>
bool waitUntil(Condition condition, int timeoutMs, Between between) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        between();
    }
    return true;
}

// The same with 10 ms of sleep between checks, for what runs in other processes or threads.
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = kWaitMs) {
    return waitUntil(condition, timeoutMs,
                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
}

} // namespace lw::test
