// Renders through the host: the cube map and the pass-through in all three
// depths, with exact pixel values, and the render's arbitration between two
// instances.
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
using F4 = std::array<float, 4>;

// An instance in CubeMap mode with the output and (optionally) a source set.
struct CubeMapRig {
    std::unique_ptr<ofxhost::Instance> instance;
    std::shared_ptr<ImageBuffer> source, output;
    CubeMapRig(Depth depth, RectI bounds, int steps, bool withSource, int outputPadding = 0) {
        instance = newInstance({{"pluginMode", {kCubeMap}}, {"cubeMapSize", {static_cast<double>(steps)}}});
        if (withSource) {
            source = solidImage(depth, bounds, 0.2f, 0.4f, 0.6f, 0.8f);
            instance->setClipImage("Source", source);
        } else {
            instance->setClipImage("Source", nullptr);
        }
        output = solidImage(depth, bounds, 0.4f, 0.4f, 0.4f, 0.4f, outputPadding);
        instance->setClipImage("Output", output);
    }
    OfxStatus render(RectI window) { return instance->render(0.0, window); }
};

}  // namespace

TEST(CubeMapRender, EightBitCornersOfTheDefaultMap) {
    CubeMapRig rig(Depth::UByte, {0, 0, 256, 200}, 30, true);
    ASSERT_EQ(rig.render({0, 0, 256, 200}), kOfxStatOK);
    const auto& out = *rig.output;
    EXPECT_EQ(raw<std::uint8_t>(out, 0, 0), (B4{0, 0, 0, 255}));
    EXPECT_EQ(raw<std::uint8_t>(out, 29, 0), (B4{255, 0, 0, 255}));
    EXPECT_EQ(raw<std::uint8_t>(out, 0, 29), (B4{0, 255, 0, 255}));
    EXPECT_EQ(raw<std::uint8_t>(out, 150, 120), (B4{0, 0, 255, 255}));  // tile 29, top right
    EXPECT_EQ(raw<std::uint8_t>(out, 179, 149), (B4{255, 255, 255, 255}));
    // Beyond the 180 x 150 map the source shows through, alpha included.
    EXPECT_EQ(raw<std::uint8_t>(out, 180, 0), (B4{51, 102, 153, 204}));
    EXPECT_EQ(raw<std::uint8_t>(out, 0, 150), (B4{51, 102, 153, 204}));
    EXPECT_EQ(rig.instance->outstandingImages(), 0);
}

TEST(CubeMapRender, SmallMapLeavesTheBackingBlack) {
    CubeMapRig rig(Depth::UByte, {0, 0, 256, 200}, 8, true);
    ASSERT_EQ(rig.render({0, 0, 256, 200}), kOfxStatOK);
    const auto& out = *rig.output;
    EXPECT_EQ(raw<std::uint8_t>(out, 7, 0), (B4{255, 0, 0, 255}));
    EXPECT_EQ(raw<std::uint8_t>(out, 8, 16), (B4{0, 0, 255, 255}));    // tile 7: blue 7/7
    EXPECT_EQ(raw<std::uint8_t>(out, 16, 16), (B4{0, 0, 0, 255}));     // empty tile slot 8
    EXPECT_EQ(raw<std::uint8_t>(out, 100, 100), (B4{0, 0, 0, 255}));   // backing
    EXPECT_EQ(raw<std::uint8_t>(out, 179, 149), (B4{0, 0, 0, 255}));
    EXPECT_EQ(raw<std::uint8_t>(out, 180, 149), (B4{51, 102, 153, 204}));
}

TEST(CubeMapRender, SixteenBitMapIsExact) {
    CubeMapRig rig(Depth::UShort, {0, 0, 200, 160}, 30, true, 24);
    ASSERT_EQ(rig.render({0, 0, 200, 160}), kOfxStatOK);
    const auto& out = *rig.output;
    EXPECT_EQ(raw<std::uint16_t>(out, 0, 0), (S4{0, 0, 0, 65535}));
    EXPECT_EQ(raw<std::uint16_t>(out, 29, 0), (S4{65535, 0, 0, 65535}));
    EXPECT_EQ(raw<std::uint16_t>(out, 0, 29), (S4{0, 65535, 0, 65535}));
    EXPECT_EQ(raw<std::uint16_t>(out, 150, 120), (S4{0, 0, 65535, 65535}));
    // 1/29 of full scale, rounded.
    EXPECT_EQ(raw<std::uint16_t>(out, 1, 0), (S4{2260, 0, 0, 65535}));
    EXPECT_EQ(raw<std::uint16_t>(out, 190, 0), (S4{13107, 26214, 39321, 52428}));
}

TEST(CubeMapRender, FloatMapAndAnUnclampedSource) {
    CubeMapRig rig(Depth::Float, {0, 0, 200, 160}, 30, false);
    auto hot = solidImage(Depth::Float, {0, 0, 200, 160}, 1.5f, -0.25f, 2.0f, 1.0f);
    rig.instance->setClipImage("Source", hot);
    ASSERT_EQ(rig.render({0, 0, 200, 160}), kOfxStatOK);
    const auto& out = *rig.output;
    EXPECT_EQ(raw<float>(out, 29, 0), (F4{1.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(raw<float>(out, 150, 120), (F4{0.0f, 0.0f, 1.0f, 1.0f}));
    const F4 one = raw<float>(out, 1, 0);
    EXPECT_FLOAT_EQ(one[0], 1.0f / 29.0f);
    EXPECT_EQ(raw<float>(out, 190, 10), (F4{1.5f, -0.25f, 2.0f, 1.0f}));
}

TEST(CubeMapRender, WithoutSourceTheRestIsTransparent) {
    CubeMapRig rig(Depth::UByte, {0, 0, 256, 200}, 30, false);
    ASSERT_EQ(rig.render({0, 0, 256, 200}), kOfxStatOK);
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 200, 100), (B4{0, 0, 0, 0}));
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 0, 0), (B4{0, 0, 0, 255}));
}

TEST(CubeMapRender, CountsFromTheOutputsBoundsOrigin) {
    CubeMapRig rig(Depth::UByte, {10, 20, 266, 220}, 30, true);
    ASSERT_EQ(rig.render({10, 20, 266, 220}), kOfxStatOK);
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 10, 20), (B4{0, 0, 0, 255}));
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 39, 20), (B4{255, 0, 0, 255}));
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 160, 140), (B4{0, 0, 255, 255}));
}

TEST(CubeMapRender, OnlyTheRenderWindowIsWritten) {
    CubeMapRig rig(Depth::UByte, {0, 0, 256, 200}, 30, true);
    ASSERT_EQ(rig.render({0, 10, 100, 20}), kOfxStatOK);
    const B4 untouched{102, 102, 102, 102};
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 29, 9), untouched);
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 29, 20), untouched);
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 100, 15), untouched);
    EXPECT_EQ(raw<std::uint8_t>(*rig.output, 29, 10), (B4{255, 88, 0, 255}));  // green 10/29
}

TEST(CubeMapRender, AnAbortedRenderLeavesTheRowsUnwritten) {
    CubeMapRig rig(Depth::UByte, {0, 0, 256, 200}, 30, true);
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
    ASSERT_NE(inst, nullptr);
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
    const int pixelBytes = 4 * ofxhost::bytesPerComponent(c.depth);
    for (int y = 0; y < 48; ++y) {
        ASSERT_EQ(std::memcmp(output->pixelAddress(0, y), source->pixelAddress(0, y), 64 * pixelBytes), 0)
            << "row " << y;
    }
    inst.reset();  // the worker lets go of every queued image
    EXPECT_EQ(source.use_count(), 1);
}

}  // namespace

TEST(PassThrough, EightBitRowsArePaddedDifferently) { expectPassThrough({Depth::UByte, 12, false, 1.0}); }
TEST(PassThrough, SixteenBitBottomUpSource) { expectPassThrough({Depth::UShort, 0, true, 1.0}); }
TEST(PassThrough, FloatPaddedBottomUpSource) { expectPassThrough({Depth::Float, 20, true, 1.0}); }
TEST(PassThrough, AReducedScaleRenderStillCopies) { expectPassThrough({Depth::Float, 0, false, 0.25}); }

TEST(PassThrough, WithoutSourceNothingIsWritten) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    auto output = solidImage(Depth::UByte, {0, 0, 8, 8}, 0.4f, 0.4f, 0.4f, 0.4f);
    inst->setClipImage("Source", nullptr);
    inst->setClipImage("Output", output);
    EXPECT_EQ(inst->render(0.0, {0, 0, 8, 8}), kOfxStatOK);
    EXPECT_EQ(raw<std::uint8_t>(*output, 3, 3), (B4{102, 102, 102, 102}));
}

TEST(PassThrough, AReducedScaleRenderQueuesNothing) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    auto source = solidImage(Depth::UByte, {0, 0, 32, 32}, 0.5f, 0.5f, 0.5f, 1.0f);
    inst->setClipImage("Source", source);
    inst->setClipImage("Output", solidImage(Depth::UByte, {0, 0, 32, 32}, 0, 0, 0, 0));
    ASSERT_EQ(inst->render(0.0, {0, 0, 32, 32}, 0.25, 0.25), kOfxStatOK);
    // Nothing was handed to the worker: no image is held after the render.
    EXPECT_EQ(inst->outstandingImages(), 0);
}

// ---- arbitration ----

TEST(RenderArbitration, TheActiveInstanceKeepsTheViewerUntilItFallsSilent) {
    TwoInstances pair;
    ASSERT_TRUE(pair.ready());
    auto& [a, b, block] = pair;
    const std::uint64_t nb = instanceNumber(*b, block);
    const std::uint64_t na = instanceNumber(*a, block);
    ASSERT_NE(na, nb);

    auto imageA = solidImage(Depth::UByte, {0, 0, 16, 16}, 0.3f, 0.3f, 0.3f, 1.0f);
    imageA->uniqueIdentifier = "clip-a";
    auto imageB = solidImage(Depth::UByte, {0, 0, 16, 16}, 0.6f, 0.6f, 0.6f, 1.0f);
    imageB->uniqueIdentifier = "clip-b";
    a->setClipImage("Source", imageA);
    a->setClipImage("Output", solidImage(Depth::UByte, {0, 0, 16, 16}, 0, 0, 0, 0));
    b->setClipImage("Source", imageB);
    b->setClipImage("Output", solidImage(Depth::UByte, {0, 0, 16, 16}, 0, 0, 0, 0));

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(a->render(0.0, {0, 0, 16, 16}), kOfxStatOK);
    EXPECT_EQ(block.owner(), na);
    ASSERT_EQ(b->render(0.0, {0, 0, 16, 16}), kOfxStatOK);
    // Only meaningful when the two renders came within the claim's lifetime.
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(200)) {
        EXPECT_EQ(block.owner(), na) << "a recently rendering instance keeps the viewer";
    }

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(b->render(0.0, {0, 0, 16, 16}), kOfxStatOK);
    EXPECT_EQ(block.owner(), nb) << "after 240 ms of silence another source takes over";
}

TEST(RenderArbitration, TheSameSourceNeverTakesOver) {
    TwoInstances pair;
    ASSERT_TRUE(pair.ready());
    auto& [a, b, block] = pair;
    (void)instanceNumber(*b, block);
    const std::uint64_t na = instanceNumber(*a, block);

    auto shared = solidImage(Depth::UByte, {0, 0, 16, 16}, 0.3f, 0.3f, 0.3f, 1.0f);
    shared->uniqueIdentifier = "same-clip";
    for (auto* inst : {a.get(), b.get()}) {
        inst->setClipImage("Source", shared);
        inst->setClipImage("Output", solidImage(Depth::UByte, {0, 0, 16, 16}, 0, 0, 0, 0));
    }
    ASSERT_EQ(a->render(0.0, {0, 0, 16, 16}), kOfxStatOK);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(b->render(0.0, {0, 0, 16, 16}), kOfxStatOK);
    EXPECT_EQ(block.owner(), na);
}
