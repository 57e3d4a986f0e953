// Instances of the built plug-in through the host: parameter values a host
// restores, the panel by mode and crop, the active-instance registry as the
// shared block mirrors it, syncPrivateData and destruction.
#include "plugin_support.h"

#include <filesystem>

#include "Tests/support/scratch_folder.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

using namespace plugin_test;
using V = std::vector<double>;

namespace {

constexpr int kVisualization = 0;
constexpr int kCubeMap = 1;

class PluginInstance : public ::testing::Test {
protected:
    void SetUp() override {
        anchor_ = newInstance();
        ASSERT_NE(anchor_, nullptr);
        block_ = std::make_unique<BlockReader>();
        ASSERT_TRUE(block_->attached()) << "the first instance must have made the shared block";
    }
    void TearDown() override {
        block_.reset();
        anchor_.reset();
    }
    BlockReader& block() { return *block_; }

    // Keeps the block alive across a test, as a host with other nodes would.
    std::unique_ptr<ofxhost::Instance> anchor_;
    std::unique_ptr<BlockReader> block_;
};

}  // namespace

TEST_F(PluginInstance, NewInstanceStartsFromTheDefaults) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->value("pointSize"), V{4.0});
    EXPECT_EQ(inst->value("downsample"), V{2});
    EXPECT_EQ(inst->value("pluginMode"), V{0});
    EXPECT_EQ(inst->value("cubeMapSize"), V{30});
}

TEST_F(PluginInstance, ValuesRestoredByTheHostSurviveConstruction) {
    auto inst = newInstance({{"pointSize", {7.5}}, {"downsample", {4}}, {"frameRate", {3}}});
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->value("pointSize"), V{7.5});
    EXPECT_EQ(inst->value("downsample"), V{4});
    EXPECT_EQ(inst->value("frameRate"), V{3});
}

TEST_F(PluginInstance, VisualizationModeShowsTheGroupAndHidesTheCubeMapSize) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    EXPECT_FALSE(inst->secret("mainParameters"));
    EXPECT_TRUE(inst->secret("cubeMapSize"));
    EXPECT_TRUE(inst->enabled("downsample"));
}

TEST_F(PluginInstance, CubeMapModeShowsTheCubeMapSizeAndHidesTheGroup) {
    auto inst = newInstance({{"pluginMode", {kCubeMap}}});
    ASSERT_NE(inst, nullptr);
    EXPECT_TRUE(inst->secret("mainParameters"));
    EXPECT_FALSE(inst->secret("cubeMapSize"));
    EXPECT_FALSE(inst->enabled("downsample"));
}

TEST_F(PluginInstance, CropDisablesDownsampleFromTheStart) {
    auto inst = newInstance({{"cropToCubeMap", {1}}});
    ASSERT_NE(inst, nullptr);
    EXPECT_FALSE(inst->enabled("downsample"));
}

TEST_F(PluginInstance, TogglingCropDisablesAndEnablesDownsample) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    ASSERT_EQ(inst->setValue("cropToCubeMap", {1}), kOfxStatOK);
    EXPECT_FALSE(inst->enabled("downsample"));
    ASSERT_EQ(inst->setValue("cropToCubeMap", {0}), kOfxStatOK);
    EXPECT_TRUE(inst->enabled("downsample"));
}

TEST_F(PluginInstance, CropOffInCubeMapModeLeavesDownsampleDisabled) {
    auto inst = newInstance({{"pluginMode", {kCubeMap}}, {"cropToCubeMap", {1}}});
    ASSERT_NE(inst, nullptr);
    ASSERT_EQ(inst->setValue("cropToCubeMap", {0}), kOfxStatOK);
    EXPECT_FALSE(inst->enabled("downsample"));
}

TEST_F(PluginInstance, SwitchingModesFlipsThePanelAndTheActiveRole) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    const std::uint64_t n = instanceNumber(*inst, block());
    ASSERT_NE(n, 0u);

    ASSERT_EQ(inst->setValue("pluginMode", {kCubeMap}), kOfxStatOK);
    EXPECT_EQ(block().owner(), 0u) << "CubeMap mode gives the viewer up";
    EXPECT_TRUE(inst->secret("mainParameters"));
    EXPECT_FALSE(inst->secret("cubeMapSize"));
    EXPECT_FALSE(inst->enabled("downsample"));

    ASSERT_EQ(inst->setValue("pluginMode", {kVisualization}), kOfxStatOK);
    EXPECT_EQ(block().owner(), n) << "back in 3D visualization mode the instance takes the viewer again";
    EXPECT_FALSE(inst->secret("mainParameters"));
    EXPECT_TRUE(inst->secret("cubeMapSize"));
    EXPECT_TRUE(inst->enabled("downsample")) << "an instance made in CubeMap mode must get Downsample back";
}

TEST_F(PluginInstance, AnInstanceCreatedInCubeMapModeGetsDownsampleBackIn3DMode) {
    auto inst = newInstance({{"pluginMode", {kCubeMap}}});
    ASSERT_NE(inst, nullptr);
    ASSERT_EQ(inst->setValue("pluginMode", {kVisualization}), kOfxStatOK);
    EXPECT_TRUE(inst->enabled("downsample"));
}

TEST_F(PluginInstance, AnEditIn3DModeHandsTheViewerToThatInstance) {
    auto first = newInstance();
    auto second = newInstance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const std::uint64_t n1 = instanceNumber(*first, block());
    const std::uint64_t n2 = instanceNumber(*second, block());
    ASSERT_NE(n1, n2);
    ASSERT_EQ(first->syncPrivateData(), kOfxStatOK);
    ASSERT_EQ(block().owner(), n1);

    ASSERT_EQ(second->setValue("pointSize", {6.0}), kOfxStatOK);
    EXPECT_EQ(block().owner(), n2);
    EXPECT_EQ(block().ownerProcess(), orvalis::platform::currentProcessId());
}

TEST_F(PluginInstance, AnEditInCubeMapModeLeavesTheRegistryAlone) {
    auto first = newInstance();
    auto cube = newInstance({{"pluginMode", {kCubeMap}}});
    ASSERT_NE(first, nullptr);
    ASSERT_NE(cube, nullptr);
    const std::uint64_t n1 = instanceNumber(*first, block());
    ASSERT_EQ(cube->setValue("pointSize", {6.0}), kOfxStatOK);
    ASSERT_EQ(cube->setValue("cubeMapSize", {12}), kOfxStatOK);
    EXPECT_EQ(block().owner(), n1);
}

TEST_F(PluginInstance, SyncPrivateDataClaimsOnlyIn3DMode) {
    auto first = newInstance();
    auto cube = newInstance({{"pluginMode", {kCubeMap}}});
    ASSERT_NE(first, nullptr);
    ASSERT_NE(cube, nullptr);
    const std::uint64_t n1 = instanceNumber(*first, block());
    ASSERT_EQ(cube->syncPrivateData(), kOfxStatOK);
    EXPECT_EQ(block().owner(), n1);
}

TEST_F(PluginInstance, FrameRateChoicesAreAccepted) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    for (int option = 0; option < 5; ++option) {
        EXPECT_EQ(inst->setValue("frameRate", {static_cast<double>(option)}), kOfxStatOK);
        EXPECT_EQ(inst->value("frameRate"), V{static_cast<double>(option)});
    }
}

TEST_F(PluginInstance, DestroyingTheActiveInstanceFreesTheViewer) {
    auto inst = newInstance();
    ASSERT_NE(inst, nullptr);
    ASSERT_NE(instanceNumber(*inst, block()), 0u);
    inst.reset();
    EXPECT_EQ(block().owner(), 0u);
    EXPECT_EQ(block().ownerProcess(), 0u);
    // With the role free, the next claim goes through at once.
    auto next = newInstance();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(instanceNumber(*next, block()), 0u);
}

TEST_F(PluginInstance, DestroyingAnotherInstanceLeavesTheOwner) {
    auto owner = newInstance();
    auto other = newInstance();
    ASSERT_NE(owner, nullptr);
    ASSERT_NE(other, nullptr);
    (void)instanceNumber(*other, block());
    const std::uint64_t n = instanceNumber(*owner, block());
    other.reset();
    EXPECT_EQ(block().owner(), n);
}

TEST_F(PluginInstance, PluginCountFollowsInstancesInAndOut) {
    const std::uint32_t before = block().pluginCount();
    {
        auto a = newInstance();
        auto b = newInstance();
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(block().pluginCount(), before + 2);
    }
    EXPECT_EQ(block().pluginCount(), before);
}

TEST_F(PluginInstance, OpenViewerTellsTheUserThroughTheHostAndKeepsOneSnapshot) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows tells the user in a message box";
#else
    // A copy of the plug-in without the viewer beside it: the launch fails
    // the same way on every run, and the outcome must reach the host's
    // message suite, once per press, in CubeMap mode too.
    test_support::ScratchFolder scratch("orvalis-lonely-bundle");
    const std::filesystem::path binary = "Orvalis.ofx.bundle/Contents/Linux-x86-64/Orvalis.ofx";
    std::filesystem::create_directories((scratch.path() / binary).parent_path());
    std::filesystem::copy_file(std::filesystem::path(bundlePath()) / "Contents/Linux-x86-64/Orvalis.ofx",
                               scratch.path() / binary);
    auto countSnapshots = [] {
        int snapshots = 0;
        for (const auto& entry : std::filesystem::directory_iterator(orvalis::platform::tempFolder())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("qvt", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp") {
                ++snapshots;
            }
        }
        return snapshots;
    };
    const int before = countSnapshots();  // earlier processes leave theirs
    std::string error;
    auto lonely = ofxhost::Bundle::load((scratch.path() / "Orvalis.ofx.bundle").string(), error);
    ASSERT_NE(lonely, nullptr) << error;
    {
        auto inst = lonely->createInstance(0, kFilter, {{"pluginMode", {kCubeMap}}});
        ASSERT_NE(inst, nullptr) << lonely->lastError();
        ASSERT_EQ(inst->pressButton("open3DViewer"), kOfxStatOK);
        ASSERT_EQ(inst->pressButton("open3DViewer"), kOfxStatOK);
        const auto messages = inst->messages();
        ASSERT_EQ(messages.size(), 2u);
        for (const auto& m : messages) {
            EXPECT_EQ(m.id.rfind("Orvalis", 0), 0u) << m.id;
            EXPECT_FALSE(m.text.empty());
        }
    }
    lonely.reset();
    // Launch snapshots: at most one per host process is left behind.
    EXPECT_LE(countSnapshots() - before, 1);
#endif
}
