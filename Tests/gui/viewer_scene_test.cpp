// The real viewer as a process: what it draws, read back from the X
// server, and the camera turned through the X test extension as a user
// turns it.
#include "gui_support.h"

namespace gui_test {
namespace {

// A sphere of point size 20: radius 0.1 cube units, some 40 pixels across.
constexpr Vec3 kPoint{0.2, 0.6, 0.2};  // clear of every edge in all three views
constexpr Colour kPointColour{0.3, 0.6, 0.9};

bool backgroundIsBlack(const Image& image) {
    auto black = [](Rgb c) { return c.r <= 8 && c.g <= 8 && c.b <= 8; };
    const int w = image.width, h = image.height;
    return black(image.at(3, 3)) && black(image.at(w - 4, 3)) && black(image.at(3, h - 4)) &&
           black(image.at(w - 4, h - 4)) && black(image.at(w / 2, 3));
}

using ViewerScene = ViewerTest;

TEST_F(ViewerScene, CubePointAndCameraFollowTheRules) {
    startPublisher();
    ASSERT_NE(publisher_, nullptr);
    tell("attach");
    tell("publish 20" + cloudText({{kPoint, kPointColour}}));
    ASSERT_TRUE(openViewer()) << "no viewer window; viewer stderr:\n" << viewerErrors();

    // Start view: yaw 35, pitch 20, zoom 1.
    const Camera start;
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return backgroundIsBlack(image) && cornersAt(image, start) && sphereAt(image, where(kPoint), kPointColour);
    })) << "start view";

    // One wheel step away from the user brings the camera 10 % nearer.
    display_->moveTo(rootX(area_.w / 2.0), rootY(area_.h - 40));
    display_->press(4);
    display_->release(4);
    const Camera nearer{35.0, 20.0, 0.9};
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return cornersAt(image, nearer) && sphereAt(image, where(kPoint, nearer), kPointColour);
    })) << "after the wheel step";

    // A drag of 40 pixels to the right turns the cube by 20 degrees of yaw.
    const int y = area_.h - 60;
    display_->moveTo(rootX(80), rootY(y));
    display_->press(1);
    for (int step = 1; step <= 4; ++step)
        display_->moveTo(rootX(80 + 10 * step), rootY(y));
    display_->release(1);
    const Camera turned{55.0, 20.0, 0.9};
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return cornersAt(image, turned) && sphereAt(image, where(kPoint, turned), kPointColour);
    })) << "after the drag (the drag starts where the button went down, even when the pointer has "
           "moved on before the viewer handles the press)";

    // A double click, away from where the drag began, restores the start view.
    display_->moveTo(rootX(area_.w - 70), rootY(area_.h - 50));
    for (int click = 0; click < 2; ++click) {
        display_->press(1);
        display_->release(1);
    }
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return cornersAt(image, start) && sphereAt(image, where(kPoint), kPointColour);
    })) << "after the double click";

    // An empty cloud leaves the background and the frame.
    tell("publish 20");
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return backgroundIsBlack(image) && cornersAt(image, start) &&
               countAround(image, where(kPoint), 3, [](Rgb c) { return isShadeOf(c, kPointColour, 0.2, 1.1); }) == 0;
    })) << "empty cloud";
}

}  // namespace
}  // namespace gui_test
