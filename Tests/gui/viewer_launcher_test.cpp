// The plug-in's launcher starting the real viewer on a machine whose
// OpenGL is too old: the viewer's early exit becomes the launcher's message.
#include <cstdlib>

#include "Tests/support/launcher_notifier.h"
#include "gui_support.h"
#include "link/launcher.h"

namespace gui_test {
namespace {

using ViewerLauncher = ViewerTest;

TEST_F(ViewerLauncher, ReportsTheOpenGlMessageForTheRealViewer) {
    usePrivateFolders(scratch_);  // the viewer inherits them
    ::setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 1);

    test_support::RecordingNotifier notifier;
    orvalis::plugin::LaunchState launches;
    // A long watch: a slow start must not pass for a viewer that runs.
    orvalis::plugin::launchViewer(launches, programs_.viewer, notifier, std::chrono::seconds(60));
    ::unsetenv("MESA_GL_VERSION_OVERRIDE");

    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].title, "Orvalis - OpenGL 3.0+ Required");
    EXPECT_EQ(notifier.messages[0].icon, orvalis::platform::MessageIcon::Error);
    EXPECT_EQ(orvalis::plugin::countRunningViewers(launches), 0);
}

}  // namespace
}  // namespace gui_test
