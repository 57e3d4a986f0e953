// The steady clock, shared by everything that measures time.
#pragma once

#include <chrono>
#include <cstdint>

namespace orvalis::platform {

// Nanoseconds of a monotonic clock (QueryPerformanceCounter, CLOCK_MONOTONIC).
inline std::int64_t steadyNanoseconds() noexcept {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The same clock in whole milliseconds.
inline std::int64_t steadyMilliseconds() noexcept { return steadyNanoseconds() / 1'000'000; }

}  // namespace orvalis::platform
