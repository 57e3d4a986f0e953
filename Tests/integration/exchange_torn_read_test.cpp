// A plug-in process publishes as fast as it can while this process reads
// the block as the viewer does: every cloud taken must be whole.
#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <thread>

#include "app/exchange_reader.h"
#include "exchange_cloud.h"
#include "exchange_support.h"
#include "orvalis/platform/shared_memory.h"

namespace {

using namespace orvalis;
using namespace exchange_test;

TEST(ExchangeCrossProcess, ReaderNeverTakesATornCloud) {
    const std::string name = uniqueName("OrvalisExchangeTorn");
    // This side makes the block, as a viewer keeps one the plug-in then finds.
    auto memory = platform::SharedMemory::createOrOpen(name, exchange::kBlockSize);
    ASSERT_NE(memory, nullptr);
    const BlockView view(memory->data());

    std::atomic<bool> publisherDone{false};
    int publisherStatus = -1;
    std::thread publisher([&] {
        publisherStatus = runProgram(EXCHANGE_PUBLISHER, {name, "2000"});
        publisherDone.store(true);
    });

    viewer::IntakeState state;
    std::uint64_t taken = 0;
    std::uint64_t torn = 0;
    std::uint64_t previous = 0;
    auto check = [&] {
        ++taken;
        if (!exchange_cloud::cloudMatches(state.points, state.lastSequence) ||
            state.pointSize != exchange_cloud::cloudPointSize(state.lastSequence) || state.lastSequence <= previous) {
            ++torn;
        }
        previous = state.lastSequence;
    };
    while (!publisherDone.load()) {
        if (viewer::readBlockStep(view, state)) {
            check();
        } else {
            std::this_thread::yield();
        }
    }
    publisher.join();
    if (viewer::readBlockStep(view, state)) {
        check();
    }

    std::cout << "clouds taken: " << taken << ", last sequence: " << state.lastSequence << "\n";
    EXPECT_EQ(publisherStatus, 0);
    EXPECT_GT(taken, 0u);
    EXPECT_EQ(torn, 0u);
}

}  // namespace
