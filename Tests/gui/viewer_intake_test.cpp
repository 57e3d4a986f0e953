// The real viewer as a process: the fallback file before any plug-in, the
// block once a plug-in makes it, drawn where the camera rules put it, the
// camera turned through the X test extension as a user turns it, and the
// viewer closing itself when the plug-ins have gone. Which clouds a reader
// refuses (stale, malformed, short files) is the reader's own test.
#include "gui_support.h"

namespace gui_test {
namespace {

// Each cloud has its own place, clear of the frame's edges in all the views
// and of the other cloud, and a colour no edge has. A sphere of point size
// 20 is 0.1 cube units in radius, some 40 pixels across.
constexpr Vec3 kFileCloud{0.8, 0.6, 0.8};
constexpr Colour kFileColour{0.9, 0.45, 0.7};
constexpr Vec3 kPoint{0.2, 0.6, 0.2};
constexpr Colour kPointColour{0.3, 0.6, 0.9};

bool noneOf(const Image& image, Pixel p, Colour colour) {
    return countAround(image, p, 3, [&](Rgb c) { return isShadeOf(c, colour, 0.2, 1.1); }) == 0;
}

using ViewerIntake = ViewerTest;

TEST_F(ViewerIntake, FileThenTheBlockWhereTheCameraPutsItUntilThePlugInsGo) {
    ASSERT_TRUE(openViewer()) << "no viewer window; viewer stderr:\n" << viewerErrors();

    // A plug-in with no block writes its files: over 1,000,000 points, more
    // than the block holds, in a small blob, drawn as sprites of one pixel
    // (the file's point size), unlit, so the blob's middle takes their full
    // colour (a lit sphere never passes 0.7 of it under the viewer's lighting).
    std::ostringstream blob;
    blob << "files " << kFileCloud.x << ' ' << kFileCloud.y << ' ' << kFileCloud.z << " 0.02 1000001 " << kFileColour.r
         << ' ' << kFileColour.g << ' ' << kFileColour.b;
    tell(blob.str());
    ASSERT_TRUE(waitForPicture([&](const Image& image) {
        return cornersAt(image, {}) && countAround(image, where(kFileCloud), 1, [](Rgb c) {
                                           return isShadeOf(c, kFileColour, 0.85, 1.05, 16.0);
                                       }) >= 7;
    })) << "the fallback file's cloud as sprites";

    // A plug-in appears: the block's cloud replaces the file's, in the
    // start view (yaw 35, pitch 20, zoom 1).
    tell("attach");
    tell("publish 20" + cloudText({{kPoint, kPointColour}}));
    const Camera start;
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return backgroundIs(image, {0, 0, 0}) && cornersAt(image, start) &&
               sphereAt(image, where(kPoint), kPointColour) && noneOf(image, where(kFileCloud), kFileColour);
    })) << "the block's cloud in the start view";

    // One wheel step away from the user brings the camera 10 % nearer.
    click(rootX(area_.w / 2.0), rootY(area_.h - 40), 4);
    const Camera nearer{35.0, 20.0, 0.9};
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return cornersAt(image, nearer) && sphereAt(image, where(kPoint, nearer), kPointColour);
    })) << "after the wheel step";

    // A drag of 40 pixels to the right turns the cube by 20 degrees of yaw.
    const int y = area_.h - 60;
    display_->moveTo(rootX(80), rootY(y));
    display_->button(1, true);
    for (int step = 1; step <= 4; ++step)
        display_->moveTo(rootX(80 + 10 * step), rootY(y));
    display_->button(1, false);
    const Camera turned{55.0, 20.0, 0.9};
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return cornersAt(image, turned) && sphereAt(image, where(kPoint, turned), kPointColour);
    })) << "after the drag (the drag starts where the button went down, even when the pointer has "
           "moved on before the viewer handles the press)";

    // A double click, away from where the drag began, restores the start view.
    for (int i = 0; i < 2; ++i)
        click(rootX(area_.w - 70), rootY(area_.h - 50));
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return cornersAt(image, start) && sphereAt(image, where(kPoint), kPointColour);
    })) << "after the double click";

    // An empty cloud leaves the background and the frame.
    tell("publish 20");
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return backgroundIs(image, {0, 0, 0}) && cornersAt(image, start) && noneOf(image, where(kPoint), kPointColour);
    })) << "empty cloud";

    // The last plug-in goes: the viewer closes itself with exit code 0.
    tell("release");
    EXPECT_EQ(viewer_->wait(patience()), std::optional<int>(0));
    EXPECT_EQ(findViewerWindow(), 0u);
}

using ViewerRefusal = ViewerTest;

TEST_F(ViewerRefusal, OpenGlBelowThreeEndsWithCodeTwoAndTheMessage) {
    if (programs_.underWine())
        startPublisher();  // it finds and dismisses the message box
    startViewer({"MESA_GL_VERSION_OVERRIDE=2.1"});
    ASSERT_NE(viewer_, nullptr);
    std::string message;
    if (programs_.underWine()) {
        ASSERT_NE(publisher_, nullptr);
        waitFor(
            [&] {
                const auto answer = publisher_->ask("dismiss OpenGL 3.0+ Required", patience());
                if (answer && answer->rfind("ok", 0) == 0)
                    message = *answer;
                return !message.empty() || !viewer_->running();
            },
            50ms);
        EXPECT_FALSE(message.empty()) << "no message box \"OpenGL 3.0+ Required\"";
    }
    EXPECT_EQ(viewer_->wait(patience()), std::optional<int>(2));
    if (!programs_.underWine())
        message = viewerErrors();
    EXPECT_NE(message.find("This application requires OpenGL 3.0 or above."), std::string::npos) << message;
    EXPECT_NE(message.find("Detected OpenGL version: 2.1"), std::string::npos) << message;
    EXPECT_EQ(findViewerWindow(), 0u);
}

}  // namespace
}  // namespace gui_test
