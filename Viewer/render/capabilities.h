// What the current OpenGL context offers and which drawing path the viewer
// takes with it. Detection reads the driver through injected queries, so
// the parsing rules are tested without a context.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvalis::viewer {

enum class RenderPath : std::int32_t { None = 0, Core32 = 1, Compat30 = 2, Legacy = 3 };

// The report label of a path ("GL 3.2+ Core", ...).
const char* renderPathLabel(RenderPath path) noexcept;

struct GlCapabilities {
    std::int32_t glMajor = 0;
    std::int32_t glMinor = 0;
    std::int32_t glslMajor = 0;
    std::int32_t glslMinor = 0;  // always two digits: "1.5" and "1.50" give 50
    RenderPath renderPath = RenderPath::None;
    bool hasInstancing = false;
    bool hasVbo = false;
    bool hasShaders = false;
    bool hasDivisor = false;
    bool hasDrawInstanced = false;
    char versionText[256] = {};
    char glslText[256] = {};
    char rendererText[256] = {};
    char vendorText[256] = {};
};

// The GL names detection asks for (the values of GL_VERSION etc., so that
// callers and tests need no GL header).
namespace glname {
inline constexpr std::uint32_t kVendor = 0x1F00;
inline constexpr std::uint32_t kRenderer = 0x1F01;
inline constexpr std::uint32_t kVersion = 0x1F02;
inline constexpr std::uint32_t kShadingLanguageVersion = 0x8B8C;
inline constexpr std::uint32_t kMajorVersion = 0x821B;
inline constexpr std::uint32_t kMinorVersion = 0x821C;
}  // namespace glname

// The driver as detection sees it: glGetString and glGetIntegerv.
struct GlQueries {
    std::function<const char*(std::uint32_t name)> getString;  // null when none
    std::function<std::int32_t(std::uint32_t name)> getInteger;
};

// Fills versions, texts and the path from the driver and writes the
// capability report to the debug output.
void detectCapabilities(GlCapabilities& caps, const GlQueries& queries);
// 4.x and 3.2+: Core32; 3.0 and 3.1: Compat30; 2.x: Legacy; else None.
RenderPath chooseRenderPath(std::int32_t glMajor, std::int32_t glMinor) noexcept;
// The "GL Capabilities:" report, one debug line of several text lines.
std::string capabilityReport(const GlCapabilities& caps);

// The refusal shown when the context is older than 3.0; the text is bounded
// whatever the driver strings hold.
inline constexpr char kOpenGlRequiredTitle[] = "OpenGL 3.0+ Required";
std::string openGlRequiredText(const GlCapabilities& caps);

}  // namespace orvalis::viewer
