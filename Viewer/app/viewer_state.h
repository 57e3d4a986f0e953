// The viewer's process-wide state: the cloud and its intake, the camera,
// the display settings and the redraw pacing. Plain values and atomics, so
// that everything around it can be tested without a window.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/camera.h"
#include "app/exchange_reader.h"

namespace orvalis::viewer {

struct ViewerState {
    // points, pointSize, lighting and lastSequence under pointsMutex;
    // hasOutOfRange is atomic (written by the intake thread, read by the overlay).
    IntakeState intake;

    // Main thread only.
    Camera camera;

    // Display settings. stayOnTop and greyBackground are main-thread values;
    // the other two are read by the renderer and kept atomic.
    bool stayOnTop = true;
    bool greyBackground = false;
    std::atomic<bool> highlightOutOfRange{false};
    std::atomic<bool> gamutIndicator{false};

    // Intake control and redraw pacing, shared between the main thread and
    // the intake thread.
    std::atomic<bool> stopRequested{false};
    std::atomic<int> pollRateHz{120};
    std::atomic<std::int64_t> lastRedrawTime{0};  // steady-clock nanoseconds
    std::atomic<bool> redrawRequested{false};
};

}  // namespace orvalis::viewer
