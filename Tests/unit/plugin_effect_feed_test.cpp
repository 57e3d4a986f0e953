// An instance's viewer feed with a fresh process context: the watcher
// handing an attached viewer over, destruction while a viewer is attached,
// and a feed with no block at all. The block has a name of the test's own;
// the points files go to the test's scratch temporary folder (see
// plugin.cmake).
#include "effect/viewer_feed.h"

#include <orvalis/platform/paths.h>
#include <orvalis/platform/process.h>

#include <gtest/gtest.h>

#include "Tests/support/file_text.h"
#include "Tests/support/polling.h"
#include "Tests/support/unique_name.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <functional>
#include <thread>

namespace orvalis::plugin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::fileText;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    return test_support::eventually(done, limit, 1ms);
}

// A job's "image" is its render time: the sample hook makes that many points,
// with the time as their point size.
std::optional<SampledCloud> sampleJob(const RenderJob& job) {
    const auto n = static_cast<std::size_t>(job.time);
    PointList points(n);
    for (std::size_t i = 0; i < n; ++i) {
        points[i].r = static_cast<float>(job.time);
    }
    return SampledCloud{std::make_shared<const PointList>(std::move(points)), static_cast<float>(job.time)};
}

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        viewer = attachBlock(name);  // stands in for the viewer's own mapping
        ASSERT_TRUE(viewer.attached());
        view = *viewer.view();
    }

    std::unique_ptr<ViewerFeed> makeFeed(bool withBlock = true) {
        auto feed = std::make_unique<ViewerFeed>(
            context,
            ViewerFeed::Hooks{[this] { return visualizationMode(); }, [this] { return findWindow(); }, sampleJob},
            withBlock ? attachBlock(name) : BlockAttachment{}, 10, 1ms);
        feed->start();
        return feed;
    }

    std::uint64_t owner() const { return view.u64(exchange::offset::ownerInstance).load(); }
    std::uint32_t activeCount() const {
        const std::uint32_t active = view.u32(exchange::offset::activeBuffer).load();
        return view.u32(active == 0 ? exchange::offset::pointCount0 : exchange::offset::pointCount1).load();
    }

    virtual bool visualizationMode() { return true; }
    virtual bool findWindow() { return true; }

    ProcessContext context;
    std::string name = test_support::uniqueName("OrvalisFeedTest");
    BlockAttachment viewer;
    exchange::BlockView view{nullptr};
};

TEST_F(FeedTest, WatcherHandsAnAttachedViewerToTheInstanceRenderedLastAndPublishesItsCloud) {
    auto a = makeFeed();
    auto b = makeFeed();
    view.u32(exchange::offset::viewerAttached).store(1);

    a->queueRender(RenderJob{.time = 3});
    ASSERT_TRUE(waitFor([&] { return owner() == a->instanceNumber() && activeCount() == 3; }));
    EXPECT_TRUE(a->isActive());

    b->queueRender(RenderJob{.time = 5});
    ASSERT_TRUE(waitFor([&] { return owner() == b->instanceNumber() && activeCount() == 5; }));
    EXPECT_TRUE(b->isActive());
    EXPECT_FALSE(a->isActive());
    EXPECT_EQ(view.u32(exchange::offset::ownerProcess).load(), platform::currentProcessId());
    // The point size is the one read with B's job, not one read at publish time.
    EXPECT_EQ(view.f32(exchange::offset::pointSize).load(), 5.0f);
}

// The watcher of a dying instance starts a cycle just as the role is given
// up (its first look, at the mode, waits for that): a destroyed instance
// must not come out of it owning the viewer.
class DyingFeedTest : public FeedTest {
protected:
    bool findWindow() override {
        watcherThread.store(std::this_thread::get_id());  // only the watcher looks for windows
        return true;
    }
    bool visualizationMode() override {
        if (armed.load() && std::this_thread::get_id() == watcherThread.load()) {
            entered.store(true);
            waitFor([&] { return !context.registry.isActive(dying.load()); }, 500ms);
        }
        return true;
    }
    std::atomic<std::thread::id> watcherThread{};
    std::atomic<bool> armed{false};
    std::atomic<bool> entered{false};
    std::atomic<std::uint64_t> dying{0};
};

TEST_F(DyingFeedTest, DestroyingAnInstanceWhileAViewerIsAttachedLeavesNoOwner) {
    auto feed = makeFeed();
    view.u32(exchange::offset::viewerAttached).store(1);
    feed->queueRender(RenderJob{.time = 2});
    ASSERT_TRUE(waitFor([&] { return owner() == feed->instanceNumber() && activeCount() == 2; }));
    EXPECT_EQ(view.u32(exchange::offset::pluginCount).load(), 2u);

    dying.store(feed->instanceNumber());
    armed.store(true);
    ASSERT_TRUE(waitFor([&] { return entered.load(); }));
    feed.reset();

    EXPECT_EQ(owner(), 0u);
    EXPECT_EQ(view.u32(exchange::offset::ownerProcess).load(), 0u);
    EXPECT_EQ(context.registry.activeInstance(), 0u);
    EXPECT_EQ(view.u32(exchange::offset::pluginCount).load(), 1u);
    EXPECT_EQ(activeCount(), 2u);  // the viewer keeps the last cloud
}

TEST_F(FeedTest, WithoutABlockTheCloudGoesToTheFilesOnly) {
    auto feed = makeFeed(false);
    EXPECT_FALSE(feed->hasBlock());
    EXPECT_FALSE(feed->observe().hasBlock);
    const fs::path folder = platform::tempFolder();
    ASSERT_FALSE(folder.empty());
    const fs::path points = folder / exchange::kPointsFileName;
    const fs::path config = folder / exchange::kConfigFileName;
    const fs::path fallback = folder / exchange::kFallbackFileName;
    for (const fs::path& file : {points, config, fallback}) {
        fs::remove(file);  // earlier tests published here too
    }

    // The files' layout is the exchange writer's test; here, that the feed
    // writes all three with this job's cloud.
    feed->queueRender(RenderJob{.time = 4});
    const std::size_t size4 = 4 + 4 * sizeof(exchange::PointRecord);
    ASSERT_TRUE(waitFor([&] { return fileText(fallback).size() == size4 && fileText(config).size() == 8; }));
    EXPECT_EQ(fileText(points), fileText(fallback));
    EXPECT_EQ(feed->currentRecords().size(), 4u);
    // Nothing else touched the block, and the watcher never claimed.
    EXPECT_EQ(owner(), 0u);
    EXPECT_EQ(view.u64(exchange::offset::sequence).load(), 0u);
}

}  // namespace
}  // namespace orvalis::plugin
