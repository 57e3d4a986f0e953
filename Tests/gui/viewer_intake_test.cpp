// The viewer's intake in the real process: the fallback file before any
// plug-in, the block once a plug-in makes it, stale and malformed clouds
// refused, and the viewer closing itself when the plug-ins have gone.
#include "gui_support.h"

namespace gui_test {
namespace {

// Each cloud has its own place, clear of the frame's edges in the start
// view and of the other clouds, and a colour no edge has.
constexpr Vec3 kFileCloud{0.8, 0.6, 0.8};
constexpr Colour kFileColour{0.9, 0.45, 0.7};
constexpr Vec3 kLaterFileCloud = kFileCloud;  // the first file's cloud is gone by then
constexpr Colour kLaterFileColour{0.6, 0.9, 0.3};
constexpr Vec3 kFirst{0.2, 0.6, 0.2};
constexpr Colour kFirstColour{0.3, 0.6, 0.9};
constexpr Vec3 kStale{0.4, 0.2, 0.8};
constexpr Colour kStaleColour{0.9, 0.3, 0.3};
constexpr Vec3 kSecond{0.6, 0.6, 0.3};
constexpr Colour kSecondColour{0.4, 0.9, 0.8};
constexpr Vec3 kMalformed{0.3, 0.3, 0.3};
constexpr Colour kMalformedColour{0.95, 0.85, 0.2};

bool noneOf(const Image& image, Pixel p, Colour colour) {
    return countAround(image, p, 3, [&](Rgb c) { return isShadeOf(c, colour, 0.2, 1.1); }) == 0;
}
// Point sprites are unlit: a dense blob of them takes their full colour.
// (A lit sphere never passes 0.7 of it under the viewer's own lighting,
// which the file leaves alone.)
bool spritesAt(const Image& image, Pixel p, Colour colour) {
    return countAround(image, p, 1, [&](Rgb c) { return isShadeOf(c, colour, 0.85, 1.05, 16.0); }) >= 7;
}

using ViewerIntake = ViewerTest;

TEST_F(ViewerIntake, FileBeforeThePlugInThenTheBlockUntilThePlugInsGo) {
    ASSERT_TRUE(openViewer()) << "no viewer window; viewer stderr:\n" << viewerErrors();

    // Over 1,000,000 points, more than the block holds, in a small blob:
    // drawn as sprites of one pixel (the file's point size), unlit, so the
    // blob's middle takes their full colour.
    std::vector<CloudPoint> blob = blobFarToNear(kFileCloud, 0.02, 1'000'001, kFileColour);
    writeFallback(blob, static_cast<std::uint32_t>(blob.size()));
    std::vector<CloudPoint>().swap(blob);
    auto fileCloudStays = [&](const Image& image) { return spritesAt(image, where(kFileCloud), kFileColour); };
    ASSERT_TRUE(waitForPicture([&](const Image& image) { return cornersAt(image, {}) && fileCloudStays(image); }))
        << "the fallback file's cloud as sprites";

    // A file with no points, and one shorter than its count, are nothing:
    // the picture stays.
    writeFallback({}, 0);
    EXPECT_TRUE(holdsFor(fileCloudStays)) << "a file with count 0 was taken";
    writeFallback(square(kStale, 0.01, 2, kStaleColour), 5);
    EXPECT_TRUE(holdsFor(fileCloudStays)) << "a file shorter than its count was taken";

    // A plug-in appears: the block's cloud replaces the file's.
    if (!publisher_)
        startPublisher();
    ASSERT_NE(publisher_, nullptr);
    tell("attach");
    tell("publish 20" + cloudText({{kFirst, kFirstColour}}));
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return sphereAt(image, where(kFirst), kFirstColour) && noneOf(image, where(kFileCloud), kFileColour);
    })) << "the block's cloud";
    EXPECT_EQ(tell("attached"), "1");

    // Attached, the viewer no longer reads the file.
    auto firstStays = [&](const Image& image) { return sphereAt(image, where(kFirst), kFirstColour); };
    writeFallback(square(kLaterFileCloud, 0.05, 50, kLaterFileColour), 2500);
    EXPECT_TRUE(holdsFor([&](const Image& image) {
        return firstStays(image) && noneOf(image, where(kLaterFileCloud), kLaterFileColour);
    })) << "the file was read while attached";

    // A sequence number not above the last one taken is ignored.
    tell("stale 20" + cloudText({{kStale, kStaleColour}}));
    EXPECT_TRUE(holdsFor([&](const Image& image) {
        return firstStays(image) && noneOf(image, where(kStale), kStaleColour);
    })) << "a stale cloud was taken";

    tell("publish 20" + cloudText({{kSecond, kSecondColour}}));
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return sphereAt(image, where(kSecond), kSecondColour) && noneOf(image, where(kFirst), kFirstColour);
    })) << "the next cloud";

    // Malformed blocks are nothing: buffer 7, then a count over 1,000,000.
    auto secondStays = [&](const Image& image) {
        return sphereAt(image, where(kSecond), kSecondColour) && noneOf(image, where(kMalformed), kMalformedColour);
    };
    tell("corrupt-buffer" + cloudText({{kMalformed, kMalformedColour}}));
    EXPECT_TRUE(holdsFor(secondStays)) << "a block naming buffer 7 was taken";
    tell("corrupt-count" + cloudText({{kMalformed, kMalformedColour}}));
    EXPECT_TRUE(holdsFor(secondStays)) << "a block counting 1,000,001 points was taken";
    ASSERT_TRUE(viewer_->running());

    // The last plug-in goes: the viewer closes itself with exit code 0.
    tell("release");
    EXPECT_EQ(viewer_->waitForExit(patience()), std::optional<int>(0));
    EXPECT_EQ(findViewerWindow(), 0u);
}

using ViewerRefusal = ViewerTest;

TEST_F(ViewerRefusal, OpenGlBelowThreeEndsWithCodeTwoAndTheMessage) {
    if (programs_.underWine()) {
        startPublisher();  // it finds and dismisses the message box
        ASSERT_NE(publisher_, nullptr);
    }
    startViewer({"MESA_GL_VERSION_OVERRIDE=2.1"});
    ASSERT_NE(viewer_, nullptr);
    std::string message;
    if (programs_.underWine()) {
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
    EXPECT_EQ(viewer_->waitForExit(patience()), std::optional<int>(2));
    if (!programs_.underWine())
        message = viewerErrors();
    EXPECT_NE(message.find("This application requires OpenGL 3.0 or above."), std::string::npos) << message;
    EXPECT_NE(message.find("Detected OpenGL version: 2.1"), std::string::npos) << message;
    EXPECT_EQ(findViewerWindow(), 0u);
}

}  // namespace
}  // namespace gui_test
