// Once end to end: the host renders the plug-in in 3D visualization mode,
// presses "Open 3D Viewer", the real viewer starts from the bundle and
// shows the frame's colour; destroying the instance closes it.
#include "gui_support.h"
#include "plugin_support.h"

namespace gui_test {
namespace {

using ViewerEndToEnd = ViewerTest;

TEST_F(ViewerEndToEnd, OpenViewerShowsTheFrameAndClosesWithTheInstance) {
    // Private temporary, config and state folders, which the plug-in and
    // the viewer it starts share.
    ::setenv("XDG_RUNTIME_DIR", scratch_.str().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", scratch_.file("config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", scratch_.file("state").c_str(), 1);
    auto instance = plugin_test::newInstance();
    ASSERT_EQ(instance->setValue("pluginMode", {0}), kOfxStatOK);
    ASSERT_EQ(instance->setValue("pointSize", {10}), kOfxStatOK);
    // A uniform frame: every sample lands on one point, at (b, g, r).
    const Colour colour{0.8, 0.3, 0.5};
    const Vec3 position{colour.b, colour.g, colour.r};
    const ofxhost::RectI bounds{0, 0, 64, 64};
    instance->setClipImage("Source", plugin_test::solidImage(ofxhost::Depth::Float, bounds, 0.8f, 0.3f, 0.5f));
    instance->setClipImage("Output", std::make_shared<ofxhost::ImageBuffer>(ofxhost::Depth::Float, bounds));
    ASSERT_EQ(instance->render(0.0, bounds), kOfxStatOK);
    ASSERT_EQ(instance->pressButton("open3DViewer"), kOfxStatOK);

    ASSERT_TRUE(waitForScene()) << "no viewer window with its menu bar";
    // Sphere radius 0.05 cube units: some ten pixels.
    EXPECT_TRUE(waitForPicture([&](const Image& image) { return sphereAt(image, where(position), colour); }))
        << "the frame's colour is not where the camera puts it";

    instance.reset();
    EXPECT_TRUE(waitFor([&] { return findViewerWindow() == 0; })) << "the viewer stayed open after the last instance";
}

}  // namespace
}  // namespace gui_test
