// The shell rules that a window system without timers, cross-thread
// invalidation or double clicks leaves to the viewer: redraw pacing, the
// intake thread's wakes, the double click that starts no drag, wheel steps.
#include "app/shell_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

namespace orvalis::viewer {
namespace {

constexpr std::int64_t kMs = 1'000'000;

TEST(ViewerShellPacing, RedrawsEvery8AndRequestsEvery16Ms) {
    RedrawPacer pacer(0);
    EXPECT_EQ(pacer.waitNanoseconds(0), 8 * kMs);
    EXPECT_FALSE(pacer.poll(7 * kMs).redraw);

    auto due = pacer.poll(8 * kMs);
    EXPECT_TRUE(due.redraw);
    EXPECT_FALSE(due.requestRedraw);
    EXPECT_EQ(pacer.waitNanoseconds(9 * kMs), 7 * kMs);

    due = pacer.poll(16 * kMs);
    EXPECT_TRUE(due.redraw);
    EXPECT_TRUE(due.requestRedraw);
    EXPECT_FALSE(pacer.poll(16 * kMs).redraw);  // each period fires once
}

TEST(ViewerShellPacing, ALateLoopFiresOnceAndRunsOnFromThen) {
    RedrawPacer pacer(0);
    EXPECT_EQ(pacer.waitNanoseconds(100 * kMs), 0);
    const auto due = pacer.poll(100 * kMs);
    EXPECT_TRUE(due.redraw);
    EXPECT_TRUE(due.requestRedraw);
    EXPECT_FALSE(pacer.poll(101 * kMs).redraw);  // no burst of missed periods
    EXPECT_EQ(pacer.waitNanoseconds(100 * kMs), 8 * kMs);
}

TEST(ViewerShellWaker, RequestsReachTheLoopOnlyWhileTheWindowIsThere) {
    std::atomic<int> posts{0};
    LoopWaker waker([&] { posts.fetch_add(1); });
    EXPECT_FALSE(waker.requestRedraw());  // no window yet
    EXPECT_EQ(posts.load(), 0);

    waker.open();
    std::thread intake([&] {
        EXPECT_TRUE(waker.requestRedraw());
        EXPECT_TRUE(waker.requestClose());
    });
    intake.join();
    EXPECT_EQ(posts.load(), 2);
    auto taken = waker.take();
    EXPECT_TRUE(taken.redraw);
    EXPECT_TRUE(taken.close);
    taken = waker.take();
    EXPECT_FALSE(taken.redraw || taken.close);

    waker.close();
    EXPECT_FALSE(waker.requestClose());
    EXPECT_FALSE(waker.take().close);
    EXPECT_EQ(posts.load(), 2);
}

TEST(ViewerShellInput, TheSecondPressOfADoubleClickResetsAndDoesNotDrag) {
    Camera camera;
    LeftButton button;
    EXPECT_FALSE(button.press(camera, 1000, 100, 100));
    EXPECT_TRUE(movePointer(camera, 120, 100));
    button.release(camera);
    EXPECT_NE(camera.yaw, kStartYaw);

    EXPECT_TRUE(button.press(camera, 1300, 102, 101));  // within 500 ms and 4 px
    EXPECT_EQ(camera.yaw, kStartYaw);
    EXPECT_FALSE(camera.dragging);
    EXPECT_FALSE(movePointer(camera, 200, 200));  // holding it turns nothing
    button.release(camera);

    EXPECT_FALSE(button.press(camera, 1400, 102, 101));  // a third press drags again
    EXPECT_TRUE(camera.dragging);
}

TEST(ViewerShellInput, EachVerticalScrollIsOneWheelStep) {
    Camera camera;
    EXPECT_TRUE(scrollStep(camera, 0.25));  // a fine-grained wheel: still a whole step
    EXPECT_FLOAT_EQ(camera.zoom, 0.9f);
    EXPECT_TRUE(scrollStep(camera, -3.0));
    EXPECT_FLOAT_EQ(camera.zoom, 0.9f * 1.1f);
    EXPECT_FALSE(scrollStep(camera, 0.0));  // horizontal only
    EXPECT_FLOAT_EQ(camera.zoom, 0.9f * 1.1f);
}

TEST(ViewerShellInput, ClientPixelsRoundDownAndStayInRange) {
    EXPECT_EQ(clientPixel(12.9), 12);
    EXPECT_EQ(clientPixel(-0.5), -1);  // left of the window while dragging
    EXPECT_EQ(clientPixel(1e12), std::numeric_limits<std::int32_t>::max());
}

}  // namespace
}  // namespace orvalis::viewer
