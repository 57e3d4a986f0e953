// The launcher's search list, its snapshot and the launches that fail before
// a viewer runs.
#include "link/launcher.h"
#include "Tests/support/launcher_notifier.h"

#include <orvalis/platform/paths.h>

#include <gtest/gtest.h>

#include "Tests/support/file_text.h"
#include "Tests/support/scratch_folder.h"
#include "exchange_support.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvalis::plugin {
namespace {

namespace fs = std::filesystem;
using exchange::PointRecord;

using test_support::fileText;
using test_support::ScratchFolder;

// Runs the test from another current directory, where the bare name is
// looked up.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& path) : saved_(fs::current_path()) { fs::current_path(path); }
    ~CurrentDirectory() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

using test_support::Message;
using test_support::RecordingNotifier;

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "stand-in";
}

const std::string kExe = viewerExecutableName();

// The module lies three folders down, so every entry of the list has room;
// the scratch folder is the current directory.
class LocateViewer : public ::testing::Test {
protected:
    LocateViewer() { fs::create_directories(b / "c"); }
    ScratchFolder scratch;
    CurrentDirectory cwd{scratch.path()};
    fs::path a = scratch.path() / "a";
    fs::path b = a / "b";
    fs::path module = b / "c" / "Orvalis.ofx";
    std::string base = (b / "c").string();
    std::string sep = std::string(1, platform::pathSeparator());
};

TEST_F(LocateViewer, EarlierEntriesWin) {
    // Filled from the last entry to the first; each new one takes over.
    const std::vector<std::pair<fs::path, std::string>> entries = {
        {a / "Viewer" / "Debug" / kExe, base + sep + ".." + sep + ".." + sep + "Viewer" + sep + "Debug" + sep + kExe},
        {a / "Viewer" / "Release" / kExe,
         base + sep + ".." + sep + ".." + sep + "Viewer" + sep + "Release" + sep + kExe},
        {b / "Viewer" / kExe, base + sep + ".." + sep + "Viewer" + sep + kExe},
        {b / kExe, base + sep + ".." + sep + kExe},
        {b / "c" / kExe, base + sep + kExe},
    };
    EXPECT_FALSE(locateViewerExe(module.string()));
    for (const auto& [file, expected] : entries) {
        touch(file);
        const std::optional<std::string> found = locateViewerExe(module.string());
        ASSERT_TRUE(found) << file;
        EXPECT_EQ(*found, expected);
        EXPECT_TRUE(fs::equivalent(fs::path(*found), file));
    }
}

TEST_F(LocateViewer, BareNameInTheCurrentDirectoryIsTheLastResort) {
    EXPECT_FALSE(locateViewerExe(module.string()));
    touch(scratch.path() / kExe);
    EXPECT_EQ(locateViewerExe(module.string()), kExe);
    EXPECT_EQ(locateViewerExe(""), kExe);  // module unknown
    touch(b / kExe);
    EXPECT_NE(locateViewerExe(module.string()), kExe);
}

TEST(LaunchSnapshot, CountThenRecordsAndOnlyTheNewestRemains) {
    LaunchState state;
    EXPECT_EQ(lastLaunchSnapshot(state), "");
    const std::vector<PointRecord> records = exchange_test::distinctRecords(3);
    const std::string first = writeLaunchSnapshot(state, records);
    ASSERT_FALSE(first.empty());
    const std::string name = fs::path(first).filename().string();
    EXPECT_EQ(name.rfind("qvt", 0), 0u) << name;
    EXPECT_TRUE(name.ends_with(".tmp")) << name;
    EXPECT_EQ(first.rfind(platform::tempFolder(), 0), 0u);
    exchange_test::expectPointsFile(fileText(first), records);
    EXPECT_EQ(lastLaunchSnapshot(state), first);

    const std::string second = writeLaunchSnapshot(state, {});  // an empty cloud: count 0
    ASSERT_FALSE(second.empty());
    EXPECT_FALSE(fs::exists(fs::path(first)));
    exchange_test::expectPointsFile(fileText(second), {});
    EXPECT_EQ(lastLaunchSnapshot(state), second);
    platform::removeFile(second);
}

class FailedLaunch : public LocateViewer {
protected:
    void SetUp() override { ASSERT_FALSE(findViewerWindow()) << "a viewer window is open; these tests need none"; }
    void TearDown() override {
        if (const std::string left = lastLaunchSnapshot(state); !left.empty()) {
            platform::removeFile(left);
        }
    }
    LaunchState state;
    RecordingNotifier notifier;
    LaunchOptions options{module.string()};
};

TEST_F(FailedLaunch, NotFoundAfterTheSnapshotWasWritten) {
    const std::vector<PointRecord> records = exchange_test::distinctRecords(5);
    int copies = 0;
    openViewer(
        state,
        [&] {
            ++copies;
            return records;
        },
        notifier, options);
    EXPECT_EQ(copies, 1);
    ASSERT_EQ(notifier.messages.size(), 1u);
#if defined(_WIN32)
    EXPECT_EQ(notifier.messages[0].text, "Vantorel.exe not found");
#else
    EXPECT_EQ(notifier.messages[0].text, "Vantorel not found");  // the file it looked for
#endif
    EXPECT_EQ(notifier.messages[0].title, "Orvalis");
    EXPECT_EQ(notifier.messages[0].icon, platform::MessageIcon::Error);
    exchange_test::expectPointsFile(fileText(lastLaunchSnapshot(state)), records);
}

TEST_F(FailedLaunch, StartFailureNamesPathAndSystemError) {
    fs::create_directories(b / "c" / kExe);  // found, but a folder cannot run
    openViewer(state, nullptr, notifier, options);
    ASSERT_EQ(notifier.messages.size(), 1u);
    const Message& m = notifier.messages[0];
    EXPECT_EQ(m.title, "Orvalis");
    EXPECT_EQ(m.icon, platform::MessageIcon::Error);
    const std::string head = "Failed to launch viewer: " + base + sep + kExe + "\nError ";
    ASSERT_EQ(m.text.rfind(head, 0), 0u) << m.text;
    const std::string rest = m.text.substr(head.size());
    const std::size_t colon = rest.find(": ");
    ASSERT_NE(colon, std::string::npos) << m.text;
    const int error = std::stoi(rest.substr(0, colon));
    EXPECT_NE(error, 0);
    EXPECT_EQ(rest.substr(colon + 2), platform::systemErrorText(error));
    EXPECT_EQ(countRunningViewers(state), 0);
}

}  // namespace
}  // namespace orvalis::plugin
