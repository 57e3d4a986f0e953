// A program the GUI tests start (the viewer, the block publisher): spawned
// without a shell, with extra environment values, optionally talked to
// line by line through pipes, its exit code collected with a deadline.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gui_test {

class ChildProcess {
public:
    struct Options {
        std::vector<std::string> argv;         // argv[0] is the program's path
        std::vector<std::string> environment;  // "NAME=value" entries set over this process's own
        bool pipes = false;                    // stdin and stdout become pipes to us
        std::string stderrPath;                // where stderr goes; empty: ours
    };

    // Null when the program cannot be started.
    static std::unique_ptr<ChildProcess> start(const Options& options);
    // A child still running is ended (SIGKILL) and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes one line (a line feed is added); false when the pipe is closed.
    bool writeLine(const std::string& line);
    // The next line of the child's output without its line end; empty when
    // none came before the deadline or the child closed its output.
    std::optional<std::string> readLine(std::chrono::milliseconds deadline);
    // Sends a command and returns the answer line (empty on a dead helper).
    std::optional<std::string> ask(const std::string& command,
                                   std::chrono::milliseconds deadline = std::chrono::seconds(60));
    // Closes our end of its input (a helper reads that as "quit").
    void closeInput();

    // The exit code once it has ended within the deadline (128 + signal for
    // a signal); empty while it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds deadline);
    // True while it runs.
    bool running();
    int pid() const noexcept { return pid_; }

private:
    ChildProcess() = default;
    int pid_ = -1;
    int in_ = -1;   // our end of its stdin
    int out_ = -1;  // our end of its stdout
    std::string buffered_;
    std::optional<int> exitCode_;
};

}  // namespace gui_test
