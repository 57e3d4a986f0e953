// Named shared memory: sharing, creator detection, zeroing, lifetime (the
// block lives while any process holds it) and refusals.
#include <orvalis/platform/shared_memory.h>

#include "platform_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace orvalis::platform;
using namespace orvalis::platform::testing;

constexpr std::uint32_t kMarker = 0x4F52564Cu;  // the helper's "done" word

std::uint32_t word(const SharedMemory& block, std::size_t index) {
    return std::atomic_ref<std::uint32_t>(static_cast<std::uint32_t*>(block.data())[index])
        .load(std::memory_order_acquire);
}

#if defined(__linux__)
// Whether the system still has the block, asked directly.
bool systemHasBlock(const std::string& name) {
    const std::string full = "/" + name + "." + std::to_string(::geteuid());
    const int fd = ::shm_open(full.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}
#endif

TEST(SharedMemorySharing, OpenSeesTheCreatorsBytesAndRefusesWhatIsNotThere) {
    const std::string name = uniqueName();
    EXPECT_FALSE(SharedMemory::open(name, 4096)) << "no such block yet";
    auto first = SharedMemory::createOrOpen(name, 4096);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->created());
    EXPECT_EQ(first->size(), 4096u);
    std::memset(first->data(), 0x5A, 100);

    auto second = SharedMemory::open(name, 4096);
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->created());
    EXPECT_NE(first->data(), second->data());
    EXPECT_EQ(std::memcmp(first->data(), second->data(), 4096), 0);
    static_cast<unsigned char*>(second->data())[4095] = 0x7E;
    EXPECT_EQ(static_cast<unsigned char*>(first->data())[4095], 0x7E);
    EXPECT_FALSE(SharedMemory::open(name, 1 << 20)) << "larger than the block";
}

// The block lives while any holder has it and goes with the last. A helper
// whose environment names another temporary folder finds our block, sees
// our bytes, and still counts: the block is not removed under it when we
// let go.
TEST(SharedMemoryAcrossProcesses, AHolderWithAnotherTemporaryFolderKeepsTheBlock) {
    const std::string name = uniqueName();
    ScratchFolder scratch;
    ScratchFolder otherTemp;
    auto block = SharedMemory::createOrOpen(name, 4096);
    ASSERT_TRUE(block);
    static_cast<std::uint32_t*>(block->data())[3] = 0xC0FFEEu;
    std::unique_ptr<ChildProcess> helper;
    {
        const std::string other = otherTemp.str();
        const ScopedEnv a("TMPDIR", other.c_str()), b("XDG_RUNTIME_DIR", other.c_str()), c("TEMP", other.c_str()),
            d("TMP", other.c_str());
        helper = startHelper("shm", scratch.file("stop"), name, 4096);
    }
    ASSERT_TRUE(helper);
    ASSERT_TRUE(eventually([&] { return word(*block, 0) == kMarker || !helper->isRunning(); }));
    ASSERT_EQ(word(*block, 0), kMarker);
    EXPECT_EQ(word(*block, 1), 2u) << "the helper must not count as creator";
    EXPECT_EQ(word(*block, 2), 0xC0FFEEu);

    block.reset();
#if defined(__linux__)
    EXPECT_TRUE(systemHasBlock(name)) << "the block was removed under a holder";
#endif
    auto again = SharedMemory::open(name, 4096);
    ASSERT_TRUE(again);
    EXPECT_EQ(word(*again, 0), kMarker);
    again.reset();

    touch(scratch.file("stop"));
    EXPECT_EQ(exitCode(*helper), 0);
    EXPECT_FALSE(SharedMemory::open(name, 4096)) << "the last holder's leaving frees it";
}

#if defined(__linux__)
// What another user would be allowed: nothing, for the block and its guard.
TEST(SharedMemoryPrivacy, BlockAndGuardAreOpenToTheUserAlone) {
    const std::string name = uniqueName();
    auto block = SharedMemory::createOrOpen(name, 4096);
    ASSERT_TRUE(block);
    const std::string stem = "/dev/shm/" + name + "." + std::to_string(::geteuid());
    for (const std::string& path : {stem, stem + ".guard"}) {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
        EXPECT_EQ(st.st_uid, ::geteuid()) << path;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
    }
}
#endif

TEST(SharedMemoryProcesses, LiveAndGoneProcessesAreToldApart) {
    EXPECT_TRUE(processAlive(currentProcessId()));
    EXPECT_FALSE(processAlive(0));
    auto helper = startHelper("exit2");
    ASSERT_TRUE(helper);
    const std::uint32_t id = helper->id();
    ASSERT_TRUE(exitCode(*helper));
    helper.reset();
    EXPECT_FALSE(processAlive(id)) << "an ended (and reaped) child still counts as running";
    const std::int64_t before = machineMonotonicMilliseconds();
    EXPECT_GT(before, 0);
    EXPECT_TRUE(eventually([&] { return machineMonotonicMilliseconds() > before; }));
}

TEST(SharedMemoryAcrossProcesses, BlockOfACrashedHolderIsMadeAfresh) {
    const std::string name = uniqueName();
    auto helper = startHelper("shm-abandon", {}, name, 4096);
    ASSERT_TRUE(helper);
    ASSERT_EQ(exitCode(*helper), 0);
#if defined(__linux__)
    // Nothing let go of it: the system still has the block.
    EXPECT_TRUE(systemHasBlock(name));
#endif
    // With no live holder it counts as gone, as on Windows.
    EXPECT_FALSE(SharedMemory::open(name, 4096));
    auto block = SharedMemory::createOrOpen(name, 4096);
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->created());
    const auto* bytes = static_cast<const unsigned char*>(block->data());
    EXPECT_TRUE(std::all_of(bytes, bytes + block->size(), [](unsigned char b) { return b == 0; }));
}

// With a holder throughout, no thread makes the block anew; with none, every
// leaving holder may be the last, and the last leaves nothing behind.
TEST(SharedMemoryThreads, HoldersComingAndGoingNeverSplitTheBlock) {
    const std::string name = uniqueName();
    std::atomic<int> failures{0}, creators{0};
    const auto race = [&](bool alternate) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 60; ++i) {
                    auto block = (alternate && i % 2 == 1) ? SharedMemory::open(name, 4096)
                                                           : SharedMemory::createOrOpen(name, 4096);
                    if (!block) {
                        ++failures;
                        continue;
                    }
                    creators += block->created() ? 1 : 0;
                    std::atomic_ref<std::uint32_t>(*static_cast<std::uint32_t*>(block->data())).fetch_add(1);
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
    };
    auto anchor = SharedMemory::createOrOpen(name, 4096);
    ASSERT_TRUE(anchor);
    race(true);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(creators.load(), 0);
    EXPECT_EQ(word(*anchor, 0), 6u * 60u);
    anchor.reset();
    race(false);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_FALSE(SharedMemory::open(name, 4096));
#if defined(__linux__)
    EXPECT_FALSE(systemHasBlock(name));
#endif
}

}  // namespace
