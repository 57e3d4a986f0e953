// Follows a shared block as the viewer does, on a thread of its own, until
// destroyed (with one last read then): each cloud the viewer's read step
// takes goes to `taken` (on that thread), and every time the block's
// sequence is seen going backwards counts.
// Between reads that find nothing new it yields, or sleeps for `idle` where
// spinning would starve the processes it watches.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "Shared/exchange.h"
#include "app/exchange_reader.h"

class BlockFollower {
public:
    using Taken = std::function<void(const orvalis::viewer::IntakeState&)>;

    BlockFollower(orvalis::exchange::BlockView view, Taken taken, std::chrono::microseconds idle = {})
        : thread_([this, view, taken = std::move(taken), idle] { run(view, taken, idle); }) {}
    ~BlockFollower() {
        stop_.store(true);
        thread_.join();
    }
    BlockFollower(const BlockFollower&) = delete;
    BlockFollower& operator=(const BlockFollower&) = delete;

    int regressions() const { return regressions_.load(); }

private:
    void run(orvalis::exchange::BlockView view, const Taken& taken, std::chrono::microseconds idle) {
        orvalis::viewer::IntakeState state;
        std::uint64_t highest = 0;
        // One look after the stop is asked for: what was published last,
        // once the writers are gone, is taken even where every read during
        // publishing was overtaken by the next publish (slow sanitizer builds).
        for (bool last = false; !last;) {
            last = stop_.load();
            const std::uint64_t s = view.u64(orvalis::exchange::offset::sequence).load(std::memory_order_acquire);
            if (s != 0 && s < highest)
                ++regressions_;
            highest = std::max(highest, s);
            if (orvalis::viewer::readBlockStep(view, state))
                taken(state);
            else if (idle.count() == 0)
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(idle);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> regressions_{0};
    std::thread thread_;
};
