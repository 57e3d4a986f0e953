// The intake loop's rules on a clock the test drives, then the real thread
// against a block published into while it runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>

#include "Tests/support/polling.h"
#include "Tests/support/scratch_folder.h"
#include "Tests/support/unique_name.h"
#include "app/intake.h"
#include "exchange_support.h"
#include "link/exchange_writer.h"
#include "orvalis/platform/shared_memory.h"

namespace {

using namespace orvalis;
using namespace orvalis::viewer;
using namespace exchange_test;
namespace off = exchange::offset;

constexpr std::int64_t kMs = 1'000'000;

// Time moves only when the loop sleeps or the test says so.
class FakeClock final : public IntakeClock {
public:
    std::int64_t nowNanoseconds() override { return now; }
    void sleepMilliseconds(int milliseconds) override { now += milliseconds * kMs; }
    std::int64_t now = 0;
};

class CountingWaker final : public WindowWaker {
public:
    bool requestRedraw() override {
        ++redraws;
        return window;
    }
    bool requestClose() override {
        ++closes;
        return window;
    }
    std::atomic<int> redraws{0};
    std::atomic<int> closes{0};
    bool window = true;
};

// A block as a plug-in process holds it, under a name of the test's own.
struct TestBlock {
    void create() {
        memory = platform::SharedMemory::createOrOpen(name, exchange::kBlockSize);
        ASSERT_NE(memory, nullptr);
    }
    BlockView view() const { return BlockView(memory->data()); }
    void publish(const std::vector<PointRecord>& records) { plugin::publishToBlock(view(), records, 4.0f, ++sequence); }

    std::string name = test_support::uniqueName("OrvalisIntakeTest");
    std::unique_ptr<platform::SharedMemory> memory;
    std::uint64_t sequence = 1;
};

std::size_t pointCount(ViewerState& state) {
    std::lock_guard lock(state.intake.pointsMutex);
    return state.intake.points.size();
}

TEST(ViewerPollRate, ElevenSlowPollsLowerItAFastOneRaisesItAndThePauseFollows) {
    const struct {
        int rate, slowBefore;
        std::int64_t pollNs;
        int wantRate, wantSlow;
    } polls[] = {
        {120, 9, 21 * kMs, 120, 10},                          // the tenth slow poll
        {120, 10, 30 * kMs, 110, 0},                          // the eleventh
        {110, 7, 5 * kMs, 110, 7},                            // 5 ms is not fast, and leaves the count
        {110, 7, 21 * kMs - 1, 110, 7},                       // under 21 ms is not slow
        {110, 7, 5 * kMs - 1, 115, 0},                        // a fast poll resets the count
        {35, 10, 21 * kMs, 25, 0},                            // lowered while above 30: the floor is 25
        {30, 10, 21 * kMs, 30, 11},     {118, 0, 0, 120, 0},  // never past 120
    };
    for (const auto& p : polls) {
        int slowPolls = p.slowBefore;
        EXPECT_EQ(adaptPollRate(p.rate, slowPolls, p.pollNs), p.wantRate) << p.rate << " " << p.pollNs;
        EXPECT_EQ(slowPolls, p.wantSlow) << p.rate << " " << p.pollNs;
    }
    EXPECT_EQ(pollPauseMs(120, true), 4) << "half the period after new data";
    EXPECT_EQ(pollPauseMs(25, false), 40);
    EXPECT_EQ(pollPauseMs(0, false), 1000) << "rate clamped to 1";
    EXPECT_EQ(pollPauseMs(100'000, true), 2) << "rate clamped to 240";
}

TEST(ViewerIconPath, ThreeFoldersUpThenResources) {
    EXPECT_EQ(iconFilePath("C:\\A\\B\\C\\Vantorel.exe", '\\'), "C:\\A\\Resources\\mirabloc_logo_c.ico");
    EXPECT_EQ(iconFilePath("C:\\Vantorel.exe", '\\'), "C:\\Resources\\mirabloc_logo_c.ico");
    EXPECT_EQ(iconFilePath("/opt/Orvalis.ofx.bundle/Contents/Linux-x86-64/Vantorel", '/'),
              "/opt/Orvalis.ofx.bundle/Resources/mirabloc_logo_c.ico");
    EXPECT_EQ(iconFilePath("Vantorel", '/'), "Vantorel/Resources/mirabloc_logo_c.ico") << "no separator: no cut";
}

class ViewerIntakeLoop : public ::testing::Test {
protected:
    // The fallback file with a chosen count and last-write time (seconds on from base).
    void writeFallback(const std::vector<PointRecord>& records, int second, std::uint32_t count) {
        writePointsFileByHand(file, count, records);
        std::filesystem::last_write_time(fsPath(file), base + std::chrono::seconds(second));
    }
    void writeFallback(std::size_t records, int second) {
        writeFallback(distinctRecords(records), second, static_cast<std::uint32_t>(records));
    }
    bool pollAt(std::int64_t ms) {
        clock.now = ms * kMs;
        return intake.pollOnce();
    }
    void attachBlock() {
        block.create();
        ASSERT_TRUE(intake.attach());
    }

    test_support::ScratchFolder folder{"orvalis-intake"};
    std::string file = folder.file("Orvalis_points.bin");
    std::filesystem::file_time_type base = std::filesystem::file_time_type::clock::now();
    TestBlock block;
    FakeClock clock;
    CountingWaker waker;
    ViewerState state;
    Intake intake{state, waker, clock, {block.name, file}};
};

TEST_F(ViewerIntakeLoop, FallbackFileAtOnceThenEvery51MsOnlyWhenItsTimeMoves) {
    writeFallback(3, 1);
    EXPECT_TRUE(pollAt(7)) << "the first check happens at once";
    writeFallback(5, 2);
    EXPECT_FALSE(pollAt(57));
    EXPECT_TRUE(pollAt(58));

    // A file that cannot be read is not tried again until it changes, and a
    // rewrite that keeps the last-write time is not noticed.
    writeFallback(distinctRecords(4), 3, 6);
    EXPECT_FALSE(pollAt(109)) << "one record short";
    writeFallback(6, 3);
    EXPECT_FALSE(pollAt(160)) << "same last-write time";
    writeFallback(6, 4);
    EXPECT_TRUE(pollAt(211));
}

TEST_F(ViewerIntakeLoop, BlockMadeWhileRunningIsAttachedAndTheFileIgnoredFromThen) {
    EXPECT_FALSE(intake.attach()) << "start-up finds no block";
    writeFallback(2, 1);
    pollAt(1000);  // the thread's first poll starts the count and reads the file
    ASSERT_EQ(pointCount(state), 2u);
    block.create();
    pollAt(1499);
    EXPECT_FALSE(intake.attached()) << "counted from the first poll, not from start-up";

    block.view().u32(off::viewerAttached).store(0);
    block.publish(distinctRecords(9));
    EXPECT_TRUE(pollAt(1500)) << "attached and read in the same poll";
    EXPECT_EQ(block.view().u32(off::viewerAttached).load(), 1u);
    EXPECT_EQ(pointCount(state), 9u);
    writeFallback(4, 2);
    for (int ms : {1600, 1700, 1800})
        EXPECT_FALSE(pollAt(ms)) << "the file is not looked at while attached";
}

TEST_F(ViewerIntakeLoop, ReattachTriesAre500MsApart) {
    pollAt(0);
    pollAt(500);  // a try that finds nothing
    block.create();
    pollAt(999);
    EXPECT_FALSE(intake.attached()) << "499 ms after the last try";
    pollAt(1000);
    EXPECT_TRUE(intake.attached());
}

TEST_F(ViewerIntakeLoop, ClosesOnlyAfterPluginsWereSeenAndGone) {
    attachBlock();
    intake.turn();
    EXPECT_EQ(waker.closes, 0) << "a block with no plug-in from the start keeps the viewer open";
    for (std::uint32_t plugins : {2u, 1u, 0u}) {
        block.view().u32(off::pluginCount).store(plugins);
        intake.turn();
    }
    EXPECT_EQ(waker.closes, 1);
    waker.window = false;
    intake.turn();
    EXPECT_EQ(waker.closes, 2) << "asked on every turn while the count stays 0";
}

TEST_F(ViewerIntakeLoop, WakesOnNewDataAndAfterAQuietPeriodAndAdaptsTheRate) {
    attachBlock();
    clock.now = 1000 * kMs;
    block.publish(distinctRecords(10));
    EXPECT_EQ(intake.turn(), 4) << "half the 8 ms period after new data";
    EXPECT_EQ(waker.redraws, 1);
    EXPECT_EQ(state.lastRedrawTime.load(), 1000 * kMs);

    // Nothing new: no wake-up until the time since the last one exceeds the
    // period in whole milliseconds.
    EXPECT_EQ(intake.turn(), 8);
    clock.now = 1008 * kMs + 999'999;
    intake.turn();
    EXPECT_FALSE(state.redrawRequested.load()) << "8.999 ms is 8 whole ms, not more than 8";
    clock.now = 1009 * kMs;
    intake.turn();
    EXPECT_TRUE(state.redrawRequested.load());
    EXPECT_EQ(waker.redraws, 1);

    clock.now = 1020 * kMs;
    waker.window = false;
    state.pollRateHz = 25;
    EXPECT_EQ(intake.turn(), 33) << "a fast poll raises 25 to 30 before the pause";
    EXPECT_EQ(waker.redraws, 2) << "answering the request";
    EXPECT_FALSE(state.redrawRequested.load()) << "cleared even with no window";
    EXPECT_EQ(state.lastRedrawTime.load(), 1020 * kMs);
}

using test_support::eventually;

TEST(ViewerIntakeThread, TakesCloudsWhileRunningAndStopsAndDetachesWhenDestroyed) {
    TestBlock block;
    block.create();
    ViewerState state;
    CountingWaker waker;
    {
        Intake intake(state, waker, systemIntakeClock(), {block.name, ""});
        ASSERT_TRUE(intake.attach());
        ASSERT_TRUE(intake.start());

        block.publish(distinctRecords(100));
        EXPECT_TRUE(eventually([&] { return pointCount(state) == 100; }));
        block.publish(distinctRecords(1));
        EXPECT_TRUE(eventually([&] { return pointCount(state) == 1; }));
        EXPECT_TRUE(eventually([&] { return waker.redraws >= 2; }));
    }  // destruction stops the running thread and detaches
    EXPECT_TRUE(state.stopRequested.load());
    EXPECT_EQ(block.view().u32(off::viewerAttached).load(), 0u);
}

}  // namespace
