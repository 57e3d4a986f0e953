// A program the GUI tests start (the viewer, the block publisher): spawned
// without a shell, with extra environment values, optionally asked line by
// line through pipes, its exit code collected with a deadline.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gui_test {

class ChildProcess {
public:
    // Starts argv[0] with "NAME=value" entries set over our environment; with
    // `pipes` its stdin and stdout come to us, its stderr to any stderrPath.
    // Null when it cannot be started.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                               const std::vector<std::string>& environment, bool pipes,
                                               const std::string& stderrPath);
    // Closes its input (the publisher reads that as "quit"); a child still
    // running is then killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Sends a command line and returns the answer line; empty when the pipe
    // is closed or no answer came before the deadline.
    std::optional<std::string> ask(const std::string& command,
                                   std::chrono::milliseconds deadline = std::chrono::seconds(60));
    // The exit code (128 + signal for a signal) once it has ended within
    // the deadline; empty while it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds deadline);
    bool running() { return !waitForExit(std::chrono::milliseconds(0)); }

private:
    ChildProcess() = default;
    int pid_ = -1;
    int in_ = -1;   // our end of its stdin
    int out_ = -1;  // our end of its stdout
    std::string buffered_;
    std::optional<int> exitCode_;
};

}  // namespace gui_test
