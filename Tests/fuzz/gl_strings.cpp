// The driver's strings and version numbers as the viewer's capability
// detection reads them. Input: two 32-bit integers (GL_MAJOR_VERSION,
// GL_MINOR_VERSION), then vendor, renderer, version and shading-language
// texts separated by zero bytes; a text the input does not reach is null,
// as a driver without it answers.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Tests/fuzz/fuzz_support.h"
#include "render/capabilities.h"

namespace {

using fuzz_support::check;

bool terminated(const char (&text)[256]) { return std::memchr(text, '\0', sizeof text) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalis::viewer;
    if (size < 8) {
        return 0;
    }
    std::int32_t integers[2];
    std::memcpy(integers, data, sizeof integers);
    std::vector<std::optional<std::string>> texts(4);
    std::size_t at = 8;
    for (auto& text : texts) {
        if (at > size) {
            break;
        }
        const auto* start = reinterpret_cast<const char*>(data + at);
        const auto* zero = static_cast<const char*>(std::memchr(start, '\0', size - at));
        const std::size_t length = zero != nullptr ? static_cast<std::size_t>(zero - start) : size - at;
        text = std::string(start, length);
        at += length + 1;
    }
    GlQueries queries;
    queries.getString = [&](std::uint32_t name) -> const char* {
        const std::size_t i = name == glname::kVendor                   ? 0
                              : name == glname::kRenderer               ? 1
                              : name == glname::kVersion                ? 2
                              : name == glname::kShadingLanguageVersion ? 3
                                                                        : 4;
        return i < texts.size() && texts[i] ? texts[i]->c_str() : nullptr;
    };
    queries.getInteger = [&](std::uint32_t name) {
        return name == glname::kMajorVersion ? integers[0] : name == glname::kMinorVersion ? integers[1] : 0;
    };
    GlCapabilities caps;
    detectCapabilities(caps, queries);
    check(terminated(caps.versionText) && terminated(caps.glslText) && terminated(caps.rendererText) &&
          terminated(caps.vendorText));
    check(caps.renderPath == chooseRenderPath(caps.glMajor, caps.glMinor));
    (void)capabilityReport(caps);
    check(openGlRequiredText(caps).size() < 4096);
    return 0;
}
