// Helpers for the tests that launch the stand-in viewer: scratch folders
// holding copies of it under the viewer's name, a recording notifier, and a
// clean-up that stops every copy a test started.
#pragma once

#include "link/launcher.h"
#include "Tests/support/beside_program.h"
#include "Tests/support/file_text.h"
#include "Tests/support/launcher_notifier.h"
#include "Tests/support/polling.h"
#include "Tests/support/scratch_folder.h"

#include <orvalis/platform/c_runtime.h>
#include <orvalis/platform/paths.h>
#include <orvalis/platform/process.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace orvalis::plugin::testing {

namespace fs = std::filesystem;

using test_support::Message;
using test_support::RecordingNotifier;

// The stand-in is built beside the test program.
inline fs::path fakeViewerProgram() {
    return fs::path(test_support::besideThisProgram("fake_viewer" + std::string(platform::executableSuffix())));
}

inline bool waitUntil(const std::function<bool()>& done) {
    return test_support::eventually(done, std::chrono::seconds(20), std::chrono::milliseconds(20));
}

// A scratch folder with the plug-in module at plugin/Orvalis.ofx; copies of
// the stand-in go into folders below it. Tear-down stops every copy.
class StandInTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(pluginFolder());
        ASSERT_TRUE(fs::exists(fakeViewerProgram())) << fakeViewerProgram();
        ASSERT_FALSE(findViewerWindow()) << "a viewer window is already open";
        options.moduleFilePath = (pluginFolder() / "Orvalis.ofx").string();
    }

    void TearDown() override {
        for (const fs::path& folder : installed_) {
            std::ofstream(folder / "stop") << "stop";
        }
        EXPECT_TRUE(waitUntil([this] {
            std::size_t left = 0;
            for (const fs::path& folder : installed_) {
                left += alive(folder);
            }
            return left == 0 && countRunningViewers(launches) == 0;
        })) << "a stand-in did not stop";
        if (const std::string left = lastLaunchSnapshot(launches); !left.empty()) {
            platform::removeFile(left);
        }
    }

    fs::path pluginFolder() const { return root_.path() / "plugin"; }

    // Copies the stand-in into `folder` under the viewer's name.
    void install(const fs::path& folder, const std::string& mode) {
        fs::create_directories(folder);
        const fs::path target = folder / viewerExecutableName();
        fs::copy_file(fakeViewerProgram(), target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
        std::ofstream(folder / "fake_viewer_mode.txt") << mode;
        installed_.push_back(folder);
    }

    static std::size_t starts(const fs::path& folder) {
        return std::ranges::count(test_support::fileText(folder / "starts.txt"), '\n');
    }

    // Copies of the stand-in in `folder` that run now.
    static std::size_t alive(const fs::path& folder) {
        std::size_t n = 0;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            n += entry.path().filename().string().starts_with("alive-") ? 1 : 0;
        }
        return n;
    }

    std::size_t listed() {
        std::lock_guard lock(launches.launchMutex);
        return launches.launchedViewers.size();
    }

    void press() { openViewer(launches, nullptr, notifier, options); }

    LaunchState launches;
    RecordingNotifier notifier;
    LaunchOptions options;

private:
    test_support::ScratchFolder root_{"orvalis-viewer-test"};
    std::vector<fs::path> installed_;
};

}  // namespace orvalis::plugin::testing
