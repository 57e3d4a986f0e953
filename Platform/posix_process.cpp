// POSIX child processes: posix_spawn, exit status through waitpid(WNOHANG).
// A child whose object is dropped while it runs goes on a process-wide list
// that later calls reap, so no zombie stays for long.
#include <orvalis/platform/process.h>

#include "internal.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

extern char** environ;

namespace orvalis::platform {

struct ChildProcess::State {
    pid_t pid = -1;
    bool ended = false;
    int exitCode = 0;
};

namespace {

constexpr std::string_view kBackend = "POSIX";

// Children dropped while still running; reaped by every later call.
struct OrphanList {
    std::mutex mutex;
    std::vector<pid_t> pids;
};

OrphanList& orphans() {
    static OrphanList list;
    return list;
}

void reapOrphans() {
    OrphanList& list = orphans();
    std::lock_guard lock(list.mutex);
    std::erase_if(list.pids, [](pid_t pid) {
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        return r != 0;  // ended and reaped, or no longer our child
    });
}

int exitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// One non-blocking look at the child; records its end.
void poll(ChildProcess::State& state) {
    if (state.ended)
        return;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(state.pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == state.pid) {
        state.ended = true;
        state.exitCode = exitCodeOf(status);
    } else if (r < 0) {
        // Reaped elsewhere (SIGCHLD ignored by the host): ended, code unknown.
        state.ended = true;
        state.exitCode = -1;
    }
}

// The error the caller would get from a spawn that cannot work: posix_spawn
// itself may succeed and leave a child that exits 127.
int checkExecutable(const std::string& path) {
    if (path.empty())
        return ENOENT;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EACCES;
    if (::access(path.c_str(), X_OK) != 0)
        return errno;
    return 0;
}

}  // namespace

ChildProcess::ChildProcess(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& executable, int& errorCode) {
    reapOrphans();
    errorCode = checkExecutable(executable);
    if (errorCode != 0)
        return nullptr;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    if ((errorCode = ::posix_spawnattr_init(&attributes)) != 0)
        return nullptr;
    if ((errorCode = ::posix_spawn_file_actions_init(&actions)) != 0) {
        ::posix_spawnattr_destroy(&attributes);
        return nullptr;
    }
    // A clean start: no signals blocked or ignored because the host had them
    // so, and (where the C library can) no descriptors beyond the standard three.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

    std::vector<char> program(executable.begin(), executable.end());
    program.push_back('\0');
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    errorCode = ::posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (errorCode != 0) {
        detail::reportError(kBackend, "Failed to start " + executable, errorCode);
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->pid = pid;
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(state)));
}

ChildProcess::~ChildProcess() {
    poll(*state_);
    if (!state_->ended) {
        OrphanList& list = orphans();
        std::lock_guard lock(list.mutex);
        list.pids.push_back(state_->pid);
    }
    reapOrphans();
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout, int& exitCode) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        poll(*state_);
        if (state_->ended) {
            exitCode = state_->exitCode;
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(10));
    }
}

bool ChildProcess::isRunning() {
    reapOrphans();
    poll(*state_);
    return !state_->ended;
}

std::uint32_t ChildProcess::id() const noexcept { return static_cast<std::uint32_t>(state_->pid); }

namespace {
// strerror_r comes in two shapes; take whichever this C library has.
[[maybe_unused]] std::string errorText(int result, const char* buffer) {
    return result == 0 ? std::string(buffer) : std::string();
}
[[maybe_unused]] std::string errorText(const char* result, const char*) {
    return result != nullptr ? std::string(result) : std::string();
}
}  // namespace

std::string systemErrorText(int errorCode) {
    char buffer[256] = {};
    return errorText(::strerror_r(errorCode, buffer, sizeof buffer), buffer);
}

std::uint32_t currentProcessId() noexcept { return static_cast<std::uint32_t>(::getpid()); }

void sleepFor(std::chrono::milliseconds duration) {
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

}  // namespace orvalis::platform
