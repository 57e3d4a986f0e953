// Starting and finding the viewer program: the "Open 3D Viewer" button
// raises an open viewer window, or writes a launch snapshot, finds the
// viewer beside the plug-in module and starts it.
#pragma once

#include <Shared/exchange.h>
#include <orvalis/platform/dialog.h>
#include <orvalis/platform/process.h>
#include <orvalis/platform/window.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis::plugin {

// Tells the user about the outcome of a launch (a message box in the
// plug-in, a recorder in tests).
struct Notifier {
    virtual ~Notifier() = default;
    virtual void show(std::string_view text, std::string_view title, platform::MessageIcon icon) = 0;
};

// Class of the viewer's main window.
inline constexpr char kViewerWindowClass[] = "OrvalisViewer";
// Most viewers this process starts side by side.
inline constexpr int kMaxViewers = 2;
// How long a new viewer is watched for an early exit.
inline constexpr std::chrono::milliseconds kStartupGrace{500};

// "Vantorel" with this platform's executable suffix.
std::string viewerExecutableName();

// What one process remembers of its launches; part of the process context.
// `launchMutex` guards `launchedViewers` and is held only for list
// operations (taken before the log's mutex when both are needed);
// `snapshotMutex` guards `lastSnapshot` and nests with nothing.
struct LaunchState {
    std::mutex launchMutex;
    // Viewers started that were still running after the grace period.
    // Whoever removes an entry closes its handle; viewers keep running.
    std::vector<std::unique_ptr<platform::ChildProcess>> launchedViewers;
    std::mutex snapshotMutex;
    std::string lastSnapshot;  // the snapshot written last; empty when none
};

// Full path of the module holding the launcher (the plug-in); empty when the
// system cannot tell.
std::string launcherModulePath();

// What a launch may be pointed at; the defaults are the plug-in's own.
struct LaunchOptions {
    // The module whose folder the search list starts from.
    std::string moduleFilePath = launcherModulePath();
    // How long a new viewer is watched for an early exit.
    std::chrono::milliseconds grace = kStartupGrace;
};

// Copies the instance's current records (under the instance's own mutex).
using RecordsCopier = std::function<std::vector<exchange::PointRecord>()>;

// The button action: raises an open viewer window, or writes a snapshot,
// locates the viewer and launches it. Every failure goes to the notifier.
void openViewer(LaunchState& state, const RecordsCopier& copyRecords, Notifier& notifier,
                const LaunchOptions& options = {});

// The first top-level window of class "OrvalisViewer", if any.
std::optional<platform::WindowId> findViewerWindow();

// Writes the records in the points-file layout (u32 count, then the
// records) to a new "qvt….tmp" file in the temporary folder, after removing
// the previous snapshot of this process. Returns its path, or empty on
// failure.
std::string writeLaunchSnapshot(LaunchState& state, std::span<const exchange::PointRecord> records);

// Path of the snapshot written last; empty when none.
std::string lastLaunchSnapshot(LaunchState& state);

// Finds the viewer relative to the folder of `moduleFilePath`, then by its
// bare name relative to the current directory. Empty when not found.
std::optional<std::string> locateViewerExe(std::string_view moduleFilePath);

// Enforces the limit, starts the viewer and watches it for `grace`: an exit
// with 1 or 2 means no OpenGL 3.0; a viewer still running joins
// `state.launchedViewers`.
void launchViewer(LaunchState& state, const std::string& executable, Notifier& notifier,
                  std::chrono::milliseconds grace = kStartupGrace);

// Viewers this process started that still run (ended ones are dropped from
// the list); when there are none, 1 if a viewer window exists anywhere.
int countRunningViewers(LaunchState& state);

// Closes every handle in `launchedViewers` and empties it; the viewers keep
// running.
void closeLaunchedViewerHandles(LaunchState& state);

// The same for a caller that already holds `launchMutex`.
void closeLaunchedViewerHandlesLocked(LaunchState& state);

}  // namespace orvalis::plugin
