// A 3D visualization render reaches a reader: the worker samples the frame,
// the owner publishes it into the shared block.
#include "plugin_support.h"

#include <array>

#include "app/exchange_reader.h"

using namespace plugin_test;
using ofxhost::Depth;
namespace viewer = orvalis::viewer;

namespace {

// Renders one frame and waits for the reader to take the cloud it yields.
bool renderAndTake(ofxhost::Instance& inst, const BlockReader& block, viewer::IntakeState& state,
                   std::shared_ptr<ofxhost::ImageBuffer> source) {
    const ofxhost::RectI b = source->bounds();
    inst.setClipImage("Source", source);
    inst.setClipImage("Output", std::make_shared<ofxhost::ImageBuffer>(source->depth(), b));
    EXPECT_EQ(inst.render(0.0, b), kOfxStatOK);
    const BlockView view = block.view();
    return waitFor([&] { return viewer::readBlockStep(view, state); });
}

class PluginCloud : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(block_.attached()); }
    std::unique_ptr<ofxhost::Instance> inst_ = newInstance();
    BlockReader block_;  // opened once inst_ made it
    viewer::IntakeState state_;
};

}  // namespace

// The counts per choice and crop are the sampling unit tests'; here that the
// instance's choices reach the sampling.
TEST_F(PluginCloud, AFrameReachesTheBlockWithTheInstancesChoices) {
    ASSERT_EQ(inst_->setValue("pointSize", {7.5}), kOfxStatOK);
    ASSERT_EQ(inst_->setValue("downsample", {0}), kOfxStatOK);
    auto frame = solidImage(Depth::Float, {0, 0, 1920, 1080}, 0.25f, 0.5f, 0.75f);
    ASSERT_TRUE(renderAndTake(*inst_, block_, state_, frame)) << "no cloud reached the block";
    ASSERT_EQ(state_.points.size(), 99'777u);
    const auto& p = state_.points.front();
    // Position blue, green, red; colour red, green, blue.
    EXPECT_EQ((std::array{p.x, p.y, p.z, p.r, p.g, p.b}), (std::array{0.75f, 0.5f, 0.25f, 0.25f, 0.5f, 0.75f}));
    EXPECT_EQ(state_.pointSize, 7.5f);
    EXPECT_FALSE(state_.hasOutOfRange);
    EXPECT_GE(state_.lastSequence, 2u);
    // The points files that go with each publish are the exchange writer's
    // unit test (publishCloud) and, for their folder, the environment test's.

    ASSERT_EQ(inst_->setValue("cropToCubeMap", {1}), kOfxStatOK);
    ASSERT_TRUE(renderAndTake(*inst_, block_, state_, solidImage(Depth::UShort, {0, 0, 400, 300}, 0.5f, 0.5f, 0.5f)));
    EXPECT_EQ(state_.points.size(), 27'000u);
}

TEST_F(PluginCloud, ANonOwnerDoesNotOverwriteTheViewersCloud) {
    auto other = newInstance();
    ASSERT_TRUE(renderAndTake(*inst_, block_, state_, solidImage(Depth::UByte, {0, 0, 40, 40}, 0.2f, 0.2f, 0.2f)));
    const std::uint64_t seq = block_.sequence();
    // The other instance renders another source right away: the active one
    // keeps the viewer, so whatever the other's worker publishes stays out
    // of the block.
    auto image = solidImage(Depth::UByte, {0, 0, 50, 50}, 0.9f, 0.9f, 0.9f);
    image->uniqueIdentifier = "other-clip";
    other->setClipImage("Source", image);
    other->setClipImage("Output", solidImage(Depth::UByte, {0, 0, 50, 50}, 0, 0, 0));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(other->render(0.0, {0, 0, 50, 50}), kOfxStatOK);
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200)) {
        GTEST_SKIP() << "the machine is too slow to stay within the active instance's claim";
    }
    // Wait until the other's worker has let go of the image (processed it).
    ASSERT_TRUE(waitFor([&] { return other->outstandingImages() == 0; }));
    EXPECT_EQ(block_.sequence(), seq);
}
