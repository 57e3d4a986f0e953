// The orbiting camera and what each mouse event does to it. The window
// shells translate their events into these calls; each returns whether the
// window must be redrawn.
#pragma once

#include <cstdint>

namespace orvalis::viewer {

inline constexpr float kStartYaw = 35.0f;
inline constexpr float kStartPitch = 20.0f;
inline constexpr float kStartZoom = 1.0f;

struct Camera {
    float yaw = kStartYaw;      // degrees, never wrapped
    float pitch = kStartPitch;  // degrees, kept in [-89, 89]
    float zoom = kStartZoom;    // distance factor, kept in [0.1, 5]
    bool dragging = false;
    std::int32_t lastMouseX = 0;
    std::int32_t lastMouseY = 0;
};

// Left button pressed at client (x, y): a drag starts. No redraw.
void pressLeft(Camera& camera, std::int32_t x, std::int32_t y) noexcept;
// Pointer moved to (x, y): turns the camera while dragging (0.5 degrees per
// pixel, pitch limited after each step). True when the view changed.
bool movePointer(Camera& camera, std::int32_t x, std::int32_t y) noexcept;
// Left button released: the drag ends. No redraw.
void releaseLeft(Camera& camera) noexcept;
// Double click: back to the starting view; the drag state is left alone.
// Always redraws.
bool resetView(Camera& camera) noexcept;
// One wheel message: delta > 0 (away from the user) brings the camera
// nearer (x 0.9), zero or negative moves it away (x 1.1); only the sign
// counts. Always redraws.
bool wheelStep(Camera& camera, std::int32_t delta) noexcept;

// Two presses of the left button make a double click when the second comes
// within 500 ms and 4 pixels of the first (the Windows defaults). Used by
// shells whose window system does not report double clicks.
class DoubleClickDetector {
public:
    // A press at time ms (any steady clock) at (x, y). True when it completes
    // a double click; a third press then starts a new pair.
    bool press(std::int64_t ms, std::int32_t x, std::int32_t y) noexcept;

private:
    bool havePrevious_ = false;
    std::int64_t previousMs_ = 0;
    std::int32_t previousX_ = 0;
    std::int32_t previousY_ = 0;
};

}  // namespace orvalis::viewer
