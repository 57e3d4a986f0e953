// The memcpy yardstick: each benchmark divides its own time per iteration
// by the time a memcpy of the same number of bytes takes in the same run,
// and reports the quotient as the counter "x_memcpy".
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace orvalis::bench {

// Best-of-several time of one memcpy of the given size, in seconds; measured
// once per size and process.
inline double memcpySeconds(std::size_t bytes)
{
    static std::mutex mutex;
    static std::map<std::size_t, double> measured;
    std::lock_guard lock(mutex);
    if (auto it = measured.find(bytes); it != measured.end()) {
        return it->second;
    }
    std::vector<unsigned char> from(bytes, 1), to(bytes, 2);
    // Enough repetitions for a few milliseconds per sample, at least three.
    const int reps = static_cast<int>(std::clamp<std::size_t>((64u << 20) / std::max<std::size_t>(bytes, 1), 3, 100000));
    double best = 1e30;
    for (int sample = 0; sample < 7; ++sample) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < reps; ++i) {
            std::memcpy(to.data(), from.data(), bytes);
            benchmark::ClobberMemory();
            benchmark::DoNotOptimize(to.data());
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / reps);
    }
    measured.emplace(bytes, best);
    return best;
}

// Times the benchmark loop around body() and sets "x_memcpy" against a
// memcpy of bytes, plus the bytes processed per second.
template <class Body>
void runAgainstMemcpy(benchmark::State& state, std::size_t bytes, Body&& body)
{
    const double yardstick = memcpySeconds(bytes);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        body();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double perIteration = took.count() / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["x_memcpy"] = perIteration / yardstick;
    state.counters["memcpy_us"] = yardstick * 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

}  // namespace orvalis::bench
