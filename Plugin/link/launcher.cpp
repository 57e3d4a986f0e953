#include "link/launcher.h"

#include "link/exchange_writer.h"

#include <orvalis/platform/c_runtime.h>
#include <orvalis/platform/paths.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace orvalis::plugin {

namespace {

constexpr char kLimitTitle[] = "Orvalis - Viewer Limit";
constexpr char kOpenGlTitle[] = "Orvalis - OpenGL 3.0+ Required";
constexpr char kTitle[] = "Orvalis";
constexpr char kOpenGlText[] =
    "The 3D Visualizer requires OpenGL 3.0 or above.\n\n"
    "Your GPU drivers may be out of date or your hardware may not support the "
    "required OpenGL version.\n\n"
    "Please update your GPU drivers from the manufacturer's website.";
constexpr char kNoDisplayText[] =
    "The 3D viewer cannot open its window: no display was found "
    "(DISPLAY is not set, or its X server cannot be reached).";
constexpr char kSnapshotFailedText[] = "Failed to write temp points file";
constexpr char kSnapshotPrefix[] = "qvt";

// Folders tried below the module's folder, in order; "" is the folder itself.
constexpr std::array<std::array<const char*, 3>, 5> kSearchFolders = {{
    {nullptr, nullptr, nullptr},
    {"..", nullptr, nullptr},
    {"..", "Viewer", nullptr},
    {"..", "..", "Viewer/Release"},
    {"..", "..", "Viewer/Debug"},
}};

std::string joinEntry(const std::string& base, const std::array<const char*, 3>& folders) {
    const char sep = platform::pathSeparator();
    std::string path = base;
    for (const char* folder : folders) {
        if (!folder) {
            break;
        }
        path += sep;
        for (const char* c = folder; *c; ++c) {
            path += *c == '/' ? sep : *c;
        }
    }
    path += sep;
    path += viewerExecutableName();
    return path;
}

}  // namespace

std::string viewerExecutableName() { return "Vantorel" + std::string(platform::executableSuffix()); }

std::string launcherModulePath() { return platform::modulePath(reinterpret_cast<const void*>(&launcherModulePath)); }

std::optional<platform::WindowId> findViewerWindow() { return platform::findWindowByClass(kViewerWindowClass); }

std::string writeLaunchSnapshot(LaunchState& state, std::span<const exchange::PointRecord> records) {
    const std::string folder = platform::tempFolder();
    if (folder.empty()) {
        return {};
    }
    std::lock_guard lock(state.snapshotMutex);
    // Only the newest snapshot is kept: left to pile up they would use up
    // the unique names and the button would fail for good.
    if (!state.lastSnapshot.empty()) {
        platform::removeFile(state.lastSnapshot);
        state.lastSnapshot.clear();
    }
    std::string path = platform::createUniqueFile(folder, kSnapshotPrefix);
    if (path.empty()) {
        return {};
    }
    if (!writePointsFile(path, records, false)) {
        platform::removeFile(path);
        return {};
    }
    state.lastSnapshot = path;
    return path;
}

std::string lastLaunchSnapshot(LaunchState& state) {
    std::lock_guard lock(state.snapshotMutex);
    return state.lastSnapshot;
}

std::optional<std::string> locateViewerExe(std::string_view moduleFilePath) {
    const std::size_t cut = moduleFilePath.find_last_of("\\/");
    if (!moduleFilePath.empty() && cut != std::string_view::npos) {
        const std::string base(moduleFilePath.substr(0, cut));
        for (const auto& folders : kSearchFolders) {
            std::string candidate = joinEntry(base, folders);
            if (platform::pathExists(candidate)) {
                return candidate;
            }
        }
    }
    if (std::string bare = viewerExecutableName(); platform::pathExists(bare)) {
        return bare;
    }
    return std::nullopt;
}

void launchViewer(LaunchState& state, const std::string& executable, Notifier& notifier,
                  std::chrono::milliseconds grace) {
    if (const int running = countRunningViewers(state); running >= kMaxViewers) {
        notifier.show("Maximum of " + std::to_string(kMaxViewers) + " viewer instances allowed. Currently running: " +
                          std::to_string(running) + "\n\nClose an existing viewer to open a new one.",
                      kLimitTitle, platform::MessageIcon::Information);
        return;
    }
    int error = 0;
    std::unique_ptr<platform::ChildProcess> child = platform::ChildProcess::start(executable, error);
    if (!child) {
        notifier.show("Failed to launch viewer: " + executable + "\nError " + std::to_string(error) + ": " +
                          platform::systemErrorText(error),
                      kTitle, platform::MessageIcon::Error);
        return;
    }
    int exitCode = 0;
    if (child->waitForExit(grace, exitCode)) {
        child.reset();
        if ((exitCode == 1 || exitCode == 2) && !platform::hasDisplay()) {
            // Without a display the viewer ends as it does without OpenGL 3.0.
            notifier.show(kNoDisplayText, kTitle, platform::MessageIcon::Error);
        } else if (exitCode == 1 || exitCode == 2) {
            notifier.show(kOpenGlText, kOpenGlTitle, platform::MessageIcon::Error);
        }
        return;
    }
    std::lock_guard lock(state.launchMutex);
    state.launchedViewers.push_back(std::move(child));
}

int countRunningViewers(LaunchState& state) {
    std::size_t count = 0;
    {
        std::lock_guard lock(state.launchMutex);
        std::erase_if(state.launchedViewers, [](const std::unique_ptr<platform::ChildProcess>& viewer) {
            return !viewer || !viewer->isRunning();
        });
        count = state.launchedViewers.size();
    }
    if (count == 0 && findViewerWindow()) {
        count = 1;
    }
    return static_cast<int>(std::min<std::size_t>(count, std::numeric_limits<int>::max()));
}

void closeLaunchedViewerHandlesLocked(LaunchState& state) { state.launchedViewers.clear(); }

void closeLaunchedViewerHandles(LaunchState& state) {
    std::lock_guard lock(state.launchMutex);
    closeLaunchedViewerHandlesLocked(state);
}

void openViewer(LaunchState& state, const RecordsCopier& copyRecords, Notifier& notifier,
                const LaunchOptions& options) {
    if (const std::optional<platform::WindowId> window = findViewerWindow()) {
        platform::raiseWindow(*window);
        return;
    }
    const std::vector<exchange::PointRecord> records =
        copyRecords ? copyRecords() : std::vector<exchange::PointRecord>{};
    if (writeLaunchSnapshot(state, records).empty()) {
        notifier.show(kSnapshotFailedText, kTitle, platform::MessageIcon::Error);
        return;
    }
    const std::optional<std::string> executable = locateViewerExe(options.moduleFilePath);
    if (!executable) {
        notifier.show(viewerExecutableName() + " not found", kTitle, platform::MessageIcon::Error);
        return;
    }
    launchViewer(state, *executable, notifier, options.grace);
}

}  // namespace orvalis::plugin
