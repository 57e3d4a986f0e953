// Child processes and the current process.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace orvalis::platform {

// A started child process. Dropping the object closes the handle; the
// process keeps running. On Linux a child whose handle was dropped while it
// ran is remembered and reaped by later calls, so no zombie stays.
class ChildProcess {
public:
    // Starts the executable with no arguments, the caller's environment and
    // current directory, no handle inheritance. Windows: CreateProcessW with
    // the quoted path as the whole command line. Linux: posix_spawn.
    // On failure returns null and sets errorCode (GetLastError / errno).
    static std::unique_ptr<ChildProcess> start(const std::string& executable, int& errorCode);

    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits up to `timeout` for the process to end. True when it ended; then
    // exitCode holds its exit code.
    bool waitForExit(std::chrono::milliseconds timeout, int& exitCode);

    // True while the process runs (Windows: exit code still 259). False when
    // it has ended or its state cannot be read.
    bool isRunning();

    std::uint32_t id() const noexcept;

    struct State;  // per-backend

private:
    explicit ChildProcess(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// The system's text for an error number, as the system gives it (usually
// ending in a line break); empty when it has none.
std::string systemErrorText(int errorCode);

// This process's id.
std::uint32_t currentProcessId() noexcept;

// Sleeps the calling thread at least this long.
void sleepFor(std::chrono::milliseconds duration);

}  // namespace orvalis::platform
