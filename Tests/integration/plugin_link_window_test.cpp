// Launches while a viewer window is open: the button raises it instead of
// starting another, and a window counts as one running viewer. Needs a
// display (xvfb-run on Linux and for Wine).
#include "plugin_link_support.h"

namespace orvalis::plugin::testing {
namespace {

constexpr char kNoWindow[] = "the stand-in's window did not appear: these tests need a display (run under xvfb-run)";

class ViewerWindow : public StandInTest {
protected:
    // True once the stand-in's window exists; false at once when the
    // stand-in reported that it could not make one.
    bool windowAppears() {
        return waitUntil(
                   [this] { return findViewerWindow().has_value() || fs::exists(pluginFolder() / "no_window.txt"); }) &&
               findViewerWindow().has_value();
    }
};

TEST_F(ViewerWindow, OpenWindowIsRaisedNothingStartsAndItCountsOnce) {
    install(pluginFolder(), "window");
    press();
    ASSERT_TRUE(windowAppears()) << kNoWindow;
    EXPECT_EQ(starts(pluginFolder()), 1u);
    const std::string snapshot = lastLaunchSnapshot(launches);
    ASSERT_FALSE(snapshot.empty());
    int copies = 0;
    openViewer(
        launches,
        [&] {
            ++copies;
            return std::vector<exchange::PointRecord>{};
        },
        notifier, options);
    EXPECT_TRUE(waitUntil([&] { return fs::exists(pluginFolder() / "raised.txt"); }))
        << "the window was not asked to come to the front";
    EXPECT_EQ(copies, 0);
    EXPECT_EQ(lastLaunchSnapshot(launches), snapshot);  // no new snapshot either
    EXPECT_EQ(starts(pluginFolder()), 1u);
    EXPECT_EQ(listed(), 1u);
    EXPECT_TRUE(notifier.messages.empty());
    // The window counts once, with the handle and without it (as one
    // started elsewhere).
    EXPECT_EQ(countRunningViewers(launches), 1);
    closeLaunchedViewerHandles(launches);
    EXPECT_EQ(listed(), 0u);
    EXPECT_EQ(countRunningViewers(launches), 1);
}

}  // namespace
}  // namespace orvalis::plugin::testing
