// The viewer-link watcher: every period, while a viewer is attached, lets
// the instance that rendered last take the viewer over and publish. Its
// decision is a plain function; the thread takes callbacks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string_view>

#include "link/worker_thread.h"

namespace orvalis::plugin {

// What the watcher sees in one cycle.
struct WatchInputs {
    bool visualizationMode = true;  // "pluginMode" is 0 or missing
    bool hasBlock = false;          // the instance has the shared block mapped
    bool viewerAttached = false;    // the block's viewerAttached is exactly 1
    bool windowFound = false;       // a viewer window of the searched class exists
    bool renderedLast = false;      // lastRenderedInstance is this instance
    bool ownsViewer = false;        // the block names this instance (of this process) as owner
    bool viewerOwned = false;       // the block names any owner
};

enum class WatchAction { None, ClaimClipSwitch, ClaimAutoConnect };

// Identities the watcher claims with.
inline constexpr std::string_view kClipSwitchIdentity = "timeline-clip-switch";
inline constexpr std::string_view kAutoConnectIdentity = "auto-connect";

// The watcher's decision for one cycle.
WatchAction decideWatch(const WatchInputs& in);

class ViewerLinkWatcher {
public:
    struct Hooks {
        // Everything but the window lookup; called once per cycle.
        std::function<WatchInputs()> observe;
        // The window lookup, asked only when a viewer is attached.
        std::function<bool()> findWindow;
        // Takes the viewer with the given identity.
        std::function<void(std::string_view)> makeActive;
        std::function<void()> publish;
    };

    explicit ViewerLinkWatcher(Hooks hooks, std::chrono::milliseconds period = std::chrono::milliseconds(30));
    ViewerLinkWatcher(const ViewerLinkWatcher&) = delete;
    ViewerLinkWatcher& operator=(const ViewerLinkWatcher&) = delete;
    ~ViewerLinkWatcher();  // stops and joins

    // Starts the thread; throws std::system_error.
    void start();
    // Wakes the pause and joins.
    void stop();
    bool running() const noexcept { return thread_.running(); }

    // One cycle without the pause; returns what it did.
    WatchAction cycle();

private:
    void run();

    Hooks hooks_;
    std::chrono::milliseconds period_;
    std::mutex pauseMutex_;
    std::condition_variable pauseWake_;
    WorkerThread thread_;  // last: stopped before the members it reads go
};

}  // namespace orvalis::plugin
