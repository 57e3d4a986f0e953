#include "app/camera.h"

#include <algorithm>
#include <cstdlib>

namespace orvalis::viewer {

namespace {

constexpr float kDegreesPerPixel = 0.5f;
constexpr float kPitchLimit = 89.0f;
constexpr float kNearerFactor = 0.9f;
constexpr float kFartherFactor = 1.1f;
constexpr float kMinZoom = 0.1f;
constexpr float kMaxZoom = 5.0f;

// Windows' defaults for a double click: the time and the rectangle the
// second press must fall in (4 pixels wide and high around the first).
constexpr std::int64_t kDoubleClickMs = 500;
constexpr std::int32_t kDoubleClickHalfBox = 2;

}  // namespace

void pressLeft(Camera& camera, std::int32_t x, std::int32_t y) noexcept {
    camera.dragging = true;
    camera.lastMouseX = x;
    camera.lastMouseY = y;
}

bool movePointer(Camera& camera, std::int32_t x, std::int32_t y) noexcept {
    if (!camera.dragging) {
        return false;
    }
    // The difference is taken in integers and only then made a float, so a
    // far jump loses no pixels to rounding before it is scaled.
    camera.yaw += static_cast<float>(x - camera.lastMouseX) * kDegreesPerPixel;
    camera.pitch += static_cast<float>(y - camera.lastMouseY) * kDegreesPerPixel;
    // Travel beyond the limit is lost, so turning back acts at once.
    camera.pitch = std::max(std::min(camera.pitch, kPitchLimit), -kPitchLimit);
    camera.lastMouseX = x;
    camera.lastMouseY = y;
    return true;
}

void releaseLeft(Camera& camera) noexcept { camera.dragging = false; }

bool resetView(Camera& camera) noexcept {
    camera.yaw = kStartYaw;
    camera.pitch = kStartPitch;
    camera.zoom = kStartZoom;
    return true;
}

bool wheelStep(Camera& camera, std::int32_t delta) noexcept {
    camera.zoom *= delta > 0 ? kNearerFactor : kFartherFactor;
    camera.zoom = std::max(std::min(camera.zoom, kMaxZoom), kMinZoom);
    return true;
}

bool DoubleClickDetector::press(std::int64_t ms, std::int32_t x, std::int32_t y) noexcept {
    // Differences in 64 bits: client coordinates far apart cannot overflow.
    const bool completes = havePrevious_ && ms - previousMs_ >= 0 && ms - previousMs_ <= kDoubleClickMs &&
                           std::abs(std::int64_t{x} - previousX_) <= kDoubleClickHalfBox &&
                           std::abs(std::int64_t{y} - previousY_) <= kDoubleClickHalfBox;
    havePrevious_ = !completes;
    previousMs_ = ms;
    previousX_ = x;
    previousY_ = y;
    return completes;
}

}  // namespace orvalis::viewer
