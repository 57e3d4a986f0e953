// The memcpy yardstick: each benchmark times its body and, in the same
// iteration, a memcpy of the same number of bytes, and reports the quotient
// of the two totals as the counter "x_memcpy". Interleaving the two keeps
// the ratio fair on a loaded machine. Register such benchmarks with
// ->UseManualTime(): the reported time is then the body's alone.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orvalis::bench {

template <class Body>
void runAgainstMemcpy(benchmark::State& state, std::size_t bytes, Body&& body) {
    std::vector<unsigned char> from(bytes, 1), to(bytes, 2);
    double bodySeconds = 0.0;
    double copySeconds = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        const auto t1 = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        const auto t2 = std::chrono::steady_clock::now();
        const double b = std::chrono::duration<double>(t1 - t0).count();
        bodySeconds += b;
        copySeconds += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(b);
    }
    const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["x_memcpy"] = copySeconds > 0.0 ? bodySeconds / copySeconds : 0.0;
    state.counters["memcpy_us"] = copySeconds / n * 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

}  // namespace orvalis::bench
