// The viewer's side of the exchange: the intake step over the block and the
// file fallback, with malformed blocks and files.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstring>
#include <filesystem>

#include "app/exchange_reader.h"
#include "exchange_support.h"
#include "link/exchange_writer.h"

namespace {

using namespace orvalis;
using namespace exchange_test;
namespace off = exchange::offset;

// A block as a plug-in leaves it after publishing `records` as `sequence`.
void publish(const BlockView& view, const std::vector<PointRecord>& records, std::uint64_t sequence,
             float pointSize = 4.0f) {
    plugin::publishToBlock(view, records, pointSize, sequence);
}

// ---- the block ------------------------------------------------------------

TEST(ExchangeRead, TakesAPublishedCloud) {
    HeapBlock block;
    plugin::initialiseBlockHeader(block.view());
    const auto records = distinctRecords(500);
    publish(block.view(), records, 2, 6.0f);

    viewer::IntakeState state;
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    ASSERT_EQ(state.points.size(), records.size());
    EXPECT_EQ(std::memcmp(state.points.data(), records.data(), records.size() * 32), 0);
    EXPECT_EQ(state.pointSize, 6.0f);
    EXPECT_EQ(state.lastSequence, 2u);
    EXPECT_FALSE(state.hasOutOfRange);
    EXPECT_EQ(std::memcmp(state.lighting.data(), block.bytes() + 36, 32), 0);
    EXPECT_EQ(std::bit_cast<float>(state.lighting[4]), 0.13f);
}

TEST(ExchangeRead, NothingNewWithoutANewerSequence) {
    HeapBlock block;
    viewer::IntakeState state;
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state)) << "sequence 0";

    publish(block.view(), distinctRecords(4), 5);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state)) << "same sequence";

    publish(block.view(), distinctRecords(7), 4);  // a lower number from another process
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state));
    EXPECT_EQ(state.points.size(), 4u);
    publish(block.view(), distinctRecords(7), 6);
    EXPECT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_EQ(state.points.size(), 7u);
}

TEST(ExchangeRead, RejectsABadBufferIndex) {
    HeapBlock block;
    publish(block.view(), distinctRecords(4), 2);
    block.view().u32(off::activeBuffer).store(2);
    viewer::IntakeState state;
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state));
    EXPECT_TRUE(state.points.empty());
    EXPECT_EQ(state.lastSequence, 0u);
}

TEST(ExchangeRead, RejectsACountAboveTheBufferAndLooksAgain) {
    HeapBlock block;
    publish(block.view(), distinctRecords(4), 2);
    block.view().u32(off::pointCount1).store(1'000'001);
    viewer::IntakeState state;
    EXPECT_FALSE(viewer::readBlockStep(block.view(), state));
    EXPECT_EQ(state.lastSequence, 0u);

    block.view().u32(off::pointCount1).store(1'000'000);
    EXPECT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_EQ(state.points.size(), 1'000'000u);
}

TEST(ExchangeRead, EmptyCloudClearsThePointsAndKeepsThePointSize) {
    HeapBlock block;
    viewer::IntakeState state;
    const auto withOutside = std::vector<PointRecord>{record(2.0f, 0, 0, 0, 0, 0)};
    publish(block.view(), withOutside, 2, 6.0f);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    ASSERT_TRUE(state.hasOutOfRange);
    const auto lightingBefore = state.lighting;

    publish(block.view(), {}, 3, 9.0f);
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

TEST(ExchangeRead, DropsACopyThatAPublishOverwrote) {
    HeapBlock block;
    const BlockView view = block.view();
    publish(view, distinctRecords(100, 0.0f), 2);
    viewer::IntakeState state;
    const auto newer = distinctRecords(30, 0.5f);
    EXPECT_FALSE(viewer::readBlockStep(view, state, [&] { publish(view, newer, 3); }));
    EXPECT_TRUE(state.points.empty());
    EXPECT_EQ(state.lastSequence, 0u);

    ASSERT_TRUE(viewer::readBlockStep(view, state));
    EXPECT_EQ(state.lastSequence, 3u);
    EXPECT_EQ(std::memcmp(state.points.data(), newer.data(), newer.size() * 32), 0);
}

TEST(ExchangeRead, DropsACopyWhileAPublishIsUnderWay) {
    HeapBlock block;
    const BlockView view = block.view();
    publish(view, distinctRecords(100), 2);
    viewer::IntakeState state;
    EXPECT_FALSE(viewer::readBlockStep(view, state, [&] { view.u64(off::sequence).store(0); }));
    EXPECT_EQ(state.lastSequence, 0u);

    publish(view, {}, 3);
    EXPECT_FALSE(viewer::readBlockStep(view, state, [&] { view.u64(off::sequence).store(0); }))
        << "the empty cloud is checked the same way";
    EXPECT_EQ(state.lastSequence, 0u);
}

TEST(ExchangeRead, OutOfRangeFlagFollowsTheCloud) {
    HeapBlock block;
    viewer::IntakeState state;
    publish(block.view(), {record(0.5f, 0.5f, 1.00011f, 0, 0, 0)}, 2);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_TRUE(state.hasOutOfRange);
    publish(block.view(), {record(0.5f, 0.5f, 1.0001f, 0, 0, 0)}, 3);
    ASSERT_TRUE(viewer::readBlockStep(block.view(), state));
    EXPECT_FALSE(state.hasOutOfRange);
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

// ---- the viewer's hold on the block -----------------------------------------

TEST(ExchangeViewerBlock, MarksItselfAttachedWhileItHoldsTheBlock) {
    const std::string name = uniqueName("OrvalisExchangeTest");
    EXPECT_EQ(viewer::ViewerBlock::open(name), nullptr) << "no block yet";

    plugin::BlockAttachment plugin = plugin::attachBlock(name);
    ASSERT_TRUE(plugin.attached());
    const BlockView view = *plugin.view();
    {
        auto block = viewer::ViewerBlock::open(name);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(view.u32(off::viewerAttached).load(), 1u);
        EXPECT_EQ(view.u32(off::pluginCount).load(), 1u) << "a viewer is no plug-in";
    }
    EXPECT_EQ(view.u32(off::viewerAttached).load(), 0u);
}

TEST(ExchangeViewerBlock, ClosesOnlyAfterPluginsWereSeen) {
    HeapBlock block;
    const BlockView view = block.view();
    bool seen = false;
    EXPECT_FALSE(viewer::pluginsGone(view, seen)) << "never saw a plug-in: stays open";
    view.u32(off::pluginCount).store(2);
    EXPECT_FALSE(viewer::pluginsGone(view, seen));
    view.u32(off::pluginCount).store(0);
    EXPECT_TRUE(viewer::pluginsGone(view, seen));
    EXPECT_TRUE(viewer::pluginsGone(view, seen)) << "on every pass while it stays 0";
}

// ---- the file fallback ----------------------------------------------------

class ExchangeFallback : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.path().empty()); }

    // Writes a points file with count n and `records` as its body.
    void writeFile(std::uint32_t n, const std::vector<PointRecord>& records) {
        std::vector<std::byte> bytes(4 + records.size() * 32);
        std::memcpy(bytes.data(), &n, 4);
        if (!records.empty()) {
            std::memcpy(bytes.data() + 4, records.data(), records.size() * 32);
        }
        writeBytes(path, bytes.data(), bytes.size());
        bumpTime();
    }
    // A file of n zero records made sparse, so that big counts cost little.
    void writeZeroFile(std::uint32_t n) {
        writeBytes(path, &n, 4);
        std::filesystem::resize_file(fsPath(path), 4 + std::uintmax_t{32} * n);
        bumpTime();
    }
    // Moves the last-write time on, so that each write differs even where
    // the file system's clock is coarse.
    void bumpTime() {
        static int step = 0;
        std::filesystem::last_write_time(fsPath(path),
                                         std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++step));
    }

    TempDir folder;
    std::string path = folder.file("Orvalis_points.bin");
    std::int64_t lastWriteTime = 0;
    viewer::IntakeState state;
};

TEST_F(ExchangeFallback, TakesAWholeFileWithPointSizeOne) {
    state.pointSize = 6.0f;
    state.lastSequence = 17;
    state.lighting[2] = 99;
    const auto records = distinctRecords(3);
    writeFile(3, records);
    ASSERT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    ASSERT_EQ(state.points.size(), 3u);
    EXPECT_EQ(std::memcmp(state.points.data(), records.data(), 96), 0);
    EXPECT_EQ(state.pointSize, 1.0f);
    EXPECT_EQ(state.lastSequence, 17u);
    EXPECT_EQ(state.lighting[2], 99u);
}

TEST_F(ExchangeFallback, TakesWhatThePluginWrites) {
    const auto records = distinctRecords(20);
    ASSERT_TRUE(plugin::writePointsFiles(folder.path(), records, 4.0f).fallback);
    ASSERT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_EQ(state.points.size(), 20u);
}

TEST_F(ExchangeFallback, UnchangedFileIsNotReadAgain) {
    writeFile(2, distinctRecords(2));
    ASSERT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    state.points.clear();
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_TRUE(state.points.empty());

    writeFile(5, distinctRecords(5));
    EXPECT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_EQ(state.points.size(), 5u);
}

TEST_F(ExchangeFallback, MissingFileTakesNothing) {
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_FALSE(viewer::readFallbackFile("", lastWriteTime, state));
}

TEST_F(ExchangeFallback, ShortFilesTakeNothing) {
    state.points = distinctRecords(1);
    const std::uint16_t half = 7;
    writeBytes(path, &half, sizeof half);
    bumpTime();
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state));

    auto records = distinctRecords(4);
    writeFile(5, records);  // one record short
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state));

    writeFile(9'999'999, records);  // a huge count with a tiny body
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_EQ(state.points.size(), 1u) << "nothing taken";
}

TEST_F(ExchangeFallback, CountsOutsideTheRangeAreIgnored) {
    writeFile(0, {});
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state));
    writeZeroFile(10'000'000);
    EXPECT_FALSE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_TRUE(state.points.empty());
}

TEST_F(ExchangeFallback, LargestCountWithAFullBodyIsTaken) {
    writeZeroFile(9'999'999);
    ASSERT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_EQ(state.points.size(), 9'999'999u);
    EXPECT_FALSE(state.hasOutOfRange);
}

TEST_F(ExchangeFallback, OutOfRangeIsComputed) {
    writeFile(2, {record(0.5f, 0.5f, 0.5f, 0, 0, 0), record(0.5f, 0.5f, 1.00011f, 0, 0, 0)});
    ASSERT_TRUE(viewer::readFallbackFile(path, lastWriteTime, state));
    EXPECT_TRUE(state.hasOutOfRange);
}

}  // namespace
