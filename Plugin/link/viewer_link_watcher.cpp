#include "link/viewer_link_watcher.h"

#include <utility>

namespace orvalis::plugin {

WatchAction decideWatch(const WatchInputs& in) {
    if (!in.visualizationMode || !in.hasBlock) {
        return WatchAction::None;
    }
    if (!in.viewerAttached || !in.windowFound) {
        return WatchAction::None;
    }
    if (in.renderedLast) {
        return in.ownsViewer ? WatchAction::None : WatchAction::ClaimClipSwitch;
    }
    return in.viewerOwned ? WatchAction::None : WatchAction::ClaimAutoConnect;
}

ViewerLinkWatcher::ViewerLinkWatcher(Hooks hooks, std::chrono::milliseconds period)
    : hooks_(std::move(hooks)), period_(period) {}

ViewerLinkWatcher::~ViewerLinkWatcher() { stop(); }

void ViewerLinkWatcher::start() {
    thread_.start([this] { run(); });
}

void ViewerLinkWatcher::stop() {
    thread_.stop([this] {
        std::lock_guard lock(pauseMutex_);
        pauseWake_.notify_all();
    });
}

WatchAction ViewerLinkWatcher::cycle() {
    WatchInputs in = hooks_.observe ? hooks_.observe() : WatchInputs{};
    // The window lookup costs a round trip to the display: only when it
    // could matter.
    if (in.visualizationMode && in.hasBlock && in.viewerAttached && hooks_.findWindow) {
        in.windowFound = hooks_.findWindow();
    }
    const WatchAction action = decideWatch(in);
    if (action == WatchAction::None) {
        return action;
    }
    if (hooks_.makeActive) {
        hooks_.makeActive(action == WatchAction::ClaimClipSwitch ? kClipSwitchIdentity : kAutoConnectIdentity);
    }
    if (hooks_.publish) {
        hooks_.publish();
    }
    return action;
}

void ViewerLinkWatcher::run() {
    while (!thread_.stopRequested()) {
        try {
            cycle();
        } catch (...) {
            // A failed cycle is tried again on the next one.
        }
        const auto until = std::chrono::steady_clock::now() + period_;
        std::unique_lock lock(pauseMutex_);
        pauseWake_.wait_until(lock, until, [this] { return thread_.stopRequested(); });
    }
}

}  // namespace orvalis::plugin
