// Window lookup by class: nothing found is an empty answer, with or without
// a display; raising a window that is not there does no harm.
#include <orvalis/platform/window.h>

#include "platform_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

using namespace orvalis::platform;
using namespace orvalis::platform::testing;

TEST(FindWindow, UnknownClassGivesNothing) {
    EXPECT_FALSE(findWindowByClass(uniqueName("OrvalisNoSuchClass")));
    EXPECT_FALSE(findWindowByClass(""));
}

TEST(FindWindow, RaisingAMissingWindowIsHarmless) {
    raiseWindow(WindowId{});
    raiseWindow(WindowId{0x7FFFF0});  // no such window: errors must be absorbed
    SUCCEED();
}

TEST(FindWindow, FindsAWindowOfAnotherProcessByClass) {
    ScratchFolder scratch;
    const std::string className = uniqueName("OrvalisTestViewer");
    setEnv("ORVALIS_HELPER_CLASS", className);
    setEnv("ORVALIS_HELPER_FILE", scratch.file("stop"));
    int error = 0;
    auto helper = ChildProcess::start(helperPath("platform_helper_window"), error);
    ASSERT_TRUE(helper) << "error " << error;

    std::optional<WindowId> found;
    const bool appeared = eventually(
        [&] {
            found = findWindowByClass(className);
            return found.has_value() || !helper->isRunning();
        },
        std::chrono::seconds(30), std::chrono::milliseconds(50));
    int code = -1;
    code = -1;
    if (!found && helper->waitForExit(std::chrono::milliseconds(0), code) && code == 5)
        GTEST_SKIP() << "no display to show a window on (helper exit " << code << ")";
    ASSERT_TRUE(appeared);
    ASSERT_TRUE(found.has_value());
    EXPECT_NE(found->value, 0u);
    EXPECT_FALSE(findWindowByClass(className + "x"));
    raiseWindow(*found);  // restores the minimised window; must not disturb it
    EXPECT_TRUE(helper->isRunning());
    EXPECT_EQ(findWindowByClass(className).value_or(WindowId{}).value, found->value);

    touch(scratch.file("stop"));
    ASSERT_TRUE(helper->waitForExit(std::chrono::seconds(30), code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(eventually([&] { return !findWindowByClass(className); }, std::chrono::seconds(30),
                           std::chrono::milliseconds(50)));
}

#if !defined(_WIN32)
TEST(FindWindow, NoDisplayGivesNothing) {
    std::optional<std::string> saved;
    if (const char* v = std::getenv("DISPLAY"))
        saved = v;
    unsetEnv("DISPLAY");
    EXPECT_FALSE(findWindowByClass("OrvalisViewer"));
    raiseWindow(WindowId{0x7FFFF0});
    if (saved)
        setEnv("DISPLAY", *saved);
}
#endif

}  // namespace
