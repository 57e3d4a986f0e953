// The viewer's side of the exchange: the intake step over the block and the
// file fallback, with malformed blocks and files.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>

#include "app/exchange_reader.h"
#include "exchange_support.h"
#include "link/exchange_writer.h"

namespace {

using namespace orvalis;
using namespace exchange_test;
namespace off = exchange::offset;

// A zeroed block and a reader that has taken nothing yet.
class ExchangeRead : public ::testing::Test {
protected:
    HeapBlock block;
    const BlockView view = block.view();
    viewer::IntakeState state;
};

TEST_F(ExchangeRead, TakesAPublishedCloud) {
    plugin::initialiseBlockHeader(block.view());
    const auto records = distinctRecords(500);
    plugin::publishToBlock(block.view(), records, 6.0f, 2);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    ASSERT_EQ(state.points.size(), records.size());
    EXPECT_EQ(std::memcmp(state.points.data(), records.data(), records.size() * 32), 0);
    EXPECT_EQ(state.pointSize, 6.0f);
    EXPECT_EQ(state.lastSequence, 2u);
    EXPECT_FALSE(state.hasOutOfRange);
    EXPECT_EQ(std::memcmp(state.lighting.data(), block.bytes() + 36, 32), 0);
}

TEST_F(ExchangeRead, NothingNewWithoutANewerSequence) {
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state)) << "sequence 0";

    plugin::publishToBlock(block.view(), distinctRecords(4), 4.0f, 5);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state)) << "same sequence";

    plugin::publishToBlock(block.view(), distinctRecords(7), 4.0f, 4);  // a lower number from another process
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state));
    EXPECT_EQ(state.points.size(), 4u);
    plugin::publishToBlock(block.view(), distinctRecords(7), 4.0f, 6);
    EXPECT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_EQ(state.points.size(), 7u);
}

// A host killed between a publish's first step (sequence 0) and its last
// takes its number with it. The next host process, with a fresh counter,
// must still publish above what the viewer took, or the viewer would
// ignore it until that counter caught up.
TEST_F(ExchangeRead, TakesTheNextHostsCloudAfterAWriterKilledMidPublish) {
    plugin::initialiseBlockHeader(view);
    constexpr std::uint32_t kHost = 77;
    plugin::setOwner(view, 1, kHost);
    std::atomic<std::uint64_t> killedHost{1};
    for (int i = 0; i < 40; ++i) {
        plugin::publishCloud(view, 1, kHost, distinctRecords(3), 4.0f, {}, killedHost);
    }
    ASSERT_TRUE(viewer::readBlockStep(view, state));
    view.u64(off::sequence).store(0);

    std::atomic<std::uint64_t> nextHost{1};
    const auto result = plugin::publishCloud(view, 1, kHost, distinctRecords(5), 4.0f, {}, nextHost);
    ASSERT_TRUE(result.toBlock);
    EXPECT_TRUE(viewer::readBlockStep(view, state))
        << "sequence " << result.sequence << " after " << state.lastSequence;
    EXPECT_EQ(state.points.size(), 5u);
}

TEST_F(ExchangeRead, RejectsABadBufferIndexOrACountAboveTheBuffer) {
    plugin::publishToBlock(block.view(), distinctRecords(4), 4.0f, 2);
    block.view().u32(off::activeBuffer).store(2);
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state));
    block.view().u32(off::activeBuffer).store(1);
    block.view().u32(off::pointCount1).store(1'000'001);
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state));
    EXPECT_TRUE(state.points.empty());
    EXPECT_EQ(state.lastSequence, 0u) << "a rejected cloud is looked at again";

    block.view().u32(off::pointCount1).store(1'000'000);
    EXPECT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_EQ(state.points.size(), 1'000'000u);
}

TEST_F(ExchangeRead, EmptyCloudClearsThePointsAndKeepsThePointSize) {
    plugin::publishToBlock(block.view(), std::vector{record(2.0f, 0, 0, 0, 0, 0)}, 6.0f, 2);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    ASSERT_TRUE(state.hasOutOfRange);
    const auto lightingBefore = state.lighting;

    plugin::publishToBlock(block.view(), {}, 9.0f, 3);
    block.view().u32(off::lightingEnabled).store(0);
    block.view().f32(off::ambient).store(0.9f);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_TRUE(state.points.empty());
    EXPECT_FALSE(state.hasOutOfRange);
    EXPECT_EQ(state.pointSize, 6.0f);
    EXPECT_EQ(state.lighting[0], 0u) << "only lightingEnabled is taken";
    EXPECT_EQ(state.lighting[1], lightingBefore[1]);
    EXPECT_EQ(state.lastSequence, 3u);
}

// A publish that lands, or starts, while the reader copies: the copy is dropped.
TEST_F(ExchangeRead, DropsACopyThatAPublishOverwroteOrIsWriting) {
    const auto newer = distinctRecords(30, 0.5f);
    const struct {
        const char* what;
        std::size_t count;
        std::function<void()> during;
    } cases[] = {
        {"overwritten", 100, [&] { plugin::publishToBlock(view, newer, 4.0f, 3); }},
        {"under way", 100, [&] { view.u64(off::sequence).store(0); }},
        {"an empty cloud under way", 0, [&] { view.u64(off::sequence).store(0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plugin::publishToBlock(view, distinctRecords(c.count), 4.0f, 2);
        viewer::IntakeState reader;  // each case from nothing taken
        EXPECT_FALSE(viewer::readBlockStep(view, reader, c.during));
        EXPECT_TRUE(reader.points.empty());
        EXPECT_EQ(reader.lastSequence, 0u);
        // The next step looks again and takes the newer cloud whole.
        plugin::publishToBlock(view, newer, 4.0f, 3);
        ASSERT_TRUE(viewer::readBlockStep(view, reader));
        EXPECT_EQ(reader.lastSequence, 3u);
        EXPECT_EQ(std::memcmp(reader.points.data(), newer.data(), newer.size() * 32), 0);
    }
}

TEST(ExchangeOutOfRange, EdgesOnEachAxis) {
    EXPECT_FALSE(viewer::hasOutOfRange(std::vector<PointRecord>{}));
    EXPECT_FALSE(viewer::hasOutOfRange(std::vector{record(1.0001f, -0.0001f, 0.0f, 5.0f, -5.0f, 9.0f)}))
        << "colours are not tested";
    EXPECT_TRUE(viewer::hasOutOfRange(std::vector{record(1.00011f, 0, 0, 0, 0, 0)}));
    EXPECT_TRUE(viewer::hasOutOfRange(std::vector{record(0, -0.00011f, 0, 0, 0, 0)}));
    EXPECT_TRUE(viewer::hasOutOfRange(std::vector{record(0, 0, 1.00011f, 0, 0, 0)}));
    EXPECT_TRUE(viewer::hasOutOfRange(std::vector{record(0, 0, 0, 0, 0, 0), record(0, 0, -1.0f, 0, 0, 0)}));
}

// The flag a viewer sets while attached is the intake's test.
TEST(ExchangeViewerBlock, AViewerIsNoPlugin) {
    const std::string name = uniqueName("OrvalisExchangeTest");
    plugin::BlockAttachment plugin = plugin::attachBlock(name);
    ASSERT_TRUE(plugin.attached());
    auto block = viewer::ViewerBlock::open(name);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(plugin.view()->u32(off::pluginCount).load(), 1u);
}

class ExchangeFallback : public ::testing::Test {
protected:
    // Writes a points file of count n with `records` as its body or, with
    // none, n zero records made sparse (so that big counts cost little).
    void writeFile(std::uint32_t n, const std::vector<PointRecord>& records = {}) {
        writePointsFileByHand(path, n, records);
        if (records.empty()) {
            std::filesystem::resize_file(fsPath(path), 4 + std::uintmax_t{32} * n);
        }
        bumpTime();
    }
    // Each write gets a later time, even where the file system's clock is coarse.
    void bumpTime() {
        static int step = 0;
        std::filesystem::last_write_time(fsPath(path),
                                         std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++step));
    }

    test_support::ScratchFolder folder;
    std::string path = folder.file("Orvalis_points.bin");
    std::int64_t lastWriteTime = 0;
    viewer::IntakeState state;
};

TEST_F(ExchangeFallback, TakesAWholeFileWithPointSizeOneOnlyOnceItChanges) {
    state.pointSize = 6.0f;
    state.lastSequence = 17;
    state.lighting[2] = 99;
    auto records = distinctRecords(3);
    records[1].z = 1.00011f;
    writeFile(3, records);
    ASSERT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    ASSERT_EQ(state.points.size(), 3u);
    EXPECT_EQ(std::memcmp(state.points.data(), records.data(), 96), 0);
    EXPECT_EQ(state.pointSize, 1.0f);
    EXPECT_TRUE(state.hasOutOfRange);
    EXPECT_EQ(state.lastSequence, 17u);
    EXPECT_EQ(state.lighting[2], 99u);

    state.points.clear();
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state)) << "unchanged";
    EXPECT_TRUE(state.points.empty());
    writeFile(5, distinctRecords(5));
    EXPECT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_EQ(state.points.size(), 5u);
    EXPECT_FALSE(state.hasOutOfRange);
}

TEST_F(ExchangeFallback, MissingShortAndOutOfRangeFilesTakeNothing) {
    state.points = distinctRecords(1);
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state)) << "missing";
    EXPECT_FALSE(viewer::readFallbackFile("", lastWriteTime, state)) << "no path";
    const std::uint16_t half = 7;
    writeBytes(path, &half, sizeof half);
    bumpTime();
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state)) << "half a count";
    const auto records = distinctRecords(4);
    const std::pair<std::uint32_t, const char*> counts[] = {
        {5, "one record short"}, {9'999'999, "a huge count with a tiny body"}, {0, "no points"}};
    for (const auto& [n, what] : counts) {
        writeFile(n, n == 0 ? std::vector<PointRecord>{} : records);
        EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state)) << what;
    }
    writeFile(10'000'000);
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state)) << "above the largest count";
    EXPECT_EQ(state.points.size(), 1u) << "nothing taken";
}

TEST_F(ExchangeFallback, LargestCountWithAFullBodyIsTaken) {
    writeFile(9'999'999);
    ASSERT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_EQ(state.points.size(), 9'999'999u);
    EXPECT_FALSE(state.hasOutOfRange);
}

}  // namespace
