#include "render/overlay_geometry.h"

#include <algorithm>
#include <cmath>

namespace orvalis::viewer {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kMaxScale = 4.0f;
constexpr float kScaleHeight = 720.0f;
constexpr float kRebuildThreshold = 0.05f;

// In units of s.
constexpr float kPadding = 10.0f;
constexpr float kDotRadius = 4.5f;
constexpr float kDotGap = 7.0f;
constexpr float kGlowExtra = 2.0f;
constexpr float kBadgeHeight = 22.0f;
constexpr float kCornerRadius = 5.0f;
constexpr float kMargin = 14.0f;

constexpr float kInGamutWidth = 60.0f;
constexpr float kOutOfGamutWidth = 82.0f;
constexpr float kLabelHeight = 14.0f;
constexpr float kTextHeight = 22.0f;

float atLeastOne(float scale) noexcept { return std::max(1.0f, scale); }

}  // namespace

float interfaceScale(int height) noexcept {
    return std::min(kMaxScale, std::max(1.0f, static_cast<float>(height) / kScaleHeight));
}

const char* labelText(GamutLabel which) noexcept {
    return which == GamutLabel::OutOfGamut ? "Out of Gamut" : "In Gamut";
}

LabelSize labelDisplaySize(GamutLabel which, float scale) noexcept {
    const float s = atLeastOne(scale);
    const float width = which == GamutLabel::OutOfGamut ? kOutOfGamutWidth : kInGamutWidth;
    return {static_cast<int>(width * s), static_cast<int>(kLabelHeight * s)};
}

LabelSize labelTextureSize(LabelSize display) noexcept { return {2 * display.width, 2 * display.height}; }

int labelPixelHeight(float scale) noexcept { return static_cast<int>(kTextHeight * atLeastOne(scale)); }

bool labelsNeedRebuild(float labelScale, float scale) noexcept {
    return std::fabs(labelScale - scale) > kRebuildThreshold;
}

BadgeGeometry badgeGeometry(int width, int height, LabelSize label) noexcept {
    const float s = interfaceScale(height);
    BadgeGeometry g;
    g.scale = s;
    g.height = kBadgeHeight * s;
    g.width = (2.0f * kPadding + 2.0f * kDotRadius + kDotGap) * s + static_cast<float>(label.width);
    g.left = static_cast<float>(width) - kMargin * s - g.width;
    g.bottom = static_cast<float>(height) - kMargin * s - g.height;
    g.cornerRadius = kCornerRadius * s;
    g.borderWidth = s;
    g.dotRadius = kDotRadius * s;
    g.glowRadius = (kDotRadius + kGlowExtra) * s;
    g.dotCentre = {g.left + (kPadding + kDotRadius) * s, g.bottom + g.height / 2.0f};
    g.labelOrigin = {g.left + (kPadding + 2.0f * kDotRadius + kDotGap) * s,
                     g.bottom + (g.height - static_cast<float>(label.height)) / 2.0f};
    return g;
}

std::array<OverlayPoint, 4 * kCornerPoints> badgeOutline(const BadgeGeometry& b) noexcept {
    const float r = b.cornerRadius;
    const float right = b.left + b.width;
    const float top = b.bottom + b.height;
    const OverlayPoint centres[4] = {
        {right - r, top - r},
        {b.left + r, top - r},
        {b.left + r, b.bottom + r},
        {right - r, b.bottom + r},
    };
    std::array<OverlayPoint, 4 * kCornerPoints> points{};
    std::size_t n = 0;
    for (int corner = 0; corner < 4; ++corner) {
        for (int i = 0; i < kCornerPoints; ++i) {
            const float degrees = 90.0f * static_cast<float>(corner) + 11.25f * static_cast<float>(i);
            const float a = degrees * kPi / 180.0f;
            points[n++] = {centres[corner].x + r * std::cos(a), centres[corner].y + r * std::sin(a)};
        }
    }
    return points;
}

std::vector<OverlayPoint> badgeFan(const BadgeGeometry& b) {
    std::vector<OverlayPoint> fan;
    fan.reserve(4 * kCornerPoints + 2);
    fan.push_back({b.left + b.width / 2.0f, b.bottom + b.height / 2.0f});
    for (const OverlayPoint& p : badgeOutline(b)) {
        fan.push_back(p);
    }
    fan.push_back({b.left + b.width, b.bottom + b.height - b.cornerRadius});
    return fan;
}

std::vector<OverlayPoint> discRim(OverlayPoint centre, float radius, int segments) {
    std::vector<OverlayPoint> rim;
    if (segments < 1) {
        return rim;
    }
    rim.reserve(static_cast<std::size_t>(segments) + 1);
    for (int i = 0; i <= segments; ++i) {
        const float a = static_cast<float>(i) * 2.0f * kPi / static_cast<float>(segments);
        rim.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    return rim;
}

BadgeColours badgeColours(bool outOfGamut) noexcept {
    BadgeColours c;
    c.fill = {0.08f, 0.08f, 0.10f, 0.82f};
    if (outOfGamut) {
        c.border = {0.95f, 0.25f, 0.25f, 0.45f};
        c.glow = {1.0f, 0.25f, 0.25f, 0.35f};
        c.dot = {1.0f, 0.22f, 0.22f, 1.0f};
    } else {
        c.border = {0.25f, 0.25f, 0.30f, 0.40f};
        c.glow = {0.18f, 0.80f, 0.44f, 0.35f};
        c.dot = {0.18f, 0.80f, 0.44f, 1.0f};
    }
    return c;
}

TextColour labelTextColour(GamutLabel which) noexcept {
    if (which == GamutLabel::OutOfGamut) {
        return {255, 205, 205};
    }
    return {235, 238, 242};
}

}  // namespace orvalis::viewer
