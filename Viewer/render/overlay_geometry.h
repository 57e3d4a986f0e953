// The gamut badge as plain values: the interface scale, the badge's
// geometry and colours, the label sizes and the rule that rebuilds the
// label textures. Window pixels, origin bottom-left, y upwards.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace orvalis::viewer {

// Which of the two labels.
enum class GamutLabel { InGamut, OutOfGamut };

// A point in window pixels.
struct OverlayPoint {
    float x = 0.0f;
    float y = 0.0f;
};

// A size in whole pixels (or texels).
struct LabelSize {
    int width = 0;
    int height = 0;
};

// Red, green, blue, alpha in 0..1.
struct OverlayColour {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};

// Segments of each disc of the status dot.
inline constexpr int kDotSegments = 24;
// Points of each rounded corner of the badge.
inline constexpr int kCornerPoints = 9;

// The interface scale for a client area `height` pixels high: 1 up to 720
// pixels, growing linearly to 4 at 2880 and staying there.
float interfaceScale(int height) noexcept;

// The label texts as drawn: "In Gamut", "Out of Gamut".
const char* labelText(GamutLabel which) noexcept;

// The label's display size at scale s: 60 (in gamut) or 82 (out of gamut)
// by 14, times max(1, s), each truncated.
LabelSize labelDisplaySize(GamutLabel which, float scale) noexcept;

// The texture behind a label of that display size: twice each side, so the
// label is shown at half its texel size.
LabelSize labelTextureSize(LabelSize display) noexcept;

// The character height of the label text at scale s: 22 x max(1, s),
// truncated.
int labelPixelHeight(float scale) noexcept;

// True when textures made for `labelScale` no longer fit scale s (they
// differ by more than 0.05); always true before the first textures (0).
bool labelsNeedRebuild(float labelScale, float scale) noexcept;

// The badge for a client area and the display size of the label shown.
struct BadgeGeometry {
    float scale = 1.0f;
    float left = 0.0f;    // L
    float bottom = 0.0f;  // B
    float width = 0.0f;   // W = 36 s + label width
    float height = 0.0f;  // H = 22 s
    float cornerRadius = 0.0f;
    float borderWidth = 0.0f;  // line width of the border
    OverlayPoint dotCentre;
    float dotRadius = 0.0f;
    float glowRadius = 0.0f;
    OverlayPoint labelOrigin;  // lower-left corner of the label quad
};
BadgeGeometry badgeGeometry(int width, int height, LabelSize label) noexcept;

// The badge's outline: four quarter arcs of 9 points each, counter-clockwise
// from the top-right corner (0 degrees) round to the bottom-right.
std::array<OverlayPoint, 4 * kCornerPoints> badgeOutline(const BadgeGeometry& badge) noexcept;

// The triangle fan of the badge fill: the centre, the 36 outline points and
// the closing point (L + W, B + H - r).
std::vector<OverlayPoint> badgeFan(const BadgeGeometry& badge);

// The rim of a disc drawn as a triangle fan: segments + 1 points at angles
// i x 2 pi / segments, the last repeating the first (the centre is not in
// the list). Empty for fewer than one segment.
std::vector<OverlayPoint> discRim(OverlayPoint centre, float radius, int segments);

// The badge's colours for one state.
struct BadgeColours {
    OverlayColour fill;
    OverlayColour border;
    OverlayColour glow;
    OverlayColour dot;
};
BadgeColours badgeColours(bool outOfGamut) noexcept;

// The label text colour as 8-bit red, green, blue.
struct TextColour {
    std::uint8_t red = 0, green = 0, blue = 0;
};
TextColour labelTextColour(GamutLabel which) noexcept;

}  // namespace orvalis::viewer
