// The command-line host: its description text, parameter parsing, image
// files, the sample frame and whole runs of describe and render.
#include <gtest/gtest.h>

#include "Tests/support/scratch_folder.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "ofxhost/cli.h"
#include "ofxhost/image_io.h"

namespace {

using namespace ofxhost;
namespace fs = std::filesystem;

using TempDir = test_support::ScratchFolder;

PluginDescription probeDescription() {
    std::string error;
    auto bundle = Bundle::load(HOST_PROBE_BUNDLE, error);
    EXPECT_TRUE(bundle) << error;
    return bundle ? bundle->describe(0) : PluginDescription{};
}

int run(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int rc = runCommandLine(args, o, e);
    out = o.str();
    err = e.str();
    return rc;
}

// A render through the probe that ends as soon as it is written.
int render(std::vector<std::string> args, std::string& out, std::string& err) {
    args.insert(args.begin(), {"render", HOST_PROBE_BUNDLE, "--keep-alive", "0"});
    return run(args, out, err);
}

TEST(HostToolDescribe, PrintsParametersInOrderWithQuotedTexts) {
    const std::string text = formatDescription(probeDescription());
    for (const char* line : {"label: \"Host Probe\"", "short label: \"Probe\"", "grouping: \"Orvalis/Tests\"",
                             "render thread safety: OfxImageEffectRenderFullySafe", "hint: \"How many \"\n",
                             "options: 0 \"Copy\", 1 \"Invert\", 2 \"50%\"",
                             "range: 1 .. 10\n    display range: 2 .. 8", "increment: 0.25", "group open: yes"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    const auto mode = text.find("\"mode\": Choice");
    const auto grp = text.find("\"grp\": Group");
    const auto count = text.find("\"count\": Integer");
    const auto hidden = text.find("\"hidden\": Integer");
    ASSERT_NE(hidden, std::string::npos);
    EXPECT_LT(mode, grp);
    EXPECT_LT(grp, count);
    EXPECT_LT(count, hidden);
    const std::string countBlock = text.substr(count, text.find("\"gain\"") - count);
    EXPECT_NE(countBlock.find("parent: \"grp\""), std::string::npos);
    EXPECT_NE(countBlock.find("animates: no"), std::string::npos);
    const std::string hiddenBlock = text.substr(hidden);
    EXPECT_NE(hiddenBlock.find("enabled: no"), std::string::npos);
    EXPECT_NE(hiddenBlock.find("secret: yes"), std::string::npos);
}

TEST(HostToolParams, ChoicesByIndexOrTextBooleansAndNumbers) {
    const PluginDescription d = probeDescription();
    const struct {
        const char* assignment;
        std::optional<double> value;  // empty: refused
    } cases[] = {
        {"mode=50%", 2},  {"mode=1", 1},      {"mode=3", {}},      {"mode=Sideways", {}},
        {"flag=off", 0},  {"flag=maybe", {}}, {"gain=2.75", 2.75}, {"gain=1,2", {}},
        {"gain=abc", {}}, {"bump=1", {}},     {"novalue", {}},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto a = parseParamAssignment(c.assignment, d, error);
        ASSERT_EQ(a.has_value(), c.value.has_value()) << c.assignment << ": " << error;
        EXPECT_TRUE(!a || a->values == std::vector<double>{*c.value}) << c.assignment;
    }
    std::string error;
    const auto note = parseParamAssignment("note=a=b", d, error);
    ASSERT_TRUE(note) << error;
    EXPECT_EQ(note->text, "a=b");
    EXPECT_FALSE(parseParamAssignment("nosuch=1", d, error));
    EXPECT_NE(error.find("nosuch"), std::string::npos);
}

TEST(HostToolImages, MalformedFilesAreErrors) {
    TempDir dir;
    std::string error;
    std::ofstream(dir.file("short.pam"), std::ios::binary)
        << "P7\nWIDTH 100\nHEIGHT 100\nDEPTH 4\nMAXVAL 255\nENDHDR\nxx";
    EXPECT_FALSE(readImage(dir.file("short.pam"), error));
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;
    std::ofstream(dir.file("huge.ppm"), std::ios::binary) << "P6\n99999999 99999999\n255\n";
    EXPECT_FALSE(readImage(dir.file("huge.ppm"), error));
    std::ofstream(dir.file("junk.pfm"), std::ios::binary) << "hello";
    EXPECT_FALSE(readImage(dir.file("junk.pfm"), error));
    EXPECT_FALSE(readImage(dir.file("missing.pam"), error));
}

#if ORVALIS_HOST_OIIO
TEST(HostToolImages, LibraryFormatsRoundTrip) {
    TempDir dir;
    ImageBuffer image(Depth::Float, RectI{0, 0, 4, 3});
    const float c[4] = {1.75f, 0.5f, -0.125f, 1.0f};
    image.setPixel(3, 2, c);
    std::string error;
    ASSERT_TRUE(writeImage(dir.file("a.exr"), image, error)) << error;
    auto back = readImage(dir.file("a.exr"), error);
    ASSERT_TRUE(back) << error;
    float rgba[4];
    back->getPixel(3, 2, rgba);
    EXPECT_EQ(rgba[0], 1.75f);
    EXPECT_EQ(rgba[2], -0.125f);
    auto eight = convertImage(image, Depth::UByte);
    ASSERT_TRUE(writeImage(dir.file("a.png"), *eight, error)) << error;
    back = readImage(dir.file("a.png"), error);
    ASSERT_TRUE(back) << error;
    back->getPixel(3, 2, rgba);
    EXPECT_EQ(rgba[0], 1.0f);
    EXPECT_EQ(rgba[2], 0.0f);
    auto sixteen = convertImage(image, Depth::UShort, 6, true);
    ASSERT_TRUE(writeImage(dir.file("a.tif"), *sixteen, error)) << error;
    back = readImage(dir.file("a.tif"), error);
    ASSERT_TRUE(back) << error;
    back->getPixel(3, 2, rgba);
    EXPECT_NEAR(rgba[1], 0.5f, 1.0f / 65535.0f);
}
#endif

TEST(HostToolRun, DescribeAndErrorsGiveExitCodes) {
    TempDir dir;
    fs::create_directories(dir.path() / "Nothing.ofx.bundle" / "Contents");
    std::ofstream(dir.file("Bogus.ofx"), std::ios::binary) << "not a library";
    std::string out, err;
    EXPECT_EQ(run({"describe", HOST_PROBE_BUNDLE}, out, err), 0) << err;
    EXPECT_NE(out.find("identifier: com.orvalis.test.HostProbe"), std::string::npos);
    // No such path, a bundle without this platform's binary, no library, a library without entry points.
    const std::pair<std::string, std::string> failures[] = {{"/no/such.ofx.bundle", "/no/such.ofx.bundle"},
                                                            {dir.file("Nothing.ofx.bundle"), "no binary"},
                                                            {dir.file("Bogus.ofx"), "Bogus.ofx"},
                                                            {HOST_EMPTY_BUNDLE, "OfxGetNumberOfPlugins"}};
    for (const auto& [path, says] : failures) {
        EXPECT_EQ(run({"describe", path}, out, err), 2) << path;
        EXPECT_NE(err.find(says), std::string::npos) << err;
    }
    EXPECT_EQ(run({}, out, err), 1);
    EXPECT_NE(err.find("usage"), std::string::npos);
    EXPECT_EQ(run({"render", HOST_PROBE_BUNDLE, "--depth", "8"}, out, err), 1);  // no output
    EXPECT_EQ(run({"render", HOST_PROBE_BUNDLE, "--output", "x.pam", "--depth", "12"}, out, err), 1);
    EXPECT_EQ(run({"render", HOST_PROBE_BUNDLE, "--output", "x.unknownformat", "--depth", "8"}, out, err), 1);
    EXPECT_NE(err.find("x.unknownformat"), std::string::npos);
    EXPECT_EQ(run({"render", HOST_PROBE_BUNDLE, "--output", "x.pam", "--depth", "8", "--param", "mode=9"}, out, err),
              1);
}

TEST(HostToolRun, RendersTheSampleThroughTheEffectAtEachDepth) {
    TempDir dir;
    auto sample = makeSampleFrame(64, 48);
    std::string error;
    ASSERT_TRUE(writeImage(dir.file("in.pam"), *convertImage(*sample, Depth::UShort), error)) << error;
    const struct {
        std::vector<std::string> args;
        Depth depth;  // of the output, which the sample is clamped and rounded to
        bool inverted;
    } cases[] = {
        {{"--sample", "64x48", "--depth", "8", "--param", "mode=Invert", "--output", dir.file("inv.pam")},
         Depth::UByte,
         true},
        // Values outside 0..1 survive PFM, which has no alpha (the sample is opaque);
        // PAM keeps the row order (above) and 16 bits (below).
        {{"--sample", "64x48", "--depth", "float", "--output", dir.file("copy.pfm")}, Depth::Float, false},
        {{"--input", dir.file("in.pam"), "--depth", "16", "--output", dir.file("out16.pam")}, Depth::UShort, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::string out, err;
        ASSERT_EQ(render(c.args, out, err), 0) << err;
        auto result = readImage(c.args.back(), error);
        ASSERT_TRUE(result) << error;
        auto expected = convertImage(*sample, c.depth);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                float e[4], r[4];
                expected->getPixel(x, y, e);
                result->getPixel(x, y, r);
                for (int k = 0; k < 4; ++k)
                    ASSERT_NEAR(r[k], c.inverted && k < 3 ? 1.0f - e[k] : e[k], 1e-6f) << x << "," << y << " " << k;
            }
    }
}

// What the tool says instead of failing late or silently: each case adds to
// a plain 8x8 render; "out" in stdout marks that nothing was rendered.
TEST(HostToolRun, LimitsUnwritableOutputsAndOutOfRangeValuesAreSaid) {
    TempDir dir;
    fs::create_directories(dir.file("folder.pam"));
    struct Case {
        std::vector<std::string> extra;
        int rc;
        std::string err, out;
    };
    const Case cases[] = {
        {{"--sample", "16385x8"}, 1, "each side may be at most 16384", ""},
        {{"--sample", "8x99999"}, 1, "each side may be at most 16384", ""},
        {{"--output", dir.file("missing/o.pam")}, 4, "does not exist", ""},
        {{"--output", dir.file("folder.pam")}, 4, "it is a folder", ""},
        {{"--param", "gain=7.5"}, 0, "\"gain\": 7.5 is outside its range 0 .. 4; using 4", "param gain = 4\n"},
        {{"--param", "count=-3"}, 0, "\"count\": -3 is outside its range 1 .. 10; using 1", "param count = 1\n"},
        {{"--param", "gain=4"}, 0, "", "param gain = 4\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--sample", "8x8", "--depth", "8", "--output", dir.file("o.pam")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        std::string out, err;
        SCOPED_TRACE(c.extra.back());
        EXPECT_EQ(render(args, out, err), c.rc) << err;
        if (c.err.empty())
            EXPECT_EQ(err, "");
        else
            EXPECT_NE(err.find(c.err), std::string::npos) << err;
        if (c.out.empty())
            EXPECT_EQ(out, "");  // refused before anything was rendered
        else
            EXPECT_NE(out.find(c.out), std::string::npos) << out;
    }
    EXPECT_FALSE(fs::exists(dir.file("missing")));
}

}  // namespace
