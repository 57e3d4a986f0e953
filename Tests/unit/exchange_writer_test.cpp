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
#include "orvalis/platform/process.h"

namespace {

using namespace orvalis;
using namespace exchange_test;
namespace off = exchange::offset;

constexpr std::uint32_t kThisProcess = 4242;
constexpr std::uint32_t kOtherProcess = 4343;

// ---- attaching ------------------------------------------------------------

TEST(ExchangeAttach, NewBlockCarriesTheCreatorValues) {
    plugin::BlockAttachment block = plugin::attachBlock(uniqueName("OrvalisExchangeTest"));
    ASSERT_TRUE(block.attached());
    EXPECT_TRUE(block.created());
    const std::byte* b = block.view()->base();

    EXPECT_EQ(at<std::uint32_t>(b, 0), 0u);   // viewerAttached
    EXPECT_EQ(at<std::uint32_t>(b, 4), 1u);   // pluginCount: this holder
    EXPECT_EQ(at<std::uint64_t>(b, 8), 0u);   // ownerInstance
    EXPECT_EQ(at<std::uint32_t>(b, 16), 0u);  // activeBuffer
    EXPECT_EQ(at<std::uint32_t>(b, 20), 0u);  // ownerProcess
    EXPECT_EQ(at<std::uint64_t>(b, 24), 0u);  // sequence
    EXPECT_EQ(at<float>(b, 32), 1.0f);
    EXPECT_EQ(at<std::uint32_t>(b, 36), 1u);
    EXPECT_EQ(at<float>(b, 40), 0.3f);
    EXPECT_EQ(at<float>(b, 44), 0.4f);
    EXPECT_EQ(at<float>(b, 48), 0.0f);
    EXPECT_EQ(at<float>(b, 52), 0.0f);
    EXPECT_EQ(at<float>(b, 56), -2.0f);
    EXPECT_EQ(at<float>(b, 60), -2.0f);
    EXPECT_EQ(at<float>(b, 64), -2.0f);
    EXPECT_EQ(at<std::uint32_t>(b, 68), 0u);
    EXPECT_EQ(at<std::uint32_t>(b, 72), 0u);
    for (std::size_t i = 76; i < 96; ++i) {
        EXPECT_EQ(b[i], std::byte{0}) << "reserved byte " << i;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(at<std::uint32_t>(b, 64'000'096 + 4 * i), 0u);
    }
}

TEST(ExchangeAttach, SecondHolderLeavesTheHeaderAndCountsItselfIn) {
    const std::string name = uniqueName("OrvalisExchangeTest");
    plugin::BlockAttachment first = plugin::attachBlock(name);
    ASSERT_TRUE(first.attached());
    const BlockView view = *first.view();
    view.f32(off::pointSize).store(7.5f);
    view.u64(off::sequence).store(55);

    plugin::BlockAttachment second = plugin::attachBlock(name);
    ASSERT_TRUE(second.attached());
    EXPECT_FALSE(second.created());
    const BlockView other = *second.view();
    EXPECT_EQ(other.f32(off::pointSize).load(), 7.5f);
    EXPECT_EQ(other.u64(off::sequence).load(), 55u);
    EXPECT_EQ(other.u32(off::pluginCount).load(), 2u);

    second.detach();
    EXPECT_FALSE(second.attached());
    EXPECT_EQ(view.u32(off::pluginCount).load(), 1u);
    second.detach();  // a second detach changes nothing
    EXPECT_EQ(view.u32(off::pluginCount).load(), 1u);

    // The last holder gone, the block is gone with it: the next one makes it anew.
    first.detach();
    plugin::BlockAttachment again = plugin::attachBlock(name);
    ASSERT_TRUE(again.attached());
    EXPECT_TRUE(again.created());
    EXPECT_EQ(again.view()->f32(off::pointSize).load(), 1.0f);
}

TEST(ExchangeAttach, DroppingAnAttachmentCountsItOut) {
    const std::string name = uniqueName("OrvalisExchangeTest");
    plugin::BlockAttachment first = plugin::attachBlock(name);
    ASSERT_TRUE(first.attached());
    {
        plugin::BlockAttachment second = plugin::attachBlock(name);
        ASSERT_TRUE(second.attached());
        plugin::BlockAttachment moved = std::move(second);
        EXPECT_FALSE(second.attached());
        EXPECT_EQ(first.view()->u32(off::pluginCount).load(), 2u);
    }
    EXPECT_EQ(first.view()->u32(off::pluginCount).load(), 1u);
}

TEST(ExchangeAttach, CountNeverWrapsBelowZero) {
    const std::string name = uniqueName("OrvalisExchangeTest");
    plugin::BlockAttachment first = plugin::attachBlock(name);
    plugin::BlockAttachment second = plugin::attachBlock(name);
    ASSERT_TRUE(first.attached() && second.attached());
    first.view()->u32(off::pluginCount).store(0);  // spoilt by someone else
    second.detach();
    EXPECT_EQ(first.view()->u32(off::pluginCount).load(), 0u);
}

TEST(ExchangeAttach, InitialisingKeepsWhatOthersWroteFirst) {
    HeapBlock block;
    const BlockView view = block.view();
    view.u32(off::viewerAttached).store(1);
    view.u32(off::pluginCount).store(1);
    view.f32(off::pointSize).store(4.0f);
    plugin::initialiseBlockHeader(view);
    EXPECT_EQ(at<std::uint32_t>(block.bytes(), 0), 1u);
    EXPECT_EQ(at<std::uint32_t>(block.bytes(), 4), 1u);
    EXPECT_EQ(at<float>(block.bytes(), 32), 4.0f);
    EXPECT_EQ(at<float>(block.bytes(), 40), 0.3f);
    EXPECT_EQ(at<float>(block.bytes(), 60), -2.0f);
}

// ---- ownership ------------------------------------------------------------

TEST(ExchangeOwnership, OwnerIsTheInstanceOfTheProcess) {
    HeapBlock block;
    const BlockView view = block.view();
    EXPECT_FALSE(plugin::isOwner(view, 0, 0)) << "0 never names an instance";

    plugin::setOwner(view, 3, kThisProcess);
    EXPECT_EQ(at<std::uint64_t>(block.bytes(), 8), 3u);
    EXPECT_EQ(at<std::uint32_t>(block.bytes(), 20), kThisProcess);
    EXPECT_TRUE(plugin::isOwner(view, 3, kThisProcess));
    EXPECT_FALSE(plugin::isOwner(view, 3, kOtherProcess)) << "same number in another host process";
    EXPECT_FALSE(plugin::isOwner(view, 4, kThisProcess));
}

TEST(ExchangeOwnership, ClearOnlyWhenBothWordsNameTheCaller) {
    HeapBlock block;
    const BlockView view = block.view();
    plugin::setOwner(view, 3, kThisProcess);

    plugin::clearOwnerIf(view, 3, kOtherProcess);
    plugin::clearOwnerIf(view, 4, kThisProcess);
    EXPECT_TRUE(plugin::isOwner(view, 3, kThisProcess));

    plugin::clearOwnerIf(view, 3, kThisProcess);
    EXPECT_EQ(at<std::uint64_t>(block.bytes(), 8), 0u);
    EXPECT_EQ(at<std::uint32_t>(block.bytes(), 20), 0u);
    EXPECT_FALSE(plugin::isOwner(view, 3, kThisProcess));
}

// Another host process takes the block as an instance takes the active role
// within one: only from no owner, a gone owner, or one that has not claimed
// for 240 ms. Within one process the registry has decided already.
TEST(ExchangeOwnership, AnotherProcessTakesTheBlockOnlyAsTheRoleIsTaken) {
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
        HeapBlock block;
        const BlockView view = block.view();
        const std::int64_t now = 1'000'000;
        view.u32(off::ownerProcess).store(c.ownerProcess);
        view.u64(off::ownerInstance).store(c.ownerInstance);
        view.u64(off::ownerClaimMs).store(static_cast<std::uint64_t>(now - c.sinceClaimMs));
        const auto alive = [&](std::uint32_t) { return c.ownerAlive; };
        EXPECT_EQ(plugin::setOwner(view, 3, kThisProcess, now, alive), c.taken) << c.what;
        EXPECT_EQ(plugin::isOwner(view, 3, kThisProcess), c.taken) << c.what;
        if (c.taken) {
            EXPECT_EQ(view.u64(off::ownerClaimMs).load(), static_cast<std::uint64_t>(now)) << c.what;
        }
        EXPECT_EQ(view.u32(off::writerProcess).load(), 0u) << c.what << ": the write lock is let go";
    }
}

TEST(ExchangeOwnership, EachClaimOfTheOwnerKeepsTheOtherProcessOut) {
    HeapBlock block;
    const BlockView view = block.view();
    const auto alive = [](std::uint32_t) { return true; };
    ASSERT_TRUE(plugin::setOwner(view, 1, kOtherProcess, 1000, alive));
    for (std::int64_t now = 1200; now < 2000; now += 200) {
        EXPECT_FALSE(plugin::setOwner(view, 2, kThisProcess, now, alive)) << now;
        EXPECT_TRUE(plugin::setOwner(view, 1, kOtherProcess, now, alive)) << now;  // renders on
    }
    EXPECT_TRUE(plugin::setOwner(view, 2, kThisProcess, 1800 + 240, alive)) << "the owner stopped rendering";
    EXPECT_FALSE(plugin::isOwner(view, 1, kOtherProcess));
}

// ---- the write lock across processes --------------------------------------

TEST(ExchangeWriterLock, ALiveHolderKeepsItAGoneOneLosesIt) {
    HeapBlock block;
    const BlockView view = block.view();
    bool holderAlive = true;
    const plugin::ProcessProbe alive = [&](std::uint32_t) { return holderAlive; };
    view.u32(off::writerProcess).store(kOtherProcess);
    {
        const plugin::BlockWriterLock lock(view, kThisProcess, std::chrono::milliseconds(5), alive);
        EXPECT_FALSE(lock.held());
    }
    EXPECT_EQ(view.u32(off::writerProcess).load(), kOtherProcess);

    // Nor can a claim or a publish; the publish writes nothing, files included.
    EXPECT_FALSE(plugin::setOwner(view, 1, kThisProcess, 1000, alive));
    view.u32(off::writerProcess).store(0);
    ASSERT_TRUE(plugin::setOwner(view, 1, kThisProcess, 1000, alive));
    view.u32(off::writerProcess).store(kOtherProcess);
    std::atomic<std::uint64_t> counter{1};
    const auto records = distinctRecords(3);
    TempDir folder;
    const auto busy = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, folder.path(), counter, alive);
    EXPECT_TRUE(busy.skippedBusy);
    EXPECT_EQ(view.u64(off::sequence).load(), 0u);
    EXPECT_FALSE(platform::pathExists(folder.file("ov_points.bin")));

    holderAlive = false;
    const auto done = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, {}, counter, alive);
    EXPECT_TRUE(done.toBlock) << "a gone holder's word is taken over";
    EXPECT_EQ(view.u32(off::writerProcess).load(), 0u);
}

TEST(ExchangeWriterLock, OneThreadOfAProcessAtATimeAndOwnLeftoverTaken) {
    HeapBlock block;
    const BlockView view = block.view();
    const plugin::ProcessProbe alive = [](std::uint32_t) { return true; };
    // Our id in the word while no thread of ours holds it: left by an
    // earlier process with the same id.
    view.u32(off::writerProcess).store(kThisProcess);
    auto first = std::make_unique<plugin::BlockWriterLock>(view, kThisProcess, std::chrono::milliseconds(5), alive);
    ASSERT_TRUE(first->held());
    std::thread([&] {
        const plugin::BlockWriterLock second(view, kThisProcess, std::chrono::milliseconds(5), alive);
        EXPECT_FALSE(second.held());
    }).join();
    first.reset();
    std::thread([&] {
        const plugin::BlockWriterLock second(view, kThisProcess, std::chrono::milliseconds(5), alive);
        EXPECT_TRUE(second.held());
    }).join();
}

// ---- sequence numbers -----------------------------------------------------

TEST(ExchangeSequence, FreshCounterCountsFromTwo) {
    std::atomic<std::uint64_t> counter{1};
    EXPECT_EQ(plugin::nextSequence(counter, 0), 2u);
    EXPECT_EQ(plugin::nextSequence(counter, 2), 3u);
    EXPECT_EQ(plugin::nextSequence(counter, 3), 4u);
}

TEST(ExchangeSequence, NumbersRiseAboveAnEarlierProcess) {
    std::atomic<std::uint64_t> counter{1};
    EXPECT_EQ(plugin::nextSequence(counter, 100), 101u);
    EXPECT_EQ(counter.load(), 101u);
    // With no block (or a block at 0) the counter carries on from there.
    EXPECT_EQ(plugin::nextSequence(counter, 0), 102u);
    EXPECT_EQ(plugin::nextSequence(counter, 50), 103u);
}

TEST(ExchangeSequence, TopOfTheRangeNeverGivesZero) {
    std::atomic<std::uint64_t> counter{1};
    EXPECT_NE(plugin::nextSequence(counter, std::numeric_limits<std::uint64_t>::max()), 0u);
}

// ---- the block publish ----------------------------------------------------

TEST(ExchangePublish, BlockHeaderAndBufferAfterOnePublish) {
    HeapBlock block;
    const BlockView view = block.view();
    plugin::initialiseBlockHeader(view);
    const auto records = distinctRecords(1000);
    plugin::publishToBlock(view, records, 6.5f, 2);

    const std::byte* b = block.bytes();
    EXPECT_EQ(at<std::uint64_t>(b, 24), 2u);
    EXPECT_EQ(at<std::uint32_t>(b, 16), 1u);
    EXPECT_EQ(at<float>(b, 32), 6.5f);
    EXPECT_EQ(at<std::uint32_t>(b, 36), 1u);
    EXPECT_EQ(at<float>(b, 40), 0.4f);
    EXPECT_EQ(at<float>(b, 44), 0.5f);
    EXPECT_EQ(at<float>(b, 48), 0.0f);
    EXPECT_EQ(at<float>(b, 52), 0.13f);
    EXPECT_EQ(at<float>(b, 56), -0.4f);
    EXPECT_EQ(at<float>(b, 60), 0.4f);
    EXPECT_EQ(at<float>(b, 64), -0.4f);
    EXPECT_EQ(at<std::uint32_t>(b, 68), 0u);
    EXPECT_EQ(at<std::uint32_t>(b, 72), 1000u);
    EXPECT_EQ(std::memcmp(b + 32'000'096, records.data(), records.size() * 32), 0);
    EXPECT_EQ(at<float>(b, 32'000'096 + 32 * 999 + 12), records[999].r);
    EXPECT_EQ(at<float>(b, 96), 0.0f) << "buffer 0 untouched";
}

TEST(ExchangePublish, BuffersAlternateAndSequenceRises) {
    HeapBlock block;
    const BlockView view = block.view();
    plugin::initialiseBlockHeader(view);
    plugin::setOwner(view, 1, kThisProcess);
    std::atomic<std::uint64_t> counter{1};

    const std::uint32_t expectedBuffer[] = {1, 0, 1};
    for (int i = 0; i < 3; ++i) {
        const auto records = distinctRecords(10 + i, static_cast<float>(i));
        const auto result = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, {}, counter);
        EXPECT_TRUE(result.toBlock);
        EXPECT_EQ(result.sequence, static_cast<std::uint64_t>(2 + i));
        EXPECT_EQ(view.u64(off::sequence).load(), static_cast<std::uint64_t>(2 + i));
        const std::uint32_t active = view.u32(off::activeBuffer).load();
        EXPECT_EQ(active, expectedBuffer[i]);
        EXPECT_EQ(view.u32(active == 0 ? off::pointCount0 : off::pointCount1).load(), records.size());
        EXPECT_EQ(std::memcmp(view.buffer(active), records.data(), records.size() * 32), 0);
    }
}

TEST(ExchangePublish, SequenceFollowsTheBlockOfAnEarlierProcess) {
    HeapBlock block;
    const BlockView view = block.view();
    plugin::setOwner(view, 1, kThisProcess);
    view.u64(off::sequence).store(100);
    std::atomic<std::uint64_t> counter{1};
    const auto records = distinctRecords(3);
    EXPECT_EQ(plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, {}, counter).sequence, 101u);
    EXPECT_EQ(view.u64(off::sequence).load(), 101u);
}

TEST(ExchangePublish, NonOwnerDoesNothing) {
    HeapBlock block;
    const BlockView view = block.view();
    plugin::initialiseBlockHeader(view);
    plugin::setOwner(view, 1, kOtherProcess);
    view.u64(off::sequence).store(9);
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    std::atomic<std::uint64_t> counter{1};

    const auto records = distinctRecords(3);
    const auto result = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, folder.path(), counter);
    EXPECT_TRUE(result.skippedNotOwner);
    EXPECT_FALSE(result.toBlock);
    EXPECT_EQ(view.u64(off::sequence).load(), 9u);
    EXPECT_EQ(view.u32(off::activeBuffer).load(), 0u);
    EXPECT_EQ(counter.load(), 1u) << "no number taken";
    EXPECT_FALSE(platform::pathExists(folder.file("ov_points.bin")));
}

TEST(ExchangePublish, WithoutABlockOnlyTheFilesAreWritten) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    std::atomic<std::uint64_t> counter{1};
    const auto records = distinctRecords(3);
    const auto result = plugin::publishCloud(std::nullopt, 1, kThisProcess, records, 4.0f, folder.path(), counter);
    EXPECT_FALSE(result.toBlock);
    EXPECT_EQ(result.sequence, 2u) << "a number is taken all the same";
    EXPECT_TRUE(result.files.points && result.files.config && result.files.fallback);
    EXPECT_EQ(at<std::uint32_t>(readBytes(folder.file("ov_points.bin")), 0), 3u);
}

TEST(ExchangePublish, LargeCloudIsCutInTheBlockButWholeInTheFile) {
    HeapBlock block;
    const BlockView view = block.view();
    plugin::setOwner(view, 1, kThisProcess);
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    std::atomic<std::uint64_t> counter{1};

    const auto records = distinctRecords(1'200'000);
    const auto result = plugin::publishCloud(view, 1, kThisProcess, records, 4.0f, folder.path(), counter);
    ASSERT_TRUE(result.toBlock);
    EXPECT_EQ(view.u32(off::pointCount1).load(), 1'000'000u);
    EXPECT_EQ(std::memcmp(view.buffer(1), records.data(), 1'000'000 * 32), 0);

    ASSERT_TRUE(result.files.points);
    const auto file = readBytes(folder.file("ov_points.bin"));
    ASSERT_EQ(file.size(), 4u + 32u * 1'200'000u);
    EXPECT_EQ(at<std::uint32_t>(file, 0), 1'200'000u);
    EXPECT_EQ(std::memcmp(file.data() + 4, records.data(), records.size() * 32), 0);
}

// ---- the files ------------------------------------------------------------

TEST(ExchangeFiles, PointsConfigAndFallbackLayout) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    const std::vector<PointRecord> records = {record(0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f),
                                              record(-1.0f, 2.0f, 1.5f, 0.0f, 1.0f, 0.25f)};
    const auto written = plugin::writePointsFiles(folder.path(), records, 2.5f);
    EXPECT_TRUE(written.points && written.config && written.fallback);

    const auto points = readBytes(folder.file("ov_points.bin"));
    ASSERT_EQ(points.size(), 4u + 64u);
    EXPECT_EQ(at<std::uint32_t>(points, 0), 2u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::size_t r = 4 + 32 * i;
        EXPECT_EQ(at<float>(points, r + 0), records[i].x);
        EXPECT_EQ(at<float>(points, r + 4), records[i].y);
        EXPECT_EQ(at<float>(points, r + 8), records[i].z);
        EXPECT_EQ(at<float>(points, r + 12), records[i].r);
        EXPECT_EQ(at<float>(points, r + 16), records[i].g);
        EXPECT_EQ(at<float>(points, r + 20), records[i].b);
        EXPECT_EQ(at<std::uint64_t>(points, r + 24), 0u);
    }

    const auto config = readBytes(folder.file("ov_points_config.bin"));
    ASSERT_EQ(config.size(), 8u);
    EXPECT_EQ(at<float>(config, 0), 2.5f);
    EXPECT_EQ(at<std::uint32_t>(config, 4), 0u);

    EXPECT_EQ(readBytes(folder.file("Orvalis_points.bin")), points);
}

TEST(ExchangeFiles, NewPublishReplacesTheFiles) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    plugin::writePointsFiles(folder.path(), distinctRecords(50), 1.0f);
    plugin::writePointsFiles(folder.path(), distinctRecords(2), 3.0f);
    EXPECT_EQ(readBytes(folder.file("ov_points.bin")).size(), 4u + 64u);
    EXPECT_EQ(at<float>(readBytes(folder.file("ov_points_config.bin")), 0), 3.0f);
}

TEST(ExchangeFiles, EmptyCloudIsWrittenAsZeroCount) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    EXPECT_TRUE(plugin::writePointsFiles(folder.path(), {}, 1.0f).points);
    const auto points = readBytes(folder.file("ov_points.bin"));
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(at<std::uint32_t>(points, 0), 0u);
}

TEST(ExchangeFiles, UnwritableFolderIsSkipped) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    const auto records = distinctRecords(2);
    const auto missing = plugin::writePointsFiles(folder.file("no-such-folder/"), records, 1.0f);
    EXPECT_FALSE(missing.points || missing.config || missing.fallback);
    const auto none = plugin::writePointsFiles("", records, 1.0f);
    EXPECT_FALSE(none.points || none.config || none.fallback);
}

TEST(ExchangeFiles, FolderWithoutTrailingSeparator) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    const std::string bare = folder.path().substr(0, folder.path().size() - 1);
    EXPECT_TRUE(plugin::writePointsFiles(bare, distinctRecords(1), 1.0f).points);
    EXPECT_TRUE(platform::pathExists(folder.file("ov_points.bin")));
}

TEST(ExchangeFiles, ConfigNameReplacesTheExtension) {
    EXPECT_EQ(plugin::configFilePath("C:\\Users\\a.b\\AppData\\Local\\Temp\\ov_points.bin"),
              "C:\\Users\\a.b\\AppData\\Local\\Temp\\ov_points_config.bin");
    EXPECT_EQ(plugin::configFilePath("/tmp/a.b/ov_points.bin"), "/tmp/a.b/ov_points_config.bin");
    EXPECT_EQ(plugin::configFilePath("/tmp/x/cloud.tar.gz"), "/tmp/x/cloud.tar_config.bin");
    EXPECT_EQ(plugin::configFilePath("ov_points"), "ov_points_config.bin");
}

TEST(ExchangeFiles, ConfigNameNeverCutsInsideAFolder) {
    EXPECT_EQ(plugin::configFilePath("/tmp/a.b/ov_points"), "/tmp/a.b/ov_points_config.bin");
    EXPECT_EQ(plugin::configFilePath("C:\\a.b\\ov_points"), "C:\\a.b\\ov_points_config.bin");
}

}  // namespace
