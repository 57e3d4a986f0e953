// The active-instance registry: who feeds the viewer, and the render's
// arbitration over time (the clock is passed in).
#include "effect/active_registry.h"
#include "effect/process_context.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

using namespace orvalis::plugin;

namespace {

// Records what the registry mirrors into the block.
class FakeMirror : public OwnerMirror {
public:
    void setOwner(std::uint64_t instance) override { owner = instance; }
    void clearOwnerIf(std::uint64_t instance) override {
        if (owner == instance) {
            owner = 0;
        }
    }
    std::uint64_t owner = 0;
};

enum class Op { Make, Release, Arbitrate };

struct Step {
    Op op;
    std::uint64_t instance;
    const char* identity;
    std::int64_t nowMs;
    bool result;              // what arbitrate/release return (ignored for Make)
    std::uint64_t active;     // the active instance afterwards
    const char* sourceAfter;  // the stored identity afterwards
};

void play(const std::vector<Step>& steps) {
    ActiveRegistry reg;
    FakeMirror mirror;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(i);
        switch (s.op) {
        case Op::Make: reg.makeActive(s.instance, s.identity, s.nowMs, &mirror); break;
        case Op::Release: EXPECT_EQ(reg.releaseActive(s.instance, &mirror), s.result); break;
        case Op::Arbitrate: EXPECT_EQ(reg.arbitrate(s.instance, s.identity, s.nowMs, &mirror), s.result); break;
        }
        EXPECT_EQ(reg.activeInstance(), s.active);
        EXPECT_EQ(reg.activeSourceId(), s.sourceAfter);
        EXPECT_EQ(mirror.owner, s.active);
        EXPECT_FALSE(reg.isActive(0));
    }
}

}  // namespace

TEST(ActiveRegistry, ClaimsAndReleases) {
    play({
        {Op::Release, 0, "", 0, false, 0, ""},
        {Op::Make, 3, "clip-a", 5000, true, 3, "clip-a"},
        {Op::Make, 2, "", 5001, true, 2, "clip-a"},   // an empty identity keeps the stored one
        {Op::Release, 8, "", 0, false, 2, "clip-a"},  // another instance changes nothing
        {Op::Release, 2, "", 0, true, 0, ""},
    });
}

TEST(ActiveRegistry, ArbitrationKeepsARecentHolderAndNeverSwapsOneSource) {
    play({
        {Op::Arbitrate, 1, "a", 1000, true, 1, "a"},     // an empty registry is taken
        {Op::Arbitrate, 2, "b", 1100, false, 1, "a"},    // holder rendered recently
        {Op::Arbitrate, 1, "a", 1200, true, 1, "a"},     // the holder refreshes its claim
        {Op::Arbitrate, 2, "b", 1439, false, 1, "a"},    // 239 ms after the refresh
        {Op::Arbitrate, 2, "b", 1440, true, 2, "b"},     // 240 ms of silence
        {Op::Arbitrate, 1, "a", 1500, false, 2, "b"},    // now the first one must wait
        {Op::Arbitrate, 3, "b", 90'000, false, 2, "b"},  // the same source never takes over
        {Op::Release, 2, "", 0, true, 0, ""},
        {Op::Arbitrate, 3, "c", 90'001, true, 3, "c"},  // a released role is free at once
        {Op::Make, 1, "a", 0, true, 1, "a"},            // a claim without a time stamp
        {Op::Arbitrate, 2, "b", 5, true, 2, "b"},       // ... can be taken
    });
}

TEST(ActiveRegistry, ConcurrentClaimsLeaveTheMirrorMatchingTheRegistry) {
    ActiveRegistry reg;
    FakeMirror mirror;
    std::vector<std::thread> threads;
    for (std::uint64_t n = 1; n <= 4; ++n) {
        threads.emplace_back([&reg, &mirror, n] {
            for (int i = 0; i < 2000; ++i) {
                if (i % 3 == 0) {
                    reg.releaseActive(n, &mirror);
                } else {
                    reg.makeActive(n, "id", i + 1, &mirror);
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(mirror.owner, reg.activeInstance());
}

TEST(ProcessContext, InstanceNumbersAreUniqueFromOneAcrossThreads) {
    ProcessContext context;
    std::vector<std::uint64_t> taken(400);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&taken, &context, t] {
            for (int i = 0; i < 100; ++i) {
                taken[static_cast<std::size_t>(t * 100 + i)] = context.takeInstanceNumber();
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    const std::set<std::uint64_t> unique(taken.begin(), taken.end());
    EXPECT_EQ(unique.size(), taken.size());
    EXPECT_EQ(*unique.begin(), 1u);
    EXPECT_EQ(*unique.rbegin(), 400u);
}
