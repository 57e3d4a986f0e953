// The intake thread: polls the shared block (or, while there is none, the
// fallback points file), swaps new clouds into the viewer state, wakes or
// closes the main window, and adapts its polling rate to how long a poll
// takes. Time, sleep and the window are injected, so the loop runs in tests
// without a window and with a clock the test drives.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "app/exchange_reader.h"
#include "app/viewer_state.h"

namespace orvalis::viewer {

// What the intake thread may ask of the main window. Both calls are safe
// from any thread; each returns false when there is no window.
struct WindowWaker {
    virtual ~WindowWaker() = default;
    virtual bool requestRedraw() = 0;
    virtual bool requestClose() = 0;
};

// The steady clock and the pause between polls.
struct IntakeClock {
    virtual ~IntakeClock() = default;
    virtual std::int64_t nowNanoseconds() = 0;
    virtual void sleepMilliseconds(int milliseconds) = 0;
};
// The real one: the platform's steady clock and sleep.
IntakeClock& systemIntakeClock();

// Timing rules of the loop.
inline constexpr std::int64_t kReattachIntervalNs = 500'000'000;
inline constexpr std::int64_t kFileCheckIntervalNs = 51'000'000;
inline constexpr std::int64_t kSlowPollNs = 21'000'000;
inline constexpr std::int64_t kFastPollNs = 5'000'000;
inline constexpr int kSlowPollsBeforeSlowDown = 10;
inline constexpr int kMaxPollRateHz = 120;

// Rate adaptation after one poll that took pollNs: returns the new rate and
// updates slowPolls (slow polls since the last fast poll or slow-down).
int adaptPollRate(int rateHz, int& slowPolls, std::int64_t pollNs) noexcept;
// The pause between polls in milliseconds: 1000 / rate, the rate clamped to
// 1..240; half that (at least 1) right after new data.
int pollPauseMs(int rateHz, bool changed) noexcept;

class Intake {
public:
    struct Options {
        std::string blockName = exchange::kBlockName;
        // The points file read while there is no block; empty = none.
        std::string fallbackPath;
    };
    // The fallback file of this platform: the temporary folder plus
    // "Orvalis_points.bin"; empty when there is no temporary folder.
    static std::string defaultFallbackPath();

    Intake(ViewerState& state, WindowWaker& waker, IntakeClock& clock, Options options);
    ~Intake();  // stops the thread and detaches
    Intake(const Intake&) = delete;
    Intake& operator=(const Intake&) = delete;

    // attachSharedBlock: opens the block (one retry after 1 ms) and marks
    // the viewer attached. True when a view exists.
    bool attach();
    // detachSharedBlock: clears viewerAttached and unmaps; safe twice.
    void detach();
    // Whether a view exists; asked before start or after stop (while the
    // thread runs, only the thread changes it).
    bool attached() const noexcept { return block_ != nullptr; }

    // One poll: the block when attached (after a re-attach try every 500 ms),
    // else the fallback file at most every 51 ms. True when a cloud (or an
    // empty cloud) was taken.
    bool pollOnce();
    // One turn of the loop: plug-in watch, poll, rate adaptation, wake-up
    // and pause. Returns the pause in milliseconds it slept.
    int turn();

    // startIntake / stopIntake: the thread runs turn() until stopped; stop
    // waits for at most one poll and one pause. start is false (and says so
    // on the debug output) when the system gives no thread; the window then
    // shows an empty cube.
    bool start();
    void stop();

private:
    void run();

    ViewerState& state_;
    WindowWaker& waker_;
    IntakeClock& clock_;
    Options options_;
    std::unique_ptr<ViewerBlock> block_;
    std::thread thread_;

    // Process-wide in spirit: never reset while the process runs.
    bool pluginSeen_ = false;
    bool attachTried_ = false;
    std::int64_t lastAttachAttempt_ = 0;
    bool fileChecked_ = false;
    std::int64_t lastFileCheck_ = 0;
    std::int64_t lastFileTime_ = 0;
    int slowPolls_ = 0;  // loop state of the thread
};

// The icon file looked for when the executable has no icon resource: the
// executable's path cut three times at its last separator, plus
// "<sep>Resources<sep>mirabloc_logo_c.ico". A cut that finds no separator
// leaves the path as it is.
std::string iconFilePath(std::string executablePath, char separator);

}  // namespace orvalis::viewer
