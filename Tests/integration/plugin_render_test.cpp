// Renders through the host: the cube map's wiring (its colours per depth are
// the pixel unit tests'), and the pass-through of the host's images with
// exact pixel values.
#include "plugin_support.h"

#include <array>
#include <cstring>

using namespace plugin_test;
using ofxhost::Depth;
using ofxhost::ImageBuffer;
using ofxhost::RectI;

namespace {

constexpr int kCubeMap = 1;

template <class T>
std::array<T, 4> raw(const ImageBuffer& image, int x, int y) {
    std::array<T, 4> px{};
    std::memcpy(px.data(), image.pixelAddress(x, y), sizeof(px));
    return px;
}

using B4 = std::array<std::uint8_t, 4>;
using S4 = std::array<std::uint16_t, 4>;

// An instance in CubeMap mode with a source and an output.
struct CubeMapRig {
    std::unique_ptr<ofxhost::Instance> instance;
    std::shared_ptr<ImageBuffer> output;
    CubeMapRig(Depth depth, RectI bounds, double steps = 30)
        : instance(newInstance({{"pluginMode", {kCubeMap}}, {"cubeMapSize", {steps}}})),
          output(solidImage(depth, bounds, 0.4f, 0.4f, 0.4f, 0.4f)) {
        instance->setClipImage("Source", solidImage(depth, bounds, 0.2f, 0.4f, 0.6f, 0.8f));
        instance->setClipImage("Output", output);
    }
    OfxStatus render(RectI window) { return instance->render(0.0, window); }
};

}  // namespace

// The map's colours per size and depth are the pixel unit tests'; here what
// the instance hands them: its size, its source, the host's window and bounds.
TEST(CubeMapRender, TheSizeTheSourceAndTheRenderWindowReachTheMap) {
    CubeMapRig rig(Depth::UShort, {10, 20, 266, 220}, 8);  // 8 steps: a 24 x 24 map from the bounds origin
    ASSERT_EQ(rig.render({10, 20, 200, 40}), kOfxStatOK);
    const auto& out = *rig.output;
    EXPECT_EQ(raw<std::uint16_t>(out, 17, 20), (S4{65535, 0, 0, 65535}));
    EXPECT_EQ(raw<std::uint16_t>(out, 10, 27), (S4{0, 65535, 0, 65535}));
    EXPECT_EQ(raw<std::uint16_t>(out, 190, 20), (S4{13107, 26214, 39321, 52428}));  // beyond the backing: the source
    const S4 untouched{26214, 26214, 26214, 26214};
    EXPECT_EQ(raw<std::uint16_t>(out, 10, 40), untouched);
    EXPECT_EQ(raw<std::uint16_t>(out, 200, 30), untouched);
    EXPECT_EQ(rig.instance->outstandingImages(), 0);
}

TEST(CubeMapRender, AnAbortedRenderLeavesTheRowsUnwritten) {
    CubeMapRig rig(Depth::UByte, {0, 0, 256, 200});
    rig.instance->setAbort(true);
    ASSERT_EQ(rig.render({0, 0, 256, 200}), kOfxStatOK);
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 29, 0), (B4{102, 102, 102, 102}));
}

// ---- pass-through ----

namespace {

struct PassCase {
    Depth depth;
    int sourcePadding;
    bool sourceBottomUp;
    double scale;
};

void expectPassThrough(const PassCase& c) {
    auto inst = newInstance();
    const RectI bounds{0, 0, 64, 48};
    auto source = std::make_shared<ImageBuffer>(c.depth, bounds, c.sourcePadding, c.sourceBottomUp);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float rgba[4] = {x / 63.0f, y / 47.0f, (x + y) % 7 / 7.0f, 1.0f - x / 128.0f};
            source->setPixel(x, y, rgba);
        }
    }
    auto output = solidImage(c.depth, bounds, 0.9f, 0.1f, 0.9f, 0.1f);
    inst->setClipImage("Source", source);
    inst->setClipImage("Output", output);
    ASSERT_EQ(inst->render(0.0, bounds, c.scale, c.scale), kOfxStatOK);
    // A reduced-scale render hands the worker nothing, so holds no image after it.
    EXPECT_TRUE(c.scale == 1.0 || inst->outstandingImages() == 0);
    const int pixelBytes = 4 * ofxhost::bytesPerComponent(c.depth);
    for (int y = 0; y < 48; ++y) {
        ASSERT_EQ(std::memcmp(output->pixelAddress(0, y), source->pixelAddress(0, y), 64 * pixelBytes), 0)
            << "row " << y;
    }
    inst.reset();  // the worker lets go of every queued image
    EXPECT_EQ(source.use_count(), 1);
}

}  // namespace

TEST(PassThrough, HostImagesAreCopiedExactlyAtAnyScale) {
    // Every layout and depth is the copy unit test's; here the host's images.
    const PassCase cases[] = {
        {Depth::UShort, 12, true, 1.0},  // rows padded differently, bottom-up source
        {Depth::Float, 0, false, 0.25},  // a reduced-scale render still copies
    };
    for (const PassCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.depth));
        expectPassThrough(c);
    }
}

// The pass-through does not convert: a host that hands an output of another
// depth hears of the failure instead of a success over an unwritten output.
TEST(PassThrough, AnOutputOfAnotherDepthIsAFailure) {
    auto inst = newInstance();
    inst->setClipImage("Source", solidImage(Depth::UByte, {0, 0, 8, 8}, 0.5f, 0.5f, 0.5f, 1.0f));
    auto output = solidImage(Depth::Float, {0, 0, 8, 8}, 0.25f, 0.25f, 0.25f, 0.25f);
    inst->setClipImage("Output", output);
    EXPECT_NE(inst->render(0.0, {0, 0, 8, 8}), kOfxStatOK);
    EXPECT_NE(inst->render(0.0, {0, 0, 8, 8}, 0.25, 0.25), kOfxStatOK);
    EXPECT_EQ(inst->outstandingImages(), 0);
}

TEST(PassThrough, WithoutSourceNothingIsWritten) {
    auto inst = newInstance();
    auto output = solidImage(Depth::UByte, {0, 0, 8, 8}, 0.4f, 0.4f, 0.4f, 0.4f);
    inst->setClipImage("Source", nullptr);
    inst->setClipImage("Output", output);
    EXPECT_EQ(inst->render(0.0, {0, 0, 8, 8}), kOfxStatOK);
    EXPECT_EQ(raw<std::uint8_t>(*output, 3, 3), (B4{102, 102, 102, 102}));
}
