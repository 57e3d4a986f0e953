// What a host learns from the built bundle before any instance exists.
#include "plugin_support.h"

#include "ofxImageEffect.h"
#include "ofxParam.h"

#include <set>
#include <vector>

using namespace plugin_test;
using ofxhost::ParamInfo;
using V = std::vector<double>;
using S = std::vector<std::string>;

namespace {

// A range is {min, max, displayMin, displayMax}; empty for none.
struct ExpectedParam {
    std::string name, type, label, parent;
    S options;
    V defaultValue;
    std::vector<V> range;
    double increment;
    bool animates;
};

constexpr char kMain[] = "mainParameters";

const std::vector<ExpectedParam> kParams = {
    {"pluginMode", kOfxParamTypeChoice, "Mode", "", {"Orvalis", "CubeMap"}, {0}, {}, 0, false},
    {kMain, kOfxParamTypeGroup, "3D Visualization", "", {}, {}, {}, 0, false},
    {"cropToCubeMap", kOfxParamTypeBoolean, "Crop to cube map", kMain, {}, {0}, {}, 0, false},
    {"open3DViewer", kOfxParamTypePushButton, "Open 3D Viewer", kMain, {}, {}, {}, 0, false},
    {"cubeMapSize", kOfxParamTypeInteger, "Cube Map Size", "", {}, {30}, {{8}, {30}, {8}, {30}}, 0, false},
    {"downsample", kOfxParamTypeChoice, "Downsample", kMain, {"100%", "75%", "50%", "25%", "10%"}, {2}, {}, 0, false},
    {"frameRate", kOfxParamTypeChoice, "FPS", kMain, {"24", "25", "30", "50", "60"}, {0}, {}, 0, false},
    {"pointSize", kOfxParamTypeDouble, "Points Size", kMain, {}, {4.0}, {{1.0}, {10.0}, {1.0}, {10.0}}, 0.1, true},
};

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
    EXPECT_EQ((S{d.label, d.shortLabel, d.longLabel}), S(3, "Orvalis 0.1.6"));
    EXPECT_EQ(d.grouping, "Quillmere");
    EXPECT_EQ(d.description, "3D RGB Cube Visualization");
    EXPECT_EQ(d.contexts, (S{kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}));
    EXPECT_EQ(d.depths, (S{kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat}));
    EXPECT_EQ((std::vector<bool>{d.singleInstance, d.hostFrameThreading, d.multiResolution, d.tiles}),
              (std::vector<bool>{false, true, false, false}));
    EXPECT_EQ(d.renderThreadSafety, kOfxImageEffectRenderFullySafe);

    std::set<std::string> clipNames;
    for (const ofxhost::ClipInfo& c : d.clips) {
        clipNames.insert(c.name);
        EXPECT_EQ(c.components, (S{kOfxImageComponentRGBA})) << c.name;
        EXPECT_FALSE(c.temporalAccess || c.tiles || c.isMask) << c.name;
    }
    EXPECT_EQ(clipNames, (std::set<std::string>{"Output", "Source"}));
    EXPECT_EQ(d.clips.size(), 2u);

    ASSERT_EQ(d.params.size(), kParams.size());
    for (std::size_t i = 0; i < kParams.size(); ++i) {
        const ParamInfo& p = d.params[i];
        const ExpectedParam& e = kParams[i];
        SCOPED_TRACE("parameter " + e.name);
        EXPECT_EQ(p.name, e.name);
        EXPECT_EQ(p.type, e.type);
        EXPECT_EQ((S{p.label, p.shortLabel, p.longLabel}), S(3, e.label));
        EXPECT_EQ(p.hint, kHints.at(e.name));
        EXPECT_EQ(p.parent, e.parent);
        EXPECT_EQ(p.options, e.options);
        EXPECT_EQ(p.defaultValue, e.defaultValue);
        EXPECT_EQ((std::vector<V>{p.min, p.max, p.displayMin, p.displayMax}),
                  e.range.empty() ? std::vector<V>(4) : e.range);
        EXPECT_DOUBLE_EQ(p.increment, e.increment);
        EXPECT_EQ(p.animates, e.animates);
        EXPECT_EQ(p.open, e.type == kOfxParamTypeGroup);
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
