// Launches of the stand-in viewer that need no window: early exits and the
// limit of two (the search order is the launcher unit test's).
#include "plugin_link_support.h"

#include <atomic>
#include <thread>

namespace orvalis::plugin::testing {
namespace {

using namespace std::chrono_literals;

// The early-exit cases use a long grace, so a slow process start (Wine)
// cannot turn "ended at once" into "still running".
constexpr std::chrono::milliseconds kPatientGrace = 30s;

using EarlyExit = StandInTest;

// Code 2 is a machine without OpenGL 3.0: one message; code 0 is silent.
TEST_F(EarlyExit, CodeTwoShowsTheOpenGlMessageOnceCodeZeroNothing) {
    install(pluginFolder() / "exit2", "exit2");
    install(pluginFolder() / "exit0", "exit0");
    options.grace = kPatientGrace;
    for (const char* code : {"exit2", "exit0"}) {
        SCOPED_TRACE(code);
        options.moduleFilePath = (pluginFolder() / code / "Orvalis.ofx").string();
        press();
        EXPECT_EQ(starts(pluginFolder() / code), 1u);
        EXPECT_EQ(listed(), 0u);
        EXPECT_EQ(countRunningViewers(launches), 0);
    }
    ASSERT_EQ(notifier.messages.size(), 1u);
    const Message& m = notifier.messages[0];
    EXPECT_EQ(m.title, "Orvalis - OpenGL 3.0+ Required");
    EXPECT_EQ(m.icon, platform::MessageIcon::Error);
    EXPECT_EQ(m.text,
              "The 3D Visualizer requires OpenGL 3.0 or above.\n\nYour GPU drivers may be out of "
              "date or your hardware may not support the required OpenGL version.\n\nPlease "
              "update your GPU drivers from the manufacturer's website.");
}

using Limit = StandInTest;

TEST_F(Limit, ThirdPressWhileTwoRunShowsTheLimit) {
    install(pluginFolder(), "stay");  // no window, so every press launches
    // The status line counts from the worker thread while the button runs.
    std::atomic<bool> done{false};
    std::atomic<int> most{0};
    std::jthread counter([&] {
        while (!done) {
            const int n = countRunningViewers(launches);
            if (n > most) {
                most = n;
            }
        }
    });
    press();
    press();
    done = true;
    counter.join();
    EXPECT_LE(most.load(), 2);
    ASSERT_TRUE(notifier.messages.empty());
    ASSERT_EQ(listed(), 2u);
    EXPECT_EQ(countRunningViewers(launches), 2);
    press();
    ASSERT_EQ(notifier.messages.size(), 1u);
    const Message& m = notifier.messages[0];
    EXPECT_EQ(m.text,
              "Maximum of 2 viewer instances allowed. Currently running: 2\n\n"
              "Close an existing viewer to open a new one.");
    EXPECT_EQ(m.title, "Orvalis - Viewer Limit");
    EXPECT_EQ(m.icon, platform::MessageIcon::Information);
    EXPECT_EQ(listed(), 2u);
    EXPECT_TRUE(waitUntil([&] { return starts(pluginFolder()) >= 2; }));
    EXPECT_EQ(starts(pluginFolder()), 2u);
}

TEST_F(Limit, ViewersThatEndedAreDroppedFromTheCount) {
    install(pluginFolder(), "stay");
    press();
    ASSERT_EQ(listed(), 1u);
    std::ofstream(pluginFolder() / "stop") << "stop";
    EXPECT_TRUE(waitUntil([this] { return countRunningViewers(launches) == 0; }));
    EXPECT_EQ(listed(), 0u);
}

TEST_F(Limit, ClosingTheHandlesLeavesTheViewersRunning) {
    install(pluginFolder(), "stay");
    press();
    ASSERT_EQ(listed(), 1u);
    ASSERT_TRUE(waitUntil([&] { return alive(pluginFolder()) == 1; }));
    closeLaunchedViewerHandles(launches);
    EXPECT_EQ(listed(), 0u);
    EXPECT_EQ(countRunningViewers(launches), 0);  // without a window no longer seen
    EXPECT_EQ(alive(pluginFolder()), 1u);         // but still running
}

}  // namespace
}  // namespace orvalis::plugin::testing
