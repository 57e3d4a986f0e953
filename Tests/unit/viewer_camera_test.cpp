// The camera's mouse handlers and the double-click detector of the shells
// that get no double clicks from their window system.
#include <gtest/gtest.h>

#include "app/camera.h"

namespace {

using namespace orvalis::viewer;

TEST(ViewerCamera, DragTurnsHalfADegreePerPixelAndNeverWrapsYaw) {
    Camera camera;
    EXPECT_FALSE(movePointer(camera, 300, 400)) << "hovering without a press: no redraw";
    EXPECT_EQ(camera.yaw, 35.0f);
    pressLeft(camera, 100, 100);
    EXPECT_TRUE(camera.dragging);
    EXPECT_EQ(camera.yaw, 35.0f) << "a press alone turns nothing";

    EXPECT_TRUE(movePointer(camera, 820, 90));
    EXPECT_EQ(camera.yaw, 395.0f) << "720 pixels right add 360 degrees, not folded back";
    EXPECT_EQ(camera.pitch, 15.0f) << "moving up lowers the pitch";

    EXPECT_TRUE(movePointer(camera, 819, 91));
    EXPECT_EQ(camera.yaw, 394.5f);
    EXPECT_EQ(camera.pitch, 15.5f);

    releaseLeft(camera);
    EXPECT_FALSE(camera.dragging);
    EXPECT_FALSE(movePointer(camera, 0, 0)) << "no redraw after the release";
    EXPECT_EQ(camera.yaw, 394.5f);
}

TEST(ViewerCamera, PitchStopsAtTheLimitsAndTurnsBackAtOnce) {
    Camera camera;
    pressLeft(camera, 0, 0);
    movePointer(camera, 0, 1000);  // +500 degrees asked for
    EXPECT_EQ(camera.pitch, 89.0f);
    movePointer(camera, 0, 998);  // the travel beyond the limit is lost
    EXPECT_EQ(camera.pitch, 88.0f);

    movePointer(camera, 0, -2000);
    EXPECT_EQ(camera.pitch, -89.0f);
    movePointer(camera, 0, -1996);
    EXPECT_EQ(camera.pitch, -87.0f);
}

TEST(ViewerCamera, WheelStepsReachTheZoomLimits) {
    Camera camera;
    for (int step = 1; step <= 22; ++step) {
        EXPECT_TRUE(wheelStep(camera, 120));
        if (step == 21) {
            EXPECT_GT(camera.zoom, 0.1f) << "0.9^21 is still above the limit";
        }
    }
    EXPECT_EQ(camera.zoom, 0.1f) << "0.9^22 is raised to the limit";

    camera = Camera{};
    for (int step = 1; step <= 17; ++step) {
        wheelStep(camera, -120);
        if (step == 16) {
            EXPECT_LT(camera.zoom, 5.0f) << "1.1^16 is still below the limit";
        }
    }
    EXPECT_EQ(camera.zoom, 5.0f) << "1.1^17 is lowered to the limit";
}

TEST(ViewerCamera, OnlyTheSignOfTheWheelDeltaCounts) {
    Camera zero;
    wheelStep(zero, 0);
    EXPECT_EQ(zero.zoom, 1.1f) << "delta 0 is a step towards the user";

    Camera fine;
    wheelStep(fine, 30);
    EXPECT_EQ(fine.zoom, 0.9f) << "a high-resolution wheel's 30 is a whole step";
    wheelStep(fine, -480);
    EXPECT_EQ(fine.zoom, 0.9f * 1.1f) << "and so is 4 notches in one message";
}

TEST(ViewerCamera, DoubleClickResetsTheViewAndLeavesTheDragAlone) {
    Camera camera;
    pressLeft(camera, 50, 50);
    movePointer(camera, 90, 70);
    wheelStep(camera, 120);
    releaseLeft(camera);

    // The second press of a double click: the shell reports the double
    // click instead of a press, so no drag starts.
    EXPECT_TRUE(resetView(camera));
    EXPECT_EQ(camera.yaw, 35.0f);
    EXPECT_EQ(camera.pitch, 20.0f);
    EXPECT_EQ(camera.zoom, 1.0f);
    EXPECT_FALSE(camera.dragging);
    EXPECT_FALSE(movePointer(camera, 200, 200)) << "holding the second press turns nothing";
    EXPECT_EQ(camera.yaw, 35.0f);

    pressLeft(camera, 5, 5);
    resetView(camera);
    EXPECT_TRUE(camera.dragging) << "a running drag is not ended either";
}

TEST(ViewerDoubleClick, SecondPressWithinTimeAndBox) {
    DoubleClickDetector detector;
    EXPECT_FALSE(detector.press(1000, 100, 100));
    EXPECT_TRUE(detector.press(1500, 102, 98)) << "500 ms and 2 pixels each way still count";
    EXPECT_FALSE(detector.press(1600, 102, 98)) << "a third press starts a new pair";
    EXPECT_TRUE(detector.press(1700, 102, 98));

    DoubleClickDetector slow;
    slow.press(0, 10, 10);
    EXPECT_FALSE(slow.press(501, 10, 10));
    EXPECT_TRUE(slow.press(900, 10, 10)) << "the late press is the first of a new pair";

    DoubleClickDetector moved;
    moved.press(0, 10, 10);
    EXPECT_FALSE(moved.press(100, 13, 10)) << "outside the 4-pixel box";
    EXPECT_FALSE(moved.press(200, 13, 13));
    EXPECT_TRUE(moved.press(250, 13, 12));
}

}  // namespace
