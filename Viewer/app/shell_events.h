// What a window shell needs beyond its window system's calls when that
// system has no timers, no cross-thread invalidation and no double clicks
// of its own (the GLFW shell): the two redraw periods, the intake thread's
// wake requests and the left button's double click. Plain values, so the
// rules are tested without a window.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "app/camera.h"
#include "app/intake.h"

namespace orvalis::viewer {

// The redraw periods of the Windows timers 100 and 200.
inline constexpr std::int64_t kRedrawPeriodNs = 8'000'000;
inline constexpr std::int64_t kRedrawRequestPeriodNs = 16'000'000;

// Keeps both periods for an event loop that waits with a timeout. A period
// that was missed fires once, as a late timer does, and then runs on from
// the time it fired.
class RedrawPacer {
public:
    explicit RedrawPacer(std::int64_t nowNs) noexcept;

    struct Due {
        bool redraw = false;         // either period ran out
        bool requestRedraw = false;  // the 16 ms one: raise redrawRequested
    };
    // The periods that ran out by nowNs, each restarted.
    Due poll(std::int64_t nowNs) noexcept;
    // How long the loop may wait for events before the next period ends;
    // never negative.
    std::int64_t waitNanoseconds(std::int64_t nowNs) const noexcept;

private:
    std::int64_t nextRedraw_;
    std::int64_t nextRequest_;
};

// The intake thread's way into the event loop: each request sets a flag and
// wakes the loop (post is the window system's thread-safe wake, called under
// a lock so the window cannot go while it runs). Before open() and after
// close() requests do nothing and return false.
class LoopWaker final : public WindowWaker {
public:
    explicit LoopWaker(std::function<void()> post);

    bool requestRedraw() override;
    bool requestClose() override;

    // Main thread: the window exists / is about to go.
    void open();
    void close();

    struct Requests {
        bool redraw = false;
        bool close = false;
    };
    // Main thread: the requests since the last take, cleared.
    Requests take() noexcept;

private:
    bool request(std::atomic<bool>& flag);

    std::function<void()> post_;
    std::mutex mutex_;  // guards open_ and the post against close()
    bool open_ = false;
    std::atomic<bool> redraw_{false};
    std::atomic<bool> close_{false};
};

// The left button as Windows reports it with CS_DBLCLKS: the press that
// completes a double click is a double click instead of a press, so it
// resets the view and starts no drag.
class LeftButton {
public:
    // A press at ms on a steady clock, at client (x, y). True when the view
    // changed.
    bool press(Camera& camera, std::int64_t ms, std::int32_t x, std::int32_t y) noexcept;
    void release(Camera& camera) noexcept;

private:
    DoubleClickDetector detector_;
};

// One vertical scroll event as one wheel step: positive (away from the
// user) brings the camera nearer. A purely horizontal scroll (yOffset 0) is
// not a wheel message and changes nothing. True when the view changed.
bool scrollStep(Camera& camera, double yOffset) noexcept;

// A window-system coordinate (a double in client pixels) as the int client
// position the camera takes, rounded down and kept in the int32 range.
std::int32_t clientPixel(double coordinate) noexcept;

}  // namespace orvalis::viewer
