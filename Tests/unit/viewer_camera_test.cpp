// The camera's mouse rules and the shell support that a window system
// without timers, cross-thread wakes or double clicks leaves to the viewer.
#include <gtest/gtest.h>

#include <atomic>
#include <tuple>
#include <limits>
#include <thread>

#include "app/shell_events.h"

namespace orvalis::viewer {
namespace {

constexpr std::int64_t kMs = 1'000'000;

TEST(ViewerCamera, DragTurnsHalfADegreePerPixelAndPitchStopsAtTheLimits) {
    Camera camera;
    EXPECT_FALSE(movePointer(camera, 300, 400)) << "hovering without a press: no redraw";
    pressLeft(camera, 100, 100);
    EXPECT_EQ(camera.yaw, 35.0f) << "a press alone turns nothing";
    EXPECT_TRUE(movePointer(camera, 820, 90));
    EXPECT_EQ(camera.yaw, 395.0f) << "720 pixels right add 360 degrees, not folded back";
    EXPECT_EQ(camera.pitch, 15.0f) << "moving up lowers the pitch";
    // The travel beyond a limit is lost, so turning back acts at once.
    const int moves[][2] = {{1000, 89}, {998, 88}, {-1000, -89}, {-996, -87}};
    for (const auto& [y, pitch] : moves) {
        movePointer(camera, 820, y);
        EXPECT_EQ(camera.pitch, static_cast<float>(pitch)) << y;
    }
    releaseLeft(camera);
    EXPECT_FALSE(movePointer(camera, 0, 0)) << "no turn and no redraw after the release";
}

TEST(ViewerCamera, WheelStepsReachTheZoomLimitsAndOnlyTheSignCounts) {
    for (const auto& [delta, steps, limit] : {std::tuple{120, 22, 0.1f}, std::tuple{-120, 17, 5.0f}}) {
        Camera camera;
        for (int step = 1; step < steps; ++step)
            EXPECT_TRUE(wheelStep(camera, delta));
        EXPECT_NE(camera.zoom, limit) << "one step short of the limit";
        wheelStep(camera, delta);
        EXPECT_EQ(camera.zoom, limit);
    }
    Camera camera;
    wheelStep(camera, 0);
    EXPECT_EQ(camera.zoom, 1.1f) << "delta 0 is a step towards the user";
    wheelStep(camera, 30);
    wheelStep(camera, -480);
    EXPECT_EQ(camera.zoom, 1.1f * 0.9f * 1.1f) << "30 and 4 notches are one step each";

    // A scroll event is one step by its sign; a purely horizontal one none.
    Camera scrolled;
    EXPECT_TRUE(scrollStep(scrolled, 0.25));
    EXPECT_TRUE(scrollStep(scrolled, -3.0));
    EXPECT_FALSE(scrollStep(scrolled, 0.0));
    EXPECT_FLOAT_EQ(scrolled.zoom, 0.9f * 1.1f);
}

TEST(ViewerCamera, DoubleClickNeedsTheSecondPressWithin500MsAnd4Pixels) {
    struct Press {
        std::int64_t ms;
        int x, y;
        bool completes;
    };
    const Press presses[] = {
        {1000, 100, 100, false}, {1500, 102, 98, true},                         // 500 ms and 2 pixels each way
        {1600, 102, 98, false},  {1700, 102, 98, true},                         // a third press starts a new pair
        {2000, 10, 10, false},   {2501, 10, 10, false},                         // too late: the first of a new pair
        {2900, 10, 10, true},    {3000, 10, 10, false}, {3100, 13, 10, false},  // outside the box
        {3200, 13, 13, false},   {3250, 13, 12, true},
    };
    DoubleClickDetector detector;
    for (const Press& p : presses)
        EXPECT_EQ(detector.press(p.ms, p.x, p.y), p.completes) << p.ms;
}

TEST(ViewerCamera, TheSecondPressOfADoubleClickResetsTheViewAndStartsNoDrag) {
    Camera camera;
    LeftButton button;
    EXPECT_FALSE(button.press(camera, 1000, 100, 100));
    movePointer(camera, 120, 90);
    wheelStep(camera, 120);
    button.release(camera);

    EXPECT_TRUE(button.press(camera, 1300, 102, 101));
    EXPECT_EQ(camera.yaw, kStartYaw);
    EXPECT_EQ(camera.pitch, kStartPitch);
    EXPECT_EQ(camera.zoom, kStartZoom);
    EXPECT_FALSE(movePointer(camera, 200, 200)) << "holding it turns nothing";
    button.release(camera);

    EXPECT_FALSE(button.press(camera, 1400, 102, 101)) << "a third press drags again";
    resetView(camera);
    EXPECT_TRUE(camera.dragging) << "a reset does not end a running drag";
}

TEST(ViewerShellPacing, RedrawsEvery8AndRequestsEvery16MsAndALateLoopFiresOnce) {
    RedrawPacer pacer(0);
    EXPECT_EQ(pacer.waitNanoseconds(0), 8 * kMs);
    EXPECT_FALSE(pacer.poll(7 * kMs).redraw);
    auto due = pacer.poll(8 * kMs);
    EXPECT_TRUE(due.redraw && !due.requestRedraw);
    EXPECT_EQ(pacer.waitNanoseconds(9 * kMs), 7 * kMs);
    due = pacer.poll(16 * kMs);
    EXPECT_TRUE(due.redraw && due.requestRedraw);
    EXPECT_FALSE(pacer.poll(16 * kMs).redraw) << "each period fires once";

    EXPECT_EQ(pacer.waitNanoseconds(100 * kMs), 0);
    due = pacer.poll(100 * kMs);
    EXPECT_TRUE(due.redraw && due.requestRedraw);
    EXPECT_FALSE(pacer.poll(101 * kMs).redraw) << "no burst of missed periods";
    EXPECT_EQ(pacer.waitNanoseconds(100 * kMs), 8 * kMs);
}

TEST(ViewerShellWaker, RequestsReachTheLoopOnlyWhileTheWindowIsThere) {
    std::atomic<int> posts{0};
    LoopWaker waker([&] { posts.fetch_add(1); });
    EXPECT_FALSE(waker.requestRedraw()) << "no window yet";
    waker.open();
    std::thread intake([&] { EXPECT_TRUE(waker.requestRedraw() && waker.requestClose()); });
    intake.join();
    EXPECT_EQ(posts.load(), 2);
    auto taken = waker.take();
    EXPECT_TRUE(taken.redraw && taken.close);
    taken = waker.take();
    EXPECT_FALSE(taken.redraw || taken.close) << "taking clears";

    waker.close();
    EXPECT_FALSE(waker.requestClose());
    EXPECT_FALSE(waker.take().close);
    EXPECT_EQ(posts.load(), 2);
}

TEST(ViewerShellInput, ClientPixelsRoundDownAndStayInRange) {
    EXPECT_EQ(clientPixel(12.9), 12);
    EXPECT_EQ(clientPixel(-0.5), -1) << "left of the window while dragging";
    EXPECT_EQ(clientPixel(1e12), std::numeric_limits<std::int32_t>::max());
}

}  // namespace
}  // namespace orvalis::viewer
