// posix_spawn, pipes and waitpid behind child_process.h.
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <thread>

extern char** environ;

namespace gui_test {

namespace {

using Clock = std::chrono::steady_clock;

// This process's environment with the given entries set over it.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> values;
    auto put = [&](const std::string& entry) {
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            values[entry.substr(0, eq)] = entry.substr(eq + 1);
    };
    for (char** e = environ; *e != nullptr; ++e)
        put(*e);
    for (const std::string& entry : extra)
        put(entry);
    std::vector<std::string> result;
    for (const auto& [name, value] : values)
        result.push_back(name + "=" + value);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const Options& options) {
    if (options.argv.empty())
        return nullptr;
    int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
    if (options.pipes && (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0))
        return nullptr;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.pipes) {
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    }
    if (!options.stderrPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, options.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    std::vector<std::string> argv = options.argv;
    std::vector<std::string> env = mergedEnvironment(options.environment);
    std::vector<char*> argvPointers = pointers(argv), envPointers = pointers(env);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (options.pipes) {
        ::close(toChild[0]);
        ::close(fromChild[1]);
    }
    if (rc != 0) {
        if (options.pipes) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
        }
        return nullptr;
    }
    std::unique_ptr<ChildProcess> child(new ChildProcess());
    child->pid_ = pid;
    child->in_ = options.pipes ? toChild[1] : -1;
    child->out_ = options.pipes ? fromChild[0] : -1;
    return child;
}

ChildProcess::~ChildProcess() {
    closeInput();
    if (running()) {
        ::kill(pid_, SIGKILL);
        waitForExit(std::chrono::seconds(30));
    }
    if (out_ >= 0)
        ::close(out_);
}

bool ChildProcess::writeLine(const std::string& line) {
    if (in_ < 0)
        return false;
    const std::string data = line + "\n";
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(in_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds deadline) {
    const auto until = Clock::now() + deadline;
    while (true) {
        const auto end = buffered_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();  // Windows text mode
            return line;
        }
        if (out_ < 0)
            return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        pollfd p{out_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> ChildProcess::ask(const std::string& command, std::chrono::milliseconds deadline) {
    if (!writeLine(command))
        return std::nullopt;
    return readLine(deadline);
}

void ChildProcess::closeInput() {
    if (in_ >= 0) {
        ::close(in_);
        in_ = -1;
    }
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds deadline) {
    const auto until = Clock::now() + deadline;
    while (!exitCode_) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (r < 0 && errno != EINTR)
            return std::nullopt;
        if (Clock::now() > until)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return exitCode_;
}

bool ChildProcess::running() { return !waitForExit(std::chrono::milliseconds(0)); }

}  // namespace gui_test
