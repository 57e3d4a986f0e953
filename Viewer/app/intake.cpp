#include "app/intake.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>
#include <utility>

#include "orvalis/platform/clock.h"
#include "orvalis/platform/dialog.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

namespace orvalis::viewer {

namespace {

constexpr std::int64_t kNanosecondsPerMs = 1'000'000;
constexpr int kRateSlowDownStep = 10;
constexpr int kRateSlowDownFloor = 30;  // slowed down only while above this
constexpr int kRateSpeedUpStep = 5;
constexpr int kMaxPeriodRateHz = 240;

class SystemIntakeClock final : public IntakeClock {
public:
    std::int64_t nowNanoseconds() override { return platform::steadyNanoseconds(); }
    void sleepMilliseconds(int milliseconds) override { platform::sleepFor(std::chrono::milliseconds(milliseconds)); }
};

}  // namespace

IntakeClock& systemIntakeClock() {
    static SystemIntakeClock clock;
    return clock;
}

int adaptPollRate(int rateHz, int& slowPolls, std::int64_t pollNs) noexcept {
    if (pollNs >= kSlowPollNs) {
        ++slowPolls;
        if (slowPolls > kSlowPollsBeforeSlowDown && rateHz > kRateSlowDownFloor) {
            rateHz -= kRateSlowDownStep;
            slowPolls = 0;
        }
    } else if (pollNs < kFastPollNs) {
        slowPolls = 0;
        if (rateHz < kMaxPollRateHz) {
            rateHz = std::min(rateHz + kRateSpeedUpStep, kMaxPollRateHz);
        }
    }
    return rateHz;
}

int pollPauseMs(int rateHz, bool changed) noexcept {
    const int period = 1000 / std::clamp(rateHz, 1, kMaxPeriodRateHz);
    return changed ? std::max(period / 2, 1) : period;
}

std::string Intake::defaultFallbackPath() {
    const std::string folder = platform::tempFolder();
    return folder.empty() ? std::string() : folder + exchange::kFallbackFileName;
}

Intake::Intake(ViewerState& state, WindowWaker& waker, IntakeClock& clock, Options options)
    : state_(state), waker_(waker), clock_(clock), options_(std::move(options)) {}

Intake::~Intake() {
    stop();
    detach();
}

bool Intake::attach() {
    if (block_ == nullptr) {
        block_ = ViewerBlock::open(options_.blockName);
    }
    return block_ != nullptr;
}

void Intake::detach() { block_.reset(); }

bool Intake::pollOnce() {
    const std::int64_t now = clock_.nowNanoseconds();
    if (block_ == nullptr) {
        // The first poll without a view starts the 500 ms count; it does not
        // try itself (start-up has just tried).
        if (!attachTried_) {
            attachTried_ = true;
            lastAttachAttempt_ = now;
        } else if (now - lastAttachAttempt_ >= kReattachIntervalNs) {
            lastAttachAttempt_ = now;
            attach();
        }
    }
    try {
        if (block_ != nullptr) {
            return readBlockStep(block_->view(), state_.intake);
        }
        if (!fileChecked_ || now - lastFileCheck_ >= kFileCheckIntervalNs) {
            fileChecked_ = true;
            lastFileCheck_ = now;
            return readFallbackFile(options_.fallbackPath, lastFileTime_, state_.intake);
        }
    } catch (const std::bad_alloc&) {
        // No memory for this cloud: as if nothing were there; a later poll
        // tries again.
    }
    return false;
}

int Intake::turn() {
    const std::int64_t t0 = clock_.nowNanoseconds();
    // Once plug-ins were seen, their going away closes the viewer; asked on
    // every turn until the window is gone.
    if (block_ != nullptr && pluginsGone(block_->view(), pluginSeen_)) {
        waker_.requestClose();
    }
    const bool changed = pollOnce();
    const std::int64_t t1 = clock_.nowNanoseconds();

    const int rate = adaptPollRate(state_.pollRateHz.load(), slowPolls_, t1 - t0);
    state_.pollRateHz.exchange(rate);

    if (changed || state_.redrawRequested.load()) {
        waker_.requestRedraw();
        state_.redrawRequested.exchange(false);
        state_.lastRedrawTime.exchange(t1);  // also when there is no window
    }

    const int pause = pollPauseMs(rate, changed);
    if (!changed && (t1 - state_.lastRedrawTime.load()) / kNanosecondsPerMs > pause) {
        // A quiet spell longer than a period: the next turn redraws.
        state_.redrawRequested.exchange(true);
    }
    clock_.sleepMilliseconds(pause);
    return pause;
}

void Intake::run() {
    while (!state_.stopRequested.load()) {
        turn();
    }
}

bool Intake::start() {
    if (thread_.joinable()) {
        return true;
    }
    state_.stopRequested.exchange(false);
    state_.lastRedrawTime.exchange(clock_.nowNanoseconds());
    try {
        thread_ = std::thread(&Intake::run, this);
    } catch (const std::system_error& error) {
        // The window still works: it shows an empty cube and never updates.
        platform::debugOutput(std::string("Failed to start the intake thread: ") + error.what() + "\n");
        return false;
    }
    return true;
}

void Intake::stop() {
    state_.stopRequested.exchange(true);
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string iconFilePath(std::string executablePath, char separator) {
    for (int cut = 0; cut < 3; ++cut) {
        const std::size_t at = executablePath.rfind(separator);
        if (at != std::string::npos) {
            executablePath.erase(at);
        }
    }
    return executablePath + separator + "Resources" + separator + "mirabloc_logo_c.ico";
}

}  // namespace orvalis::viewer
