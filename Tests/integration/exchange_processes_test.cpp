// Host processes and viewers that come, go and crash around one shared
// block: its header made once, one writer at a time, never a mixed cloud,
// and whoever is left carries on. A reader here follows the block exactly as
// the viewer does.
#include "plugin_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <mutex>
#include <vector>

#include "block_follower.h"
#include "exchange_colours.h"
#include "orvalis/platform/paths.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace plugin_test;
namespace viewer = orvalis::viewer;
using Ms = std::chrono::milliseconds;

namespace {

constexpr Ms kDeadline{60'000};

// A host or viewer process of the helper program. A host is given a stop
// file, which stop() makes (and then waits for the host's end).
class Process : public test_support::StartedProgram {
public:
    explicit Process(const std::vector<std::string>& args, std::string stopFile = {})
        : StartedProgram(test_support::besideThisProgram(EXCHANGE_HOST), args), stopFile_(std::move(stopFile)) {}
    std::optional<int> stop() {
        std::ofstream(stopFile_) << "stop";
        const std::optional<int> code = wait(kDeadline);
        std::filesystem::remove(stopFile_);
        return code;
    }

private:
    std::string stopFile_;
};

struct HostRun {
    int colour;
    const char* size = "640x360";
    const char* depth = "8";
    int downsample = 2;
    int lifetimeMs = 60'000;
};

std::unique_ptr<Process> startHost(const HostRun& h) {
    const std::string stop = orvalis::platform::tempFolder() + "stop-" + std::to_string(h.colour);
    std::filesystem::remove(stop);
    const std::vector<std::string> args{"host", bundlePath(), std::to_string(h.lifetimeMs), std::to_string(h.colour),
                                        h.size, h.depth,      std::to_string(h.downsample), stop};
    auto p = std::make_unique<Process>(args, stop);
    EXPECT_TRUE(p->started());
    return p;
}

// Holds the block as a viewer does (made here if no host has it yet) and
// follows it, keeping what it saw: mixed clouds, and the colours of the
// clouds taken, one entry per change of host.
class Follower {
public:
    Follower() {
        if (memory_)
            follower_.emplace(
                view(), [this](const viewer::IntakeState& state) { took(state); }, Ms(1));
    }
    bool attached() const { return memory_ != nullptr; }
    BlockView view() const { return BlockView(memory_->data()); }
    int regressions() const { return follower_ ? follower_->regressions() : 0; }
    int mixed() const { return takenOf(exchange_colours::kMixed); }
    int takenOf(int colour) const {
        std::lock_guard lock(mutex_);
        return taken_.contains(colour) ? taken_.at(colour) : 0;
    }
    std::vector<int> runs() const {
        std::lock_guard lock(mutex_);
        return runs_;
    }

private:
    void took(const viewer::IntakeState& state) {
        const int colour = exchange_colours::colourOf(state.points);
        std::lock_guard lock(mutex_);
        ++taken_[colour];
        if (runs_.empty() || runs_.back() != colour)
            runs_.push_back(colour);
    }

    const std::unique_ptr<orvalis::platform::SharedMemory> memory_ =
        orvalis::platform::SharedMemory::createOrOpen(orvalis::exchange::kBlockName, orvalis::exchange::kBlockSize);
    mutable std::mutex mutex_;
    std::map<int, int> taken_;
    std::vector<int> runs_;
    std::optional<BlockFollower> follower_;  // last: stops before the rest goes
};

}  // namespace

// The first instance anywhere writes the creator values once; every
// instance in every process counts itself in and out of pluginCount.
TEST(ExchangeProcesses, CreatorValuesOnceAndPluginCountAcrossProcesses) {
    ASSERT_FALSE(BlockReader().attached()) << "another holder of the shared block is running";
    auto first = newInstance();
    BlockReader block;
    ASSERT_TRUE(first && block.attached());
    const BlockView view = block.view();
    // A creator's value (all of them are the writer unit test's).
    EXPECT_EQ(view.f32(off::pointSize).load(), 1.0f);
    EXPECT_EQ(block.pluginCount(), 1u);

    // A marker a second creator would overwrite.
    view.f32(off::pointSize).store(9.25f);
    auto holder = startHost({-1});
    EXPECT_TRUE(waitFor([&] { return block.pluginCount() == 2u; }, kDeadline))
        << "the second process did not make its instance";
    EXPECT_EQ(view.f32(off::pointSize).load(), 9.25f) << "the second process must not re-initialise the header";
    EXPECT_EQ(holder->stop(), 0);
    EXPECT_EQ(block.pluginCount(), 1u);
    first.reset();
    EXPECT_EQ(block.pluginCount(), 0u);
}

// Hosts start two at a time while earlier ones still render and stop,
// with frames of different sizes, depths and caps.
TEST(ExchangeProcesses, ChurningHostsNeverMixACloud) {
    Follower follower;
    ASSERT_TRUE(follower.attached());
    // ORVALIS_CHURN_PAIRS gives the long run at full scale: that many pairs,
    // all 1280x720, 8-bit and float.
    const char* longRun = std::getenv("ORVALIS_CHURN_PAIRS");
    const int kPairs = longRun != nullptr ? std::max(2, std::atoi(longRun)) : 8;
    const char* sizes[] = {"1280x720", longRun ? "1280x720" : "960x540", longRun ? "1280x720" : "640x360"};
    const char* depths[] = {"8", "float", longRun ? "8" : "16"};
    std::vector<std::unique_ptr<Process>> hosts;
    for (int pair = 0; pair < kPairs; ++pair) {
        // A pair starts once the pair before the last has stopped, so two
        // pairs overlap: one stopping while the next starts.
        if (pair >= 2) {
            for (int k = 0; k < 2; ++k) {
                EXPECT_EQ(hosts[2 * (pair - 2) + k]->wait(kDeadline), 0);
            }
        }
        for (int k = 0; k < 2; ++k) {
            const int n = 2 * pair + k;
            hosts.push_back(startHost({n % 15, sizes[n % 3], depths[(n / 2) % 3], n % 5, 1200 + 300 * k}));
        }
    }
    for (auto& host : hosts) {
        EXPECT_EQ(host->wait(kDeadline), 0);
    }
    std::cout << "changes of host: " << follower.runs().size() - 1 << ", mixed: " << follower.mixed()
              << ", sequence regressions: " << follower.regressions() << "\n";
    EXPECT_EQ(follower.mixed(), 0);
    EXPECT_EQ(follower.regressions(), 0);
    EXPECT_GE(follower.runs().size(), static_cast<std::size_t>(kPairs / 2)) << "the reader followed the hosts";
}

// Two hosts render side by side: the block stays with the first until it
// stops, then goes to the other.
TEST(ExchangeProcesses, TwoSteadyHostsTakeTurnsOnlyWhenOneStops) {
    Follower follower;
    ASSERT_TRUE(follower.attached());
    auto first = startHost({3});
    ASSERT_TRUE(waitFor([&] { return follower.takenOf(3) > 0; }, kDeadline));
    auto second = startHost({4, "640x360", "float", 1});
    // Both render for a good while; then the first stops.
    const int before = follower.takenOf(3);
    ASSERT_TRUE(waitFor([&] { return follower.takenOf(3) > before + 60; }, kDeadline));
    EXPECT_EQ(first->stop(), 0);
    EXPECT_TRUE(waitFor([&] { return follower.takenOf(4) > 10; }, kDeadline)) << "the second host was not followed";
    second->kill();
    EXPECT_EQ(follower.runs(), (std::vector<int>{3, 4}));
    EXPECT_EQ(follower.mixed(), 0);
}

// A host killed while it publishes in a loop: the reader keeps a whole
// cloud and follows the next host.
TEST(ExchangeProcesses, HostKilledWhilePublishing) {
    Follower follower;
    ASSERT_TRUE(follower.attached());
    auto first = startHost({5, "1280x720", "float", 0});
    ASSERT_TRUE(waitFor([&] { return follower.takenOf(5) > 5; }, kDeadline));
    first->kill();
    ASSERT_TRUE(first->wait(kDeadline).has_value());
    EXPECT_EQ(follower.runs().back(), 5) << "the reader keeps the last whole cloud";

    auto next = startHost({6});
    EXPECT_TRUE(waitFor([&] { return follower.takenOf(6) > 0; }, kDeadline)) << "the next host was not followed";
    EXPECT_EQ(follower.mixed(), 0);
    EXPECT_EQ(follower.regressions(), 0);
}

// A viewer killed while attached: the host goes on publishing, and the next
// viewer attaches and takes the current cloud.
TEST(ExchangeProcesses, ViewerKilledWhileAttached) {
    Follower follower;
    ASSERT_TRUE(follower.attached());
    const BlockView view = follower.view();
    auto host = startHost({7});
    ASSERT_TRUE(waitFor([&] { return follower.takenOf(7) > 0; }, kDeadline));
    {
        Process viewerProcess({"view", "-1", "60000"});
        ASSERT_TRUE(waitFor([&] { return view.u32(off::viewerAttached).load() == 1; }, kDeadline));
        viewerProcess.kill();
        ASSERT_TRUE(viewerProcess.wait(kDeadline).has_value());
    }
    EXPECT_EQ(view.u32(off::viewerAttached).load(), 1u) << "a killed viewer leaves its flag";
    const int atKill = follower.takenOf(7);
    EXPECT_TRUE(waitFor([&] { return follower.takenOf(7) > atKill + 30; }, kDeadline)) << "the host stopped publishing";
    Process nextViewer({"view", "7", "60000"});
    EXPECT_EQ(nextViewer.wait(kDeadline), 0);
}

#ifndef _WIN32
// A host killed while it alone holds the block leaves it behind; the next
// host makes it afresh and a viewer started afterwards sees its clouds.
TEST(ExchangeProcesses, HostKilledHoldingTheBlock) {
    const std::string pointsFile = orvalis::platform::tempFolder() + orvalis::exchange::kPointsFileName;
    std::filesystem::remove(pointsFile);
    auto first = startHost({8});
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(pointsFile); }, kDeadline));
    first->kill();
    ASSERT_TRUE(first->wait(kDeadline).has_value());  // its block stays behind (the platform unit test's)
    auto next = startHost({9});
    Process viewerProcess({"view", "9", "60000"});
    EXPECT_EQ(viewerProcess.wait(kDeadline), 0) << "the viewer did not see the next host's clouds";
    {
        BlockReader block;
        ASSERT_TRUE(block.attached());
        EXPECT_EQ(block.pluginCount(), 1u) << "the leftover block (counting the killed host) was not replaced";
    }
    EXPECT_EQ(next->stop(), 0);
}
#endif

#ifndef _WIN32
// What another user could open of the files a host leaves: nothing. The
// points, config and fallback files are 0600; the log is shut off by its file
// or by its folder. (The block's and the private folder's modes are the
// platform unit tests'.)
TEST(ExchangeProcesses, AnotherUserCanOpenNothing) {
    const std::string folder = orvalis::platform::tempFolder();
    auto host = startHost({10});
    const std::string points = folder + orvalis::exchange::kPointsFileName;
    std::filesystem::remove(points);
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(points); }, kDeadline));

    auto mode = [](const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        EXPECT_EQ(st.st_uid, ::geteuid()) << path;
        return st.st_mode & 0777;
    };
    for (const char* name : {orvalis::exchange::kPointsFileName, orvalis::exchange::kConfigFileName,
                             orvalis::exchange::kFallbackFileName}) {
        EXPECT_EQ(mode(folder + name), 0600u) << name;
    }
    const std::string logFolder = orvalis::platform::appDataFolder() + "/Orvalis";
    bool logSeen = false;
    for (const auto& entry : std::filesystem::directory_iterator(logFolder)) {
        logSeen = true;
        const bool fileShut = (mode(entry.path().string()) & 0077) == 0;
        const bool folderShut = (mode(logFolder) & 0011) == 0;
        EXPECT_TRUE(fileShut || folderShut) << entry.path() << " can be read by another user";
    }
    EXPECT_TRUE(logSeen) << "no log in " << logFolder;
    EXPECT_EQ(host->stop(), 0);
}
#endif
