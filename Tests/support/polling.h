// Waits for a condition with a deadline, never for a fixed time: the deadline
// only bounds a hang, so a slow machine is never a failure.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace test_support {

// True as soon as the condition holds; false when the limit passes first.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(30),
                       std::chrono::milliseconds pause = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(pause);
    }
    return true;
}

}  // namespace test_support
