// The processing worker's queue (newest job wins), its start and stop, the
// bounded result history and the viewer-link watcher's decisions.
#include "effect/parameters.h"
#include "link/processing_worker.h"
#include "link/result_history.h"
#include "link/viewer_link_watcher.h"

#include <gtest/gtest.h>

#include "Tests/support/polling.h"

#include <algorithm>
#include <stdexcept>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace orvalis::plugin;
using namespace std::chrono_literals;

namespace {

// The ids of the test images released so far.
std::mutex g_releaseMutex;
std::vector<int> g_released;
std::vector<int> released() {
    std::lock_guard lock(g_releaseMutex);
    return g_released;
}

struct TestImage {
    int id;
};

RenderJob makeJob(int id) {
    RenderJob job;
    job.image = JobImage(new TestImage{id}, [](void* p) {
        auto* image = static_cast<TestImage*>(p);
        std::lock_guard lock(g_releaseMutex);
        g_released.push_back(image->id);
        delete image;
    });
    job.time = id;
    return job;
}

// A one-shot gate a test opens for a waiting thread (std::latch can hang
// in the MinGW build under Wine).
class Gate {
public:
    void open() { opened_.set_value(); }
    void wait() { done_.wait(); }

private:
    std::promise<void> opened_;
    std::shared_future<void> done_ = opened_.get_future().share();
};

class SyncWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::lock_guard lock(g_releaseMutex);
        g_released.clear();
    }
};

}  // namespace

TEST_F(SyncWorkerTest, QueueReleasesEveryImageItDropsOrDiscards) {
    {
        JobQueue queue;
        EXPECT_TRUE(queue.push(makeJob(1)));
        EXPECT_TRUE(queue.push(makeJob(2)));
        queue.discardAll();
        EXPECT_EQ(queue.size(), 0u);
        EXPECT_EQ(released().size(), 2u);
        EXPECT_TRUE(queue.push(makeJob(3)));
        queue.stop();
        EXPECT_FALSE(queue.push(makeJob(4)));  // a stopping queue takes nothing
        EXPECT_EQ(queue.size(), 1u);
    }  // the destructor releases what is left
    EXPECT_EQ(released(), (std::vector<int>{1, 2, 4, 3}));
}

TEST_F(SyncWorkerTest, NewestJobWinsWhileTheWorkerIsBusy) {
    JobQueue queue;
    Gate firstStarted, releaseFirst;
    std::vector<int> processed;  // by the worker alone; read once it has stopped
    ProcessingWorker worker(
        queue, [] { return 16ms; },
        [&](RenderJob job) {
            const int id = static_cast<TestImage*>(job.image.get())->id;
            if (id == 1) {
                firstStarted.open();
                releaseFirst.wait();
            }
            processed.push_back(id);
        });
    worker.start();
    queue.push(makeJob(1));
    firstStarted.wait();
    for (int id = 2; id <= 6; ++id) {
        queue.push(makeJob(id));
    }
    releaseFirst.open();
    ASSERT_TRUE(test_support::eventually([&] { return worker.processedCount() >= 2; }));
    worker.stop();
    EXPECT_EQ(processed, (std::vector<int>{1, 6}));
    EXPECT_EQ(worker.discardedCount(), 4u);
    EXPECT_EQ(worker.processedCount(), 2u);
    // Every image went back, the four older ones unprocessed.
    auto all = released();
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST_F(SyncWorkerTest, StopWakesAWaitingThreadAtOnce) {
    // Waits far longer than any test run: only the wake-up can end them.
    JobQueue queue;
    ProcessingWorker worker(
        queue, [] { return std::chrono::milliseconds(std::chrono::hours(24)); }, [](RenderJob) {});
    ViewerLinkWatcher watcher({[] { return WatchInputs{}; }, nullptr, nullptr, nullptr}, std::chrono::hours(24));
    worker.start();
    watcher.start();
    std::this_thread::sleep_for(20ms);  // let them reach the wait (not required for correctness)
    worker.stop();
    watcher.stop();
    EXPECT_FALSE(worker.running());
    EXPECT_FALSE(watcher.running());
    EXPECT_TRUE(queue.stopping());
}

TEST_F(SyncWorkerTest, StopLetsTheJobInHandCompleteThenEnds) {
    JobQueue queue;
    Gate started, finish;
    std::atomic<bool> completed{false};
    ProcessingWorker worker(
        queue, [] { return 16ms; },
        [&](RenderJob) {
            started.open();
            finish.wait();
            completed.store(true);
        });
    worker.start();
    queue.push(makeJob(1));
    started.wait();
    std::atomic<bool> stopReturned{false};
    std::thread stopper([&] {
        worker.stop();
        stopReturned.store(true);
    });
    // Jobs arriving while stopping are refused, not processed.
    EXPECT_TRUE(test_support::eventually([&] { return queue.stopping(); }));
    EXPECT_FALSE(queue.push(makeJob(2)));
    finish.open();
    stopper.join();
    EXPECT_TRUE(completed.load());
    EXPECT_TRUE(stopReturned.load());
    EXPECT_EQ(worker.processedCount(), 1u);
}

TEST_F(SyncWorkerTest, AThrowingJobDoesNotEndTheWorker) {
    JobQueue queue;
    std::atomic<int> calls{0};
    Gate second;
    ProcessingWorker worker(
        queue, [] { return 16ms; },
        [&](RenderJob) {
            if (calls.fetch_add(1) == 0) {
                throw std::runtime_error("bad frame");
            }
            second.open();
        });
    worker.start();
    queue.push(makeJob(1));
    ASSERT_TRUE(test_support::eventually([&] { return worker.processedCount() >= 1; }));
    queue.push(makeJob(2));
    second.wait();
    worker.stop();
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(released().size(), 2u);
}

TEST(ResultHistory, KeepsTheNewestEntriesUpToItsCapacity) {
    ResultHistory history(3);
    EXPECT_FALSE(history.newest());
    for (int i = 1; i <= 5; ++i) {
        PointList cloud(2);
        cloud[0].x = static_cast<float>(i);  // tells the entries apart
        history.append(std::move(cloud));
    }
    EXPECT_EQ(history.size(), 3u);
    EXPECT_EQ((*history.newest())[0].x, 5.0f);
    history.setCapacity(2);  // shrinking drops the oldest
    EXPECT_EQ(history.size(), 2u);
    EXPECT_EQ((*history.newest())[0].x, 5.0f);
    history.setCapacity(0);  // never below one entry
    EXPECT_EQ(history.capacity(), 1u);
    EXPECT_EQ(history.size(), 1u);
}

TEST(ResultHistory, CapacityIsFiveSecondsAtTheChosenRate) {
    EXPECT_EQ(historyCapacityForFrameRate(0), 120u);  // "24"
    EXPECT_EQ(historyCapacityForFrameRate(2), 150u);  // "30"
    EXPECT_EQ(historyCapacityForFrameRate(4), 300u);  // "60"
    EXPECT_EQ(historyCapacityForFrameRate(-1), 120u);
    EXPECT_EQ(historyCapacityForFrameRate(17), 120u);
}

TEST(WatcherDecision, Table) {
    // mode, block, attached, window, renderedLast, owns, owned -> action
    struct Row {
        WatchInputs in;
        WatchAction action;
    };
    const Row rows[] = {
        {{true, true, true, true, false, false, false}, WatchAction::ClaimAutoConnect},
        {{true, true, true, true, false, false, true}, WatchAction::None},  // someone else feeds it
        {{true, true, true, true, true, false, true}, WatchAction::ClaimClipSwitch},
        {{true, true, true, true, true, true, true}, WatchAction::None},      // already ours
        {{false, true, true, true, false, false, false}, WatchAction::None},  // cube-map mode
        {{false, true, true, true, true, false, true}, WatchAction::None},
        {{true, false, true, true, true, false, false}, WatchAction::None},  // no block
        {{true, true, false, true, true, false, false}, WatchAction::None},  // no viewer attached
        {{true, true, true, false, true, false, false}, WatchAction::None},  // no window
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(decideWatch(rows[i].in), rows[i].action) << "row " << i;
    }
}

// One cycle: the window is looked up only while a viewer is attached, and a
// claim, with the identity of its kind, is followed by a publish.
TEST(ViewerLinkWatcher, CycleLooksUpClaimsAndPublishes) {
    struct Row {
        bool attached, renderedLast, owned;
        WatchAction action;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {true, true, true, WatchAction::ClaimClipSwitch, {"find", "claim:timeline-clip-switch", "publish"}},
        {true, false, false, WatchAction::ClaimAutoConnect, {"find", "claim:auto-connect", "publish"}},
        {false, true, false, WatchAction::None, {}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> calls;
        ViewerLinkWatcher watcher({
            [&] {  // windowFound stays false: the watcher must look it up itself
                return WatchInputs{.hasBlock = true,
                                   .viewerAttached = row.attached,
                                   .renderedLast = row.renderedLast,
                                   .viewerOwned = row.owned};
            },
            [&] {
                calls.push_back("find");
                return true;
            },
            [&](std::string_view id) { calls.push_back("claim:" + std::string(id)); },
            [&] { calls.push_back("publish"); },
        });
        EXPECT_EQ(watcher.cycle(), row.action);
        EXPECT_EQ(calls, row.calls);
    }
}
