// Window lookup by class: nothing found is an empty answer, with or without
// a display; raising a window that is not there does no harm. Finding and
// raising another process's window is the launcher's window test.
#include <orvalis/platform/window.h>

#include "platform_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace orvalis::platform;
using namespace orvalis::platform::testing;

TEST(FindWindow, UnknownClassGivesNothingAndRaisingNothingIsHarmless) {
    EXPECT_FALSE(findWindowByClass(uniqueName("OrvalisNoSuchClass")));
    EXPECT_FALSE(findWindowByClass(""));
    raiseWindow(WindowId{});
    raiseWindow(WindowId{0x7FFFF0});  // no such window: errors must be absorbed
}

#if !defined(_WIN32)
TEST(FindWindow, NoDisplayGivesNothing) {
    const ScopedEnv noDisplay("DISPLAY", nullptr);
    EXPECT_FALSE(findWindowByClass("OrvalisViewer"));
    raiseWindow(WindowId{0x7FFFF0});
}
#endif

}  // namespace
