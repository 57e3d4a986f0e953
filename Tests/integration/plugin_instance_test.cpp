// Instances of the built plug-in through the host: parameter values a host
// restores, the panel by mode and crop, the active-instance registry as the
// shared block mirrors it, syncPrivateData and destruction. (The viewer
// button's messages through the host are the environment test's.)
#include "plugin_support.h"

using namespace plugin_test;
using V = std::vector<double>;

namespace {

constexpr int kVisualization = 0;
constexpr int kCubeMap = 1;

// The anchor keeps the block alive across a test, as a host with other
// nodes would; the reader opens it after the anchor made it.
class PluginInstance : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(block_.attached()) << "the first instance must have made the shared block"; }
    BlockReader& block() { return block_; }

    std::unique_ptr<ofxhost::Instance> anchor_ = newInstance();
    BlockReader block_;
};

}  // namespace

// The defaults are the description's, which the host applies (the probe's test).
TEST_F(PluginInstance, RestoredValuesSurviveConstruction) {
    auto restored = newInstance({{"pointSize", {7.5}}, {"downsample", {4}}, {"frameRate", {3}}});
    EXPECT_EQ(restored->value("pointSize"), V{7.5});
    EXPECT_EQ(restored->value("downsample"), V{4});
    EXPECT_EQ(restored->value("frameRate"), V{3});
}

// The panel by mode, crop and edits: the group and the cube-map size swap
// places with the mode; "downsample" is usable only without crop in 3D mode.
// A row ends with: group hidden, size hidden, downsample enabled (1: yes).
TEST_F(PluginInstance, PanelStates) {
    struct Row {
        const char* what;
        std::map<std::string, std::vector<double>> start;
        std::vector<std::pair<const char*, double>> edits;
        int groupHidden, sizeHidden, downsampleEnabled;
    };
    const Row rows[] = {
        {"3D mode", {}, {}, 0, 1, 1},
        {"cube-map mode", {{"pluginMode", {kCubeMap}}}, {}, 1, 0, 0},
        {"crop from the start", {{"cropToCubeMap", {1}}}, {}, 0, 1, 0},
        {"crop on", {}, {{"cropToCubeMap", 1}}, 0, 1, 0},
        {"crop on and off", {}, {{"cropToCubeMap", 1}, {"cropToCubeMap", 0}}, 0, 1, 1},
        {"crop off, cube map", {{"pluginMode", {kCubeMap}}, {"cropToCubeMap", {1}}}, {{"cropToCubeMap", 0}}, 1, 0, 0},
        {"to cube-map mode", {}, {{"pluginMode", kCubeMap}}, 1, 0, 0},
        {"made in cube-map mode, back in 3D", {{"pluginMode", {kCubeMap}}}, {{"pluginMode", kVisualization}}, 0, 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto inst = newInstance(row.start);
        for (const auto& [name, value] : row.edits) {
            ASSERT_EQ(inst->setValue(name, {value}), kOfxStatOK);
        }
        EXPECT_EQ(inst->secret("mainParameters"), row.groupHidden == 1);
        EXPECT_EQ(inst->secret("cubeMapSize"), row.sizeHidden == 1);
        EXPECT_EQ(inst->enabled("downsample"), row.downsampleEnabled == 1);
    }
}

TEST_F(PluginInstance, EditsSyncAndModeSwitchesClaimTheViewerOnlyIn3DMode) {
    auto first = newInstance();
    auto second = newInstance();
    auto cube = newInstance({{"pluginMode", {kCubeMap}}});
    const std::uint64_t n1 = instanceNumber(*first, block());
    const std::uint64_t n2 = instanceNumber(*second, block());
    ASSERT_NE(n1, n2);
    ASSERT_EQ(first->syncPrivateData(), kOfxStatOK);
    ASSERT_EQ(block().owner(), n1);

    ASSERT_EQ(cube->setValue("pointSize", {6.0}), kOfxStatOK);
    ASSERT_EQ(cube->setValue("cubeMapSize", {12}), kOfxStatOK);
    ASSERT_EQ(cube->syncPrivateData(), kOfxStatOK);
    EXPECT_EQ(block().owner(), n1);

    ASSERT_EQ(second->setValue("pointSize", {6.0}), kOfxStatOK);
    EXPECT_EQ(block().owner(), n2);

    ASSERT_EQ(second->setValue("pluginMode", {kCubeMap}), kOfxStatOK);
    EXPECT_EQ(block().owner(), 0u) << "CubeMap mode gives the viewer up";
    ASSERT_EQ(second->setValue("pluginMode", {kVisualization}), kOfxStatOK);
    EXPECT_EQ(block().owner(), n2) << "back in 3D visualization mode the instance takes the viewer again";
}

TEST_F(PluginInstance, DestroyingAnInstanceFreesTheViewerOnlyIfItHeldIt) {
    auto owner = newInstance();
    auto other = newInstance();
    (void)instanceNumber(*other, block());
    const std::uint64_t n = instanceNumber(*owner, block());
    other.reset();
    EXPECT_EQ(block().owner(), n);
    owner.reset();
    EXPECT_EQ(block().owner(), 0u);
    // With the role free, the next claim goes through at once.
    auto next = newInstance();
    EXPECT_NE(instanceNumber(*next, block()), 0u);
}
