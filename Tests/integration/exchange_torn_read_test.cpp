// A plug-in process publishes as fast as it can while this process reads
// the block as the viewer does: every cloud taken must be whole.
#include <gtest/gtest.h>

#include <iostream>

#include "block_follower.h"
#include "exchange_cloud.h"
#include "exchange_support.h"
#include "orvalis/platform/shared_memory.h"

namespace {

using namespace orvalis;

TEST(ExchangeCrossProcess, ReaderNeverTakesATornCloud) {
    const std::string name = exchange_test::uniqueName("OrvalisExchangeTorn");
    // This side makes the block, as a viewer keeps one the plug-in then finds.
    auto memory = platform::SharedMemory::createOrOpen(name, exchange::kBlockSize);
    ASSERT_NE(memory, nullptr);
    std::atomic<int> taken{0}, torn{0};
    {
        BlockFollower follower(exchange::BlockView(memory->data()), [&](const viewer::IntakeState& state) {
            ++taken;
            if (!exchange_cloud::cloudMatches(state.points, state.lastSequence) ||
                state.pointSize != exchange_cloud::cloudPointSize(state.lastSequence))
                ++torn;
        });
        EXPECT_EQ(exchange_test::runProgram(EXCHANGE_HOST, {"publish", name, "2000"}), 0);
        EXPECT_EQ(follower.regressions(), 0);
    }
    std::cout << "clouds taken: " << taken << "\n";
    EXPECT_GT(taken.load(), 0);
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
