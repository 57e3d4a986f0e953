#include "render/capabilities.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "orvalis/platform/dialog.h"
#include "render/gl_headers.h"

namespace orvalis::viewer {

static_assert(glname::kVendor == GL_VENDOR);
static_assert(glname::kRenderer == GL_RENDERER);
static_assert(glname::kVersion == GL_VERSION);
static_assert(glname::kShadingLanguageVersion == GL_SHADING_LANGUAGE_VERSION);
static_assert(glname::kMajorVersion == GL_MAJOR_VERSION);
static_assert(glname::kMinorVersion == GL_MINOR_VERSION);

namespace {

constexpr std::size_t kTextCapacity = sizeof(GlCapabilities::versionText);

// A text field as kept: never more than 255 characters, even when the
// record was filled by hand without a terminator.
std::string_view fieldText(const char (&field)[kTextCapacity]) noexcept {
    const void* end = std::memchr(field, '\0', kTextCapacity - 1);
    std::size_t length =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : kTextCapacity - 1;
    return {field, length};
}

// Copies a driver string, keeping at most 255 characters; no string keeps
// the old content.
bool copyDriverText(char (&field)[kTextCapacity], const char* text) noexcept {
    if (text == nullptr) {
        return false;
    }
    std::size_t length = 0;
    while (length < kTextCapacity - 1 && text[length] != '\0') {
        ++length;
    }
    std::memcpy(field, text, length);
    field[length] = '\0';
    return true;
}

// One "%d" of scanf, without its undefined behaviour: blanks, an optional
// sign, digits; false when the number does not fit an int.
bool readInt(const char*& text, int& value) noexcept {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    const char* digits = text + (*text == '+' ? 1 : 0);
    if (*text == '+' && *digits == '-') {
        return false;
    }
    const auto [end, error] = std::from_chars(digits, digits + std::strlen(digits), value);
    if (error != std::errc()) {
        return false;
    }
    text = end;
    return true;
}

// "%d.%d"; false unless both numbers were read and fit an int.
bool parseVersion(const char* text, int& major, int& minor) noexcept {
    int a = 0;
    int b = 0;
    if (!readInt(text, a) || *text != '.' || !readInt(++text, b)) {
        return false;
    }
    major = a;
    minor = b;
    return true;
}

std::string formatted(const char* format, auto... args) {
    int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace

const char* renderPathLabel(RenderPath path) noexcept {
    switch (path) {
    case RenderPath::Core32: return "GL 3.2+ Core";
    case RenderPath::Compat30: return "GL 3.0 Compat";
    case RenderPath::Legacy: return "Legacy (>=3.0)";
    case RenderPath::None: break;
    }
    return "NONE (<3.0)";
}

RenderPath chooseRenderPath(std::int32_t glMajor, std::int32_t glMinor) noexcept {
    if (glMajor >= 4 || (glMajor == 3 && glMinor >= 2)) {
        return RenderPath::Core32;
    }
    if (glMajor == 3) {
        return RenderPath::Compat30;
    }
    if (glMajor == 2) {
        return RenderPath::Legacy;
    }
    return RenderPath::None;
}

void detectCapabilities(GlCapabilities& caps, const GlQueries& queries) {
    auto getString = [&](std::uint32_t name) -> const char* {
        return queries.getString ? queries.getString(name) : nullptr;
    };

    if (copyDriverText(caps.versionText, getString(glname::kVersion))) {
        caps.glMajor = 0;
        caps.glMinor = 0;
        parseVersion(caps.versionText, caps.glMajor, caps.glMinor);
    }
    if (caps.glMajor >= 3 && queries.getInteger) {
        const std::int32_t major = queries.getInteger(glname::kMajorVersion);
        const std::int32_t minor = queries.getInteger(glname::kMinorVersion);
        if (major > 0) {
            caps.glMajor = major;
            caps.glMinor = minor;
        }
    }
    if (copyDriverText(caps.glslText, getString(glname::kShadingLanguageVersion))) {
        caps.glslMajor = 0;
        caps.glslMinor = 0;
        int major = 0;
        int minor = 0;
        if (parseVersion(caps.glslText, major, minor)) {
            caps.glslMajor = major;
            caps.glslMinor = minor >= 0 && minor < 10 ? minor * 10 : minor;
        }
    }
    copyDriverText(caps.rendererText, getString(glname::kRenderer));
    copyDriverText(caps.vendorText, getString(glname::kVendor));

    caps.renderPath = chooseRenderPath(caps.glMajor, caps.glMinor);
    platform::debugOutput(capabilityReport(caps));
}

std::string capabilityReport(const GlCapabilities& caps) {
    // Composed to its full length: four 255-character driver strings do not
    // fit a 1024-character line, and the path is the part that matters.
    const std::string version(fieldText(caps.versionText));
    const std::string glsl(fieldText(caps.glslText));
    const std::string renderer(fieldText(caps.rendererText));
    const std::string vendor(fieldText(caps.vendorText));
    return formatted(
        "GL Capabilities:\n  Version: %s (parsed: %d.%d)\n  GLSL: %s (parsed: %d.%d)\n  Renderer: %s\n  Vendor: "
        "%s\n  Render Path: %s\n",
        version.c_str(), static_cast<int>(caps.glMajor), static_cast<int>(caps.glMinor), glsl.c_str(),
        static_cast<int>(caps.glslMajor), static_cast<int>(caps.glslMinor), renderer.c_str(), vendor.c_str(),
        renderPathLabel(caps.renderPath));
}

std::string openGlRequiredText(const GlCapabilities& caps) {
    // Each driver string is at most 255 characters, so the text is bounded
    // (about 1,200 characters) and is composed at its full length.
    auto shown = [](const char(&field)[kTextCapacity]) {
        std::string text(fieldText(field));
        return text.empty() ? std::string("Unknown") : text;
    };
    const std::string version = shown(caps.versionText);
    const std::string renderer = shown(caps.rendererText);
    const std::string vendor = shown(caps.vendorText);
    return formatted(
        "This application requires OpenGL 3.0 or above.\n\nDetected OpenGL version: %s\nGPU: %s\nVendor: "
        "%s\n\nYour GPU drivers may be out of date or your hardware may not support the required OpenGL "
        "version.\n\nRecommended actions:\n1. Update your GPU drivers from the manufacturer's website\n2. Check "
        "if your GPU supports OpenGL 3.0+\n\nThe 3D Visualizer cannot run on this system.",
        version.c_str(), renderer.c_str(), vendor.c_str());
}

}  // namespace orvalis::viewer
