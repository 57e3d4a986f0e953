// The plug-in's side of the exchange: attaching, ownership, sequence
// numbers, the block publish and the points files, checked byte by byte.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>

#include "exchange_support.h"
#include "link/exchange_writer.h"

namespace {

using namespace orvalis;
using namespace exchange_test;
using test_support::ScratchFolder;
namespace off = exchange::offset;

constexpr std::uint32_t kThisProcess = 4242;
constexpr std::uint32_t kOtherProcess = 4343;

// A zeroed block, a fresh sequence counter and an empty folder for the files.
class ExchangeBlock : public ::testing::Test {
protected:
    HeapBlock block;
    const BlockView view = block.view();
    std::atomic<std::uint64_t> counter{1};
    ScratchFolder folder;
};

TEST(ExchangeAttach, HoldersCountThemselvesInAndOutAndTheLastTakesTheBlock) {
    const std::string name = uniqueName("OrvalisExchangeTest");
    plugin::BlockAttachment first = plugin::attachBlock(name);
    ASSERT_TRUE(first.attached());
    const BlockView view = *first.view();
    view.f32(off::pointSize).store(7.5f);
    {
        plugin::BlockAttachment second = plugin::attachBlock(name);
        ASSERT_TRUE(second.attached());
        EXPECT_FALSE(second.created());
        EXPECT_EQ(second.view()->u32(off::pluginCount).load(), 2u);
        plugin::BlockAttachment moved = std::move(second);
        EXPECT_FALSE(second.attached());
        moved.detach();
        EXPECT_EQ(view.u32(off::pluginCount).load(), 1u);
        moved.detach();  // a second detach changes nothing
    }
    EXPECT_EQ(view.u32(off::pluginCount).load(), 1u);
    {
        plugin::BlockAttachment dropped = plugin::attachBlock(name);
        EXPECT_EQ(view.u32(off::pluginCount).load(), 2u);
    }
    EXPECT_EQ(view.u32(off::pluginCount).load(), 1u);
    {
        plugin::BlockAttachment spoilt = plugin::attachBlock(name);
        view.u32(off::pluginCount).store(0);  // by someone else: the count never wraps below zero
    }
    EXPECT_EQ(view.u32(off::pluginCount).load(), 0u);

    // The last holder gone, the block is gone with it: the next one makes it anew.
    first.detach();
    plugin::BlockAttachment again = plugin::attachBlock(name);
    ASSERT_TRUE(again.attached());
    EXPECT_TRUE(again.created());
    EXPECT_EQ(again.view()->f32(off::pointSize).load(), 1.0f);
}

// The creator's values, on a zeroed block, where nobody wrote first. The
// plug-in's processes test sees them in a block made by the real plug-in.
TEST_F(ExchangeBlock, InitialisingWritesTheCreatorValuesWhereNobodyWroteFirst) {
    view.u32(off::viewerAttached).store(1);
    view.u32(off::pluginCount).store(1);
    view.f32(off::pointSize).store(4.0f);
    plugin::initialiseBlockHeader(view);
    const std::byte* b = block.bytes();
    EXPECT_EQ(at<std::uint32_t>(b, 0), 1u);
    EXPECT_EQ(at<std::uint32_t>(b, 4), 1u);
    EXPECT_EQ(at<std::uint32_t>(b, 36), 1u);  // lighting on
    const std::pair<std::size_t, float> floats[] = {{32, 4.0f},  {40, 0.3f},  {44, 0.4f},
                                                    {56, -2.0f}, {60, -2.0f}, {64, -2.0f}};
    for (const auto& [offset, value] : floats) {
        EXPECT_EQ(at<float>(b, offset), value) << "offset " << offset;
    }
    for (std::size_t i = 0; i < 96; ++i) {
        if (!(i < 8 || (i >= 32 && i < 48) || (i >= 56 && i < 68))) {
            EXPECT_EQ(b[i], std::byte{0}) << "byte " << i;
        }
    }
}

TEST_F(ExchangeBlock, OwnerIsTheInstanceOfTheProcessAndOnlyItClears) {
    EXPECT_FALSE(plugin::isOwner(view, 0, 0)) << "0 never names an instance";
    plugin::setOwner(view, 3, kThisProcess);
    EXPECT_EQ(at<std::uint64_t>(block.bytes(), 8), 3u);
    EXPECT_EQ(at<std::uint32_t>(block.bytes(), 20), kThisProcess);
    EXPECT_FALSE(plugin::isOwner(view, 3, kOtherProcess)) << "same number in another host process";
    EXPECT_FALSE(plugin::isOwner(view, 4, kThisProcess));

    plugin::clearOwnerIf(view, 3, kOtherProcess);
    plugin::clearOwnerIf(view, 4, kThisProcess);
    EXPECT_TRUE(plugin::isOwner(view, 3, kThisProcess));
    plugin::clearOwnerIf(view, 3, kThisProcess);
    EXPECT_EQ(at<std::uint64_t>(block.bytes(), 8), 0u);
    EXPECT_EQ(at<std::uint32_t>(block.bytes(), 20), 0u);
}

// Another host process takes the block as an instance takes the active role
// within one: only from no owner, a gone owner, or one that has not claimed
// for 240 ms. Within one process the registry has decided already. That each
// render's claim keeps the other process out is the processes test's.
TEST_F(ExchangeBlock, AnotherProcessTakesTheBlockOnlyAsTheRoleIsTaken) {
    struct Case {
        const char* what;
        std::uint32_t ownerProcess;
        std::uint64_t ownerInstance;
        std::int64_t sinceClaimMs;
        bool ownerAlive;
        bool taken;
    };
    const Case cases[] = {
        {"live owner claimed 239 ms ago", kOtherProcess, 5, 239, true, false},
        {"live owner claimed 240 ms ago", kOtherProcess, 5, 240, true, true},
        {"owner's process is gone", kOtherProcess, 5, 10, false, true},
        {"no owner", 0, 0, 10, true, true},
        {"owner gave up (instance 0)", kOtherProcess, 0, 10, true, true},
        {"another instance of this process", kThisProcess, 5, 10, true, true},
        {"a claim time far ahead of the clock", kOtherProcess, 5, -100'000, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);  // each case sets every owner field it reads
        const std::int64_t now = 1'000'000;
        view.u32(off::ownerProcess).store(c.ownerProcess);
        view.u64(off::ownerInstance).store(c.ownerInstance);
        view.u64(off::ownerClaimMs).store(static_cast<std::uint64_t>(now - c.sinceClaimMs));
        const auto alive = [&](std::uint32_t) { return c.ownerAlive; };
        EXPECT_EQ(plugin::setOwner(view, 3, kThisProcess, now, alive), c.taken);
        EXPECT_EQ(plugin::isOwner(view, 3, kThisProcess), c.taken);
        if (c.taken) {
            EXPECT_EQ(view.u64(off::ownerClaimMs).load(), static_cast<std::uint64_t>(now));
        }
        EXPECT_EQ(view.u32(off::writerProcess).load(), 0u) << "the write lock is let go";
    }
}

TEST_F(ExchangeBlock, ALiveWriterKeepsTheLockAGoneOneLosesIt) {
    bool holderAlive = true;
    const plugin::ProcessProbe alive = [&](std::uint32_t) { return holderAlive; };
    view.u32(off::writerProcess).store(kOtherProcess);
    EXPECT_FALSE(plugin::BlockWriterLock(view, kThisProcess, std::chrono::milliseconds(5), alive).held());
    EXPECT_EQ(view.u32(off::writerProcess).load(), kOtherProcess);

    // Nor can a claim or a publish; the publish writes nothing, files included.
    EXPECT_FALSE(plugin::setOwner(view, 1, kThisProcess, 1000, alive));
    view.u32(off::writerProcess).store(0);
    ASSERT_TRUE(plugin::setOwner(view, 1, kThisProcess, 1000, alive));
    view.u32(off::writerProcess).store(kOtherProcess);
    const auto records = distinctRecords(3);
    const auto busy = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, folder.folder(), counter, alive);
    EXPECT_TRUE(busy.skippedBusy);
    EXPECT_EQ(view.u64(off::sequence).load(), 0u);
    EXPECT_EQ(folder.entryCount(), 0u);

    holderAlive = false;
    const auto done = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, {}, counter, alive);
    EXPECT_TRUE(done.toBlock) << "a gone holder's word is taken over";
    EXPECT_EQ(view.u32(off::writerProcess).load(), 0u);
}

TEST_F(ExchangeBlock, WriterLockIsHeldByOneThreadAtATimeAndOwnLeftoverIsTaken) {
    const plugin::ProcessProbe alive = [](std::uint32_t) { return true; };
    const auto lock = [&] {
        return std::make_unique<plugin::BlockWriterLock>(view, kThisProcess, std::chrono::milliseconds(5), alive);
    };
    // Our id in the word while no thread of ours holds it: left by an
    // earlier process with the same id.
    view.u32(off::writerProcess).store(kThisProcess);
    auto first = lock();
    ASSERT_TRUE(first->held());
    std::thread([&] { EXPECT_FALSE(lock()->held()); }).join();
    first.reset();
    std::thread([&] { EXPECT_TRUE(lock()->held()); }).join();
}

TEST(ExchangeSequence, NumbersRiseAboveBothTheCounterAndTheBlock) {
    std::atomic<std::uint64_t> counter{1};
    // {the block's sequence, the number given}: a fresh counter counts from
    // two, a block of an earlier process lifts it, a block at 0 (or none)
    // leaves it counting on.
    const std::pair<std::uint64_t, std::uint64_t> steps[] = {{0, 2}, {2, 3}, {3, 4}, {100, 101}, {0, 102}, {50, 103}};
    for (const auto& [previous, given] : steps) {
        EXPECT_EQ(plugin::nextSequence(counter, previous), given) << previous;
    }
    EXPECT_NE(plugin::nextSequence(counter, std::numeric_limits<std::uint64_t>::max()), 0u);
}

TEST_F(ExchangeBlock, BlockHeaderAndBufferAfterOnePublish) {
    plugin::initialiseBlockHeader(view);
    const auto records = distinctRecords(1000);
    plugin::publishToBlock(view, records, 6.5f, 2);

    const std::byte* b = block.bytes();
    EXPECT_EQ(at<std::uint64_t>(b, 24), 2u);
    EXPECT_EQ(at<std::uint32_t>(b, 16), 1u);
    EXPECT_EQ(at<std::uint32_t>(b, 36), 1u);
    EXPECT_EQ(at<std::uint32_t>(b, 68), 0u);
    EXPECT_EQ(at<std::uint32_t>(b, 72), 1000u);
    // Point size, then the lighting a publish sets.
    const std::pair<std::size_t, float> floats[] = {{32, 6.5f},  {40, 0.4f},  {44, 0.5f}, {48, 0.0f},
                                                    {52, 0.13f}, {56, -0.4f}, {60, 0.4f}, {64, -0.4f}};
    for (const auto& [offset, value] : floats) {
        EXPECT_EQ(at<float>(b, offset), value) << "offset " << offset;
    }
    EXPECT_EQ(std::memcmp(b + 32'000'096, records.data(), records.size() * 32), 0);
    EXPECT_EQ(at<float>(b, 96), 0.0f) << "buffer 0 untouched";
}

TEST_F(ExchangeBlock, BuffersAlternateAndSequenceRisesAboveTheBlocks) {
    plugin::initialiseBlockHeader(view);
    plugin::setOwner(view, 1, kThisProcess);
    view.u64(off::sequence).store(100);  // left by an earlier process

    const std::uint32_t expectedBuffer[] = {1, 0, 1};
    for (int i = 0; i < 3; ++i) {
        const auto records = distinctRecords(10 + i, static_cast<float>(i));
        const auto result = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, {}, counter);
        EXPECT_TRUE(result.toBlock);
        EXPECT_EQ(result.sequence, static_cast<std::uint64_t>(101 + i));
        EXPECT_EQ(view.u64(off::sequence).load(), static_cast<std::uint64_t>(101 + i));
        const std::uint32_t active = view.u32(off::activeBuffer).load();
        EXPECT_EQ(active, expectedBuffer[i]);
        EXPECT_EQ(view.u32(active == 0 ? off::pointCount0 : off::pointCount1).load(), records.size());
        EXPECT_EQ(std::memcmp(view.buffer(active), records.data(), records.size() * 32), 0);
    }
}

TEST_F(ExchangeBlock, NonOwnerPublishesNothing) {
    plugin::initialiseBlockHeader(view);
    plugin::setOwner(view, 1, kOtherProcess);
    view.u64(off::sequence).store(9);

    const auto records = distinctRecords(3);
    const auto result = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, folder.folder(), counter);
    EXPECT_TRUE(result.skippedNotOwner);
    EXPECT_EQ(view.u64(off::sequence).load(), 9u);
    EXPECT_EQ(counter.load(), 1u) << "no number taken";
    EXPECT_EQ(folder.entryCount(), 0u);
}

TEST_F(ExchangeBlock, LargeCloudIsCutInTheBlockButWholeInTheFile) {
    plugin::setOwner(view, 1, kThisProcess);

    const auto records = distinctRecords(1'200'000);
    const auto result = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, folder.folder(), counter);
    ASSERT_TRUE(result.toBlock);
    EXPECT_EQ(view.u32(off::pointCount1).load(), 1'000'000u);
    EXPECT_EQ(std::memcmp(view.buffer(1), records.data(), 1'000'000 * 32), 0);

    ASSERT_TRUE(result.files.points);
    expectPointsFile(fileText(folder.file("ov_points.bin")), records);
}

TEST(ExchangeFiles, PointsConfigAndFallbackLayout) {
    const ScratchFolder folder("orvalis.exchange");  // a dot here catches a name cut at the wrong dot
    const auto records = distinctRecords(2);
    const auto written = plugin::writePointsFiles(folder.folder(), records, 2.5f);
    EXPECT_TRUE(written.points && written.config && written.fallback);

    const auto points = fileText(folder.file("ov_points.bin"));
    expectPointsFile(points, records);

    const auto config = fileText(folder.file("ov_points_config.bin"));
    ASSERT_EQ(config.size(), 8u);
    EXPECT_EQ(at<float>(config, 0), 2.5f);
    EXPECT_EQ(at<std::uint32_t>(config, 4), 0u);

    EXPECT_EQ(fileText(folder.file("Orvalis_points.bin")), points);
    EXPECT_EQ(folder.entryCount(), 3u);
}

TEST(ExchangeFiles, AFolderWithoutSeparatorIsTakenAMissingOneSkipped) {
    ScratchFolder folder;
    const auto records = distinctRecords(2);
    EXPECT_TRUE(plugin::writePointsFiles(folder.str(), records, 1.0f).points);
    EXPECT_FALSE(fileText(folder.file("ov_points.bin")).empty());
    for (const std::string& missing : {folder.file("no-such-folder") + "/", std::string()}) {
        const auto none = plugin::writePointsFiles(missing, records, 1.0f);
        EXPECT_FALSE(none.points || none.config || none.fallback) << missing;
    }
}

}  // namespace
