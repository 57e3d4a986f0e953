// What a host learns from the built bundle before any instance exists.
#include "plugin_support.h"

#include "ofxImageEffect.h"
#include "ofxParam.h"

#include <vector>

using namespace plugin_test;
using ofxhost::ParamInfo;
using V = std::vector<double>;
using S = std::vector<std::string>;

namespace {

// A range is {min, max, displayMin, displayMax}; `animates` is checked
// where it is 0 or 1.
struct ExpectedParam {
    std::string name, type, label, parent;
    S options;
    V defaultValue, range;
    double increment;
    int animates;
};

constexpr char kMain[] = "mainParameters";

const std::vector<ExpectedParam>& expectedParams() {
    static const std::vector<ExpectedParam> params = {
        {"pluginMode", kOfxParamTypeChoice, "Mode", "", {"Orvalis", "CubeMap"}, {0}, {}, 0, 0},
        {kMain, kOfxParamTypeGroup, "3D Visualization", "", {}, {}, {}, 0, -1},
        {"cropToCubeMap", kOfxParamTypeBoolean, "Crop to cube map", kMain, {}, {0}, {}, 0, 0},
        {"open3DViewer", kOfxParamTypePushButton, "Open 3D Viewer", kMain, {}, {}, {}, 0, -1},
        {"cubeMapSize", kOfxParamTypeInteger, "Cube Map Size", "", {}, {30}, {8, 30, 8, 30}, 0, 0},
        {"downsample", kOfxParamTypeChoice, "Downsample", kMain, {"100%", "75%", "50%", "25%", "10%"}, {2}, {}, 0, 0},
        {"frameRate", kOfxParamTypeChoice, "FPS", kMain, {"24", "25", "30", "50", "60"}, {0}, {}, 0, 0},
        {"pointSize", kOfxParamTypeDouble, "Points Size", kMain, {}, {4.0}, {1.0, 10.0, 1.0, 10.0}, 0.1, 1},
    };
    return params;
}

const std::map<std::string, std::string> kHints = {
    {"pluginMode", "Switch between (3D Cube Visualization) and (CubeMap)"},
    {kMain, "Main 3D visualization parameters"},
    {"cropToCubeMap", "Crop input image to the cube map region"},
    {"open3DViewer", "Open external 3D visualization window)"},
    {"cubeMapSize", "Number of color steps per channel"},
    {"downsample", "Lower the number of samples to reduce processing time"},
    {"frameRate", "Select frame rate for calculation and continuous updates"},
    {"pointSize", "3D sphere point size "},
};

void expectDescription(const ofxhost::PluginDescription& d) {
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.identifier, "com.Quillmere.Orvalis");
    EXPECT_EQ(d.versionMajor, 0u);
    EXPECT_EQ(d.versionMinor, 1u);
    EXPECT_EQ(d.label, "Orvalis 0.1.6");
    EXPECT_EQ(d.shortLabel, "Orvalis 0.1.6");
    EXPECT_EQ(d.longLabel, "Orvalis 0.1.6");
    EXPECT_EQ(d.grouping, "Quillmere");
    EXPECT_EQ(d.description, "3D RGB Cube Visualization");
    EXPECT_EQ(d.contexts, (S{kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}));
    EXPECT_EQ(d.depths, (S{kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat}));
    EXPECT_FALSE(d.singleInstance);
    EXPECT_TRUE(d.hostFrameThreading);
    EXPECT_FALSE(d.multiResolution);
    EXPECT_FALSE(d.tiles);
    EXPECT_EQ(d.renderThreadSafety, kOfxImageEffectRenderFullySafe);

    ASSERT_EQ(d.clips.size(), 2u);
    const ofxhost::ClipInfo* source = nullptr;
    const ofxhost::ClipInfo* output = nullptr;
    for (const auto& c : d.clips) {
        if (c.name == "Source")
            source = &c;
        if (c.name == "Output")
            output = &c;
    }
    ASSERT_NE(source, nullptr);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(source->components, (S{kOfxImageComponentRGBA}));
    EXPECT_FALSE(source->temporalAccess);
    EXPECT_FALSE(source->tiles);
    EXPECT_FALSE(source->isMask);
    EXPECT_EQ(output->components, (S{kOfxImageComponentRGBA}));
    EXPECT_FALSE(output->tiles);

    const auto& expected = expectedParams();
    ASSERT_EQ(d.params.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ParamInfo& p = d.params[i];
        const ExpectedParam& e = expected[i];
        SCOPED_TRACE("parameter " + e.name);
        EXPECT_EQ(p.name, e.name);
        EXPECT_EQ(p.type, e.type);
        EXPECT_EQ(p.label, e.label);
        EXPECT_EQ(p.shortLabel, e.label);
        EXPECT_EQ(p.longLabel, e.label);
        EXPECT_EQ(p.hint, kHints.at(e.name));
        EXPECT_EQ(p.parent, e.parent);
        EXPECT_EQ(p.options, e.options);
        if (!e.defaultValue.empty()) {
            EXPECT_EQ(p.defaultValue, e.defaultValue);
        }
        if (!e.range.empty()) {
            EXPECT_EQ(p.min, V{e.range[0]});
            EXPECT_EQ(p.max, V{e.range[1]});
            EXPECT_EQ(p.displayMin, V{e.range[2]});
            EXPECT_EQ(p.displayMax, V{e.range[3]});
        }
        if (e.increment != 0) {
            EXPECT_DOUBLE_EQ(p.increment, e.increment);
        }
        if (e.animates >= 0) {
            EXPECT_EQ(p.animates, e.animates == 1);
        }
        if (e.type == kOfxParamTypeGroup) {
            EXPECT_TRUE(p.open);
        }
        // Nothing is hidden or disabled at describe time.
        EXPECT_TRUE(p.enabled);
        EXPECT_FALSE(p.secret);
    }
}

}  // namespace

TEST(PluginDescription, TheBundleHoldsOnePlugin) { EXPECT_EQ(bundle().pluginCount(), 1); }

TEST(PluginDescription, FilterContextIsDescribedExactly) { expectDescription(bundle().describe(0, kFilter)); }

TEST(PluginDescription, GeneralContextGetsTheSameClipsAndParameters) {
    expectDescription(bundle().describe(0, kGeneral));
}
