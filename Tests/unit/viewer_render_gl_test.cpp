// What the renderer makes of a driver, without one: versions and the render
// path, the refusal text, entry-point name fallbacks, shader generations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "render/capabilities.h"
#include "render/gl_loader.h"
#include "render/shader_sources.h"

namespace {

using namespace orvalis::viewer;
namespace gln = glname;

// glGetString and glGetIntegerv from tables; a missing name gives null or 0.
struct FakeDriver {
    std::map<std::uint32_t, std::string> strings;
    std::map<std::uint32_t, std::int32_t> integers;

    GlQueries queries() const {
        return {[this](std::uint32_t name) -> const char* {
                    auto it = strings.find(name);
                    return it == strings.end() ? nullptr : it->second.c_str();
                },
                [this](std::uint32_t name) {
                    auto it = integers.find(name);
                    return it == integers.end() ? 0 : it->second;
                }};
    }
};

TEST(RenderCapabilities, VersionStringAndQueryGiveVersionAndPathAndGlslMinorHasTwoDigits) {
    const struct {
        const char* version;
        std::int32_t queriedMajor, queriedMinor, major, minor;
        RenderPath path;
        const char* glsl;
        int glslMajor, glslMinor;
    } cases[] = {
        {"3.1.0 Mesa 23.0.4", 0, 0, 3, 1, RenderPath::Compat30, "1.30", 1, 30},
        {"4.6.0 NVIDIA 535.54", 4, 6, 4, 6, RenderPath::Core32, "4.60 NVIDIA", 4, 60},
        {"3.0 Mesa 22.3.6", 4, 5, 4, 5, RenderPath::Core32, "4.6", 4, 60},       // the query wins when its major > 0
        {"3.3 (Core Profile)", 0, 7, 3, 3, RenderPath::Core32, "1.5", 1, 50},    // ... and only then
        {"2.1 Mesa 22.3.6", 4, 6, 2, 1, RenderPath::Legacy, "GLSL", 0, 0},       // below 3 nothing is queried
        {"OpenGL", 4, 6, 0, 0, RenderPath::None, "4.566666666666666666", 0, 0},  // a minor past int: no version
        {"4", 4, 6, 0, 0, RenderPath::None, "", 0, 0},
        {"1.4", 0, 0, 1, 4, RenderPath::None, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        FakeDriver driver;
        driver.strings[gln::kVersion] = c.version;
        driver.strings[gln::kShadingLanguageVersion] = c.glsl;
        driver.integers[gln::kMajorVersion] = c.queriedMajor;
        driver.integers[gln::kMinorVersion] = c.queriedMinor;
        GlCapabilities caps;
        caps.glMajor = caps.glMinor = caps.glslMajor = caps.glslMinor = 9;  // left from an earlier context
        detectCapabilities(caps, driver.queries());
        EXPECT_EQ(std::tuple(caps.glMajor, caps.glMinor, caps.renderPath), std::tuple(c.major, c.minor, c.path));
        EXPECT_EQ(std::pair(caps.glslMajor, caps.glslMinor), std::pair(c.glslMajor, c.glslMinor));
        EXPECT_STREQ(caps.versionText, c.version);
    }
}

TEST(RenderCapabilities, TextsAreBoundedAndKeptWhenTheDriverHasNone) {
    FakeDriver driver;
    driver.strings[gln::kVersion] = "3.2.0 " + std::string(400, 'v');
    driver.strings[gln::kRenderer] = "llvmpipe";
    driver.strings[gln::kVendor] = "Mesa";
    GlCapabilities caps;
    detectCapabilities(caps, driver.queries());
    EXPECT_EQ(std::strlen(caps.versionText), 255u);
    EXPECT_EQ(caps.renderPath, RenderPath::Core32);

    // A second look at a driver that now answers nothing changes nothing.
    detectCapabilities(caps, FakeDriver{}.queries());
    EXPECT_EQ(std::strlen(caps.versionText), 255u);
    EXPECT_STREQ(caps.rendererText, "llvmpipe");
    EXPECT_STREQ(caps.vendorText, "Mesa");
    EXPECT_EQ(caps.renderPath, RenderPath::Core32) << "the version is kept";

    const std::string report = capabilityReport(caps);
    EXPECT_NE(report.find("  Renderer: llvmpipe\n  Vendor: Mesa\n  Render Path: GL 3.2+ Core\n"), std::string::npos);
}

TEST(RenderCapabilities, RefusalTextNamesUnknownAndStaysBounded) {
    GlCapabilities empty;
    std::memcpy(empty.versionText, "2.1 Mesa", 9);
    const std::string unknown = openGlRequiredText(empty);
    EXPECT_NE(unknown.find("Detected OpenGL version: 2.1 Mesa\nGPU: Unknown\nVendor: Unknown\n\n"), std::string::npos);

    // Fields filled to the last byte, without a terminator: each is read as
    // 255 characters and the text still ends as it should.
    GlCapabilities full;
    std::memset(full.versionText, 'V', sizeof full.versionText);
    std::memset(full.rendererText, 'R', sizeof full.rendererText);
    std::memset(full.vendorText, 'D', sizeof full.vendorText);
    const std::string text = openGlRequiredText(full);
    EXPECT_NE(text.find("version: " + std::string(255, 'V') + "\nGPU: " + std::string(255, 'R') +
                        "\nVendor: " + std::string(255, 'D') + "\n\n"),
              std::string::npos);
    EXPECT_TRUE(text.ends_with("\n\nThe 3D Visualizer cannot run on this system."));
    EXPECT_EQ(text.size(), unknown.size() - 8 + 3 * 255 - 2 * 7);
}

// Has exactly the names in `available`, with a distinct fake pointer each;
// records every name asked.
struct FakeLookup {
    std::set<std::string> available;
    std::vector<std::string> asked;

    static GlProc pointerFor(const std::string& name) {
        static std::map<std::string, std::uintptr_t> ids;
        const auto it = ids.try_emplace(name, 0x1000 + 16 * ids.size()).first;
        return reinterpret_cast<GlProc>(it->second);
    }
    GlLookup lookup() {
        return [this](const char* name) -> GlProc {
            asked.emplace_back(name);
            return available.count(name) != 0 ? pointerFor(name) : nullptr;
        };
    }
    // The names asked for one base name, in order.
    std::vector<std::string> askedFor(const std::string& base) const {
        std::vector<std::string> out;
        std::copy_if(asked.begin(), asked.end(), std::back_inserter(out), [&](const std::string& name) {
            return name.rfind(base, 0) == 0 &&
                   (name.size() == base.size() || name.ends_with("ARB") || name.ends_with("EXT"));
        });
        return out;
    }
};

using Names = std::vector<std::string>;

TEST(RenderLoader, TriesPlainThenArbThenExtAndStopsAtTheFirst) {
    FakeLookup driver;
    driver.available = {"glGenBuffersARB",   "glBindBufferEXT", "glBufferData",  "glBufferDataARB",
                        "glCreateShaderARB", "glCreateProgram", "glLinkProgram", "glUseProgram"};
    GlCapabilities caps;
    const GlEntryTable table = loadGlFunctions(driver.lookup(), caps);

    EXPECT_EQ(table[GlEntry::GenBuffers], FakeLookup::pointerFor("glGenBuffersARB"));
    EXPECT_EQ(table[GlEntry::BindBuffer], FakeLookup::pointerFor("glBindBufferEXT"));
    EXPECT_EQ(table[GlEntry::BufferData], FakeLookup::pointerFor("glBufferData"));
    EXPECT_EQ(driver.askedFor("glGenBuffers"), (Names{"glGenBuffers", "glGenBuffersARB"}));
    EXPECT_EQ(driver.askedFor("glBindBuffer"), (Names{"glBindBuffer", "glBindBufferARB", "glBindBufferEXT"}));
    EXPECT_EQ(driver.askedFor("glBufferData"), (Names{"glBufferData"}));
    EXPECT_EQ(driver.askedFor("glBindAttribLocation"),
              (Names{"glBindAttribLocation", "glBindAttribLocationARB", "glBindAttribLocationEXT"}));
    EXPECT_FALSE(table.has(GlEntry::BufferSubData));
    EXPECT_TRUE(caps.hasVbo && caps.hasShaders && !caps.hasInstancing);

    // Vertex arrays are asked for by their plain names only.
    EXPECT_EQ(driver.askedFor("glGenVertexArrays"), (Names{"glGenVertexArrays"}));
    EXPECT_EQ(driver.asked.back(), "glBindVertexArray");

    // One of the four shader names missing clears the flag.
    driver.available.erase("glUseProgram");
    loadGlFunctions(driver.lookup(), caps);
    EXPECT_TRUE(caps.hasVbo && !caps.hasShaders);
}

TEST(RenderLoader, InstancingNeedsADivisorAndAnInstancedDraw) {
    const std::string d = "glVertexAttribDivisor", i = "glDrawElementsInstanced";
    const struct {
        std::set<std::string> available;
        std::string divisor, draw;  // the names expected to win, or none
    } cases[] = {
        {{d, d + "ARB", i, i + "ARB"}, d + "ARB", i + "ARB"},
        {{d, i, i + "EXT"}, d, i},
        {{i + "EXT"}, "", i + "EXT"},
        {{d + "ARB"}, d + "ARB", ""},
        {{d + "EXT", "glGenVertexArraysARB"}, "", ""},
    };
    for (const auto& c : cases) {
        FakeLookup driver;
        driver.available = c.available;
        GlCapabilities caps;
        caps.hasInstancing = true;  // stale from an earlier load
        const GlEntryTable table = loadGlFunctions(driver.lookup(), caps);
        EXPECT_EQ(table[GlEntry::VertexAttribDivisor], c.divisor.empty() ? nullptr : FakeLookup::pointerFor(c.divisor));
        EXPECT_EQ(table[GlEntry::DrawElementsInstanced], c.draw.empty() ? nullptr : FakeLookup::pointerFor(c.draw));
        EXPECT_EQ(caps.hasDivisor, !c.divisor.empty());
        EXPECT_EQ(caps.hasDrawInstanced, !c.draw.empty());
        EXPECT_EQ(caps.hasInstancing, !c.divisor.empty() && !c.draw.empty());
        EXPECT_FALSE(table.has(GlEntry::GenVertexArrays));
    }

    FakeLookup none;
    loadGlFunctions(none.lookup(), *std::make_unique<GlCapabilities>());
    EXPECT_EQ(none.askedFor(d), (Names{d + "ARB", d}));
    EXPECT_EQ(none.askedFor(i), (Names{i + "ARB", i, i + "EXT"}));

    // No lookup at all resolves nothing.
    GlCapabilities caps;
    const GlEntryTable table = loadGlFunctions(GlLookup{}, caps);
    EXPECT_TRUE(std::all_of(table.procs.begin(), table.procs.end(), [](GlProc p) { return p == nullptr; }));
    EXPECT_FALSE(caps.hasVbo || caps.hasShaders || caps.hasInstancing);
}

TEST(RenderShaders, PathPicksOneGenerationForAllFourTexts) {
    struct Case {
        int major;
        int minor;
        std::string versionLine;
        bool extensions;  // the sphere vertex shader enables the instancing extensions
    };
    const Case cases[] = {
        {3, 0, "#version 130\n", true},
        {3, 3, "#version 150 core\n", false},
        {2, 1, "#version 120\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.versionLine);
        const ShaderGeneration generation = shaderGenerationFor(chooseRenderPath(c.major, c.minor));
        const ShaderSources s = shaderSources(generation);
        const bool modern = generation != ShaderGeneration::Glsl120;
        for (const char* text : {s.spriteVertex, s.spriteFragment, s.sphereVertex, s.sphereFragment}) {
            const std::string source = text;
            EXPECT_EQ(source.rfind(c.versionLine, 0), 0u);
            EXPECT_EQ(source.find("#version", 1), std::string::npos);
            // 1.30 and 1.50 lack attribute, varying, gl_FragColor; 1.20 lacks in, out.
            for (const char* word : {"attribute ", "varying ", "gl_FragColor", "\nin ", "\nout "}) {
                const bool newer = word[0] == '\n';
                EXPECT_FALSE(newer != modern && source.find(word) != std::string::npos) << word;
            }
        }
        const std::string sphereVertex = s.sphereVertex;
        EXPECT_EQ(sphereVertex.find(c.versionLine + "#extension GL_ARB_draw_instanced : enable\n"
                                                    "#extension GL_ARB_instanced_arrays : enable\n") == 0,
                  c.extensions);
        EXPECT_EQ(std::string(s.spriteVertex).find("#extension"), std::string::npos);
    }
}

}  // namespace
