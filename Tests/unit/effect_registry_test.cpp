// The active-instance registry: who feeds the viewer, and the render's
// arbitration over time (the clock is passed in).
#include "effect/active_registry.h"

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
        ++clears;
    }
    std::uint64_t owner = 0;
    int clears = 0;
};

}  // namespace

TEST(ActiveRegistry, MakeActiveRecordsInstanceIdentityAndTime) {
    ActiveRegistry reg;
    FakeMirror mirror;
    reg.makeActive(3, "clip-a", 5000, &mirror);
    EXPECT_TRUE(reg.isActive(3));
    EXPECT_FALSE(reg.isActive(4));
    EXPECT_EQ(reg.activeSourceId(), "clip-a");
    EXPECT_EQ(reg.activeSinceMs(), 5000);
    EXPECT_EQ(mirror.owner, 3u);
}

TEST(ActiveRegistry, EmptyIdentityKeepsTheStoredOne) {
    ActiveRegistry reg;
    reg.makeActive(1, "clip-a", 10, nullptr);
    reg.makeActive(2, "", 20, nullptr);
    EXPECT_TRUE(reg.isActive(2));
    EXPECT_EQ(reg.activeSourceId(), "clip-a");
}

TEST(ActiveRegistry, NoInstanceNumberZeroIsEverActive) {
    ActiveRegistry reg;
    EXPECT_FALSE(reg.isActive(0));
    EXPECT_FALSE(reg.releaseActive(0, nullptr));
}

TEST(ActiveRegistry, ReleaseByTheActiveInstanceClearsEverything) {
    ActiveRegistry reg;
    FakeMirror mirror;
    reg.makeActive(7, "x", 100, &mirror);
    EXPECT_TRUE(reg.releaseActive(7, &mirror));
    EXPECT_FALSE(reg.isActive(7));
    EXPECT_EQ(reg.activeInstance(), 0u);
    EXPECT_EQ(reg.activeSourceId(), "");
    EXPECT_EQ(reg.activeSinceMs(), 0);
    EXPECT_EQ(mirror.owner, 0u);
}

TEST(ActiveRegistry, ReleaseByAnotherInstanceChangesNothing) {
    ActiveRegistry reg;
    FakeMirror mirror;
    reg.makeActive(7, "x", 100, &mirror);
    EXPECT_FALSE(reg.releaseActive(8, &mirror));
    EXPECT_TRUE(reg.isActive(7));
    EXPECT_EQ(reg.activeSourceId(), "x");
    EXPECT_EQ(reg.activeSinceMs(), 100);
    EXPECT_EQ(mirror.owner, 7u);
    EXPECT_EQ(mirror.clears, 0);
}

TEST(ActiveRegistryArbitration, FirstRendererTakesAnEmptyRegistry) {
    ActiveRegistry reg;
    FakeMirror mirror;
    EXPECT_TRUE(reg.arbitrate(1, "a", 1000, &mirror));
    EXPECT_TRUE(reg.isActive(1));
    EXPECT_EQ(mirror.owner, 1u);
}

TEST(ActiveRegistryArbitration, HolderKeepsTheRoleWhileItRendersWithin240Ms) {
    ActiveRegistry reg;
    ASSERT_TRUE(reg.arbitrate(1, "a", 1000, nullptr));
    EXPECT_FALSE(reg.arbitrate(2, "b", 1100, nullptr));
    EXPECT_TRUE(reg.arbitrate(1, "a", 1200, nullptr));  // refreshes the claim
    EXPECT_EQ(reg.activeSinceMs(), 1200);
    EXPECT_FALSE(reg.arbitrate(2, "b", 1439, nullptr));
    EXPECT_TRUE(reg.isActive(1));
}

TEST(ActiveRegistryArbitration, AnotherSourceTakesOverAfter240MsOfSilence) {
    ActiveRegistry reg;
    FakeMirror mirror;
    ASSERT_TRUE(reg.arbitrate(1, "a", 1000, &mirror));
    EXPECT_TRUE(reg.arbitrate(2, "b", 1240, &mirror));
    EXPECT_TRUE(reg.isActive(2));
    EXPECT_EQ(reg.activeSourceId(), "b");
    EXPECT_EQ(mirror.owner, 2u);
    // Now the first one is the newcomer and must wait in turn.
    EXPECT_FALSE(reg.arbitrate(1, "a", 1300, &mirror));
}

TEST(ActiveRegistryArbitration, TheSameSourceNeverTakesOver) {
    ActiveRegistry reg;
    ASSERT_TRUE(reg.arbitrate(1, "shared-clip", 1000, nullptr));
    EXPECT_FALSE(reg.arbitrate(2, "shared-clip", 1000 + 60'000, nullptr));
    EXPECT_TRUE(reg.isActive(1));
}

TEST(ActiveRegistryArbitration, AReleasedRoleIsFreeAtOnce) {
    ActiveRegistry reg;
    ASSERT_TRUE(reg.arbitrate(1, "a", 1000, nullptr));
    ASSERT_TRUE(reg.releaseActive(1, nullptr));
    EXPECT_TRUE(reg.arbitrate(2, "b", 1001, nullptr));
}

TEST(ActiveRegistryArbitration, AClaimWithoutTimeStampCanBeTaken) {
    ActiveRegistry reg;
    reg.makeActive(1, "a", 0, nullptr);  // since 0 = never rendered
    EXPECT_TRUE(reg.arbitrate(2, "b", 5, nullptr));
}

TEST(InstanceNumbers, AreUniqueAndNeverZeroAcrossThreads) {
    std::vector<std::uint64_t> taken(400);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&taken, t] {
            for (int i = 0; i < 100; ++i) {
                taken[static_cast<std::size_t>(t * 100 + i)] = takeInstanceNumber();
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    std::set<std::uint64_t> unique(taken.begin(), taken.end());
    EXPECT_EQ(unique.size(), taken.size());
    EXPECT_EQ(unique.count(0), 0u);
}

TEST(ActiveRegistryThreads, ConcurrentClaimsLeaveTheMirrorMatchingTheRegistry) {
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
