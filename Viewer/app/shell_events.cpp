#include "app/shell_events.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace orvalis::viewer {

namespace {

// True when the period ending at next ran out by now; then next moves on.
bool expire(std::int64_t& next, std::int64_t period, std::int64_t now) noexcept {
    if (now < next) {
        return false;
    }
    next += period;
    if (next <= now) {
        next = now + period;
    }
    return true;
}

}  // namespace

RedrawPacer::RedrawPacer(std::int64_t nowNs) noexcept
    : nextRedraw_(nowNs + kRedrawPeriodNs), nextRequest_(nowNs + kRedrawRequestPeriodNs) {}

RedrawPacer::Due RedrawPacer::poll(std::int64_t nowNs) noexcept {
    Due due;
    const bool redraw = expire(nextRedraw_, kRedrawPeriodNs, nowNs);
    due.requestRedraw = expire(nextRequest_, kRedrawRequestPeriodNs, nowNs);
    due.redraw = redraw || due.requestRedraw;
    return due;
}

std::int64_t RedrawPacer::waitNanoseconds(std::int64_t nowNs) const noexcept {
    return std::max<std::int64_t>(0, std::min(nextRedraw_, nextRequest_) - nowNs);
}

LoopWaker::LoopWaker(std::function<void()> post) : post_(std::move(post)) {}

bool LoopWaker::request(std::atomic<bool>& flag) {
    std::lock_guard lock(mutex_);
    if (!open_) {
        return false;
    }
    flag.store(true);
    if (post_) {
        post_();
    }
    return true;
}

bool LoopWaker::requestRedraw() { return request(redraw_); }

bool LoopWaker::requestClose() { return request(close_); }

void LoopWaker::open() {
    std::lock_guard lock(mutex_);
    open_ = true;
}

void LoopWaker::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
}

LoopWaker::Requests LoopWaker::take() noexcept { return {redraw_.exchange(false), close_.exchange(false)}; }

bool LeftButton::press(Camera& camera, std::int64_t ms, std::int32_t x, std::int32_t y) noexcept {
    if (detector_.press(ms, x, y)) {
        return resetView(camera);
    }
    pressLeft(camera, x, y);
    return false;
}

void LeftButton::release(Camera& camera) noexcept { releaseLeft(camera); }

bool scrollStep(Camera& camera, double yOffset) noexcept {
    if (yOffset == 0.0 || std::isnan(yOffset)) {
        return false;
    }
    return wheelStep(camera, yOffset > 0.0 ? 1 : -1);
}

std::int32_t clientPixel(double coordinate) noexcept {
    if (std::isnan(coordinate)) {
        return 0;
    }
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::floor(coordinate), kLow, kHigh));
}

}  // namespace orvalis::viewer
