// posix_spawn, pipes and waitpid behind child_process.h.
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

extern char** environ;

namespace gui_test {

using Clock = std::chrono::steady_clock;

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& arguments,
                                                  const std::vector<std::string>& environment, bool pipes,
                                                  const std::string& stderrPath) {
    int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
    if (arguments.empty() || (pipes && (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)))
        return nullptr;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipes) {
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    }
    if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    // The given entries, then this process's environment less what they set.
    std::vector<std::string> argv = arguments, env = environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(environment.begin(), environment.end(),
                         [&](const std::string& x) { return x.rfind(name, 0) == 0; }))
            env.push_back(entry);
    }
    std::vector<char*> argvPointers, envPointers;
    for (std::string& s : argv)
        argvPointers.push_back(s.data());
    for (std::string& s : env)
        envPointers.push_back(s.data());
    argvPointers.push_back(nullptr);
    envPointers.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {toChild[0], fromChild[1], rc != 0 ? toChild[1] : -1, rc != 0 ? fromChild[0] : -1}) {
        if (fd >= 0)
            ::close(fd);
    }
    if (rc != 0)
        return nullptr;
    std::unique_ptr<ChildProcess> child(new ChildProcess());
    child->pid_ = pid;
    child->in_ = toChild[1];
    child->out_ = fromChild[0];
    return child;
}

ChildProcess::~ChildProcess() {
    if (in_ >= 0)
        ::close(in_);
    if (running()) {
        ::kill(pid_, SIGKILL);
        waitForExit(std::chrono::seconds(30));
    }
    if (out_ >= 0)
        ::close(out_);
}

std::optional<std::string> ChildProcess::ask(const std::string& command, std::chrono::milliseconds deadline) {
    const std::string data = command + "\n";
    if (in_ < 0 || ::write(in_, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
        return std::nullopt;
    const auto until = Clock::now() + deadline;
    std::size_t end = 0;
    while ((end = buffered_.find('\n')) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd p{out_, POLLIN, 0};
        char chunk[4096];
        const ssize_t n = left > 0 && ::poll(&p, 1, static_cast<int>(left)) > 0 ? ::read(out_, chunk, sizeof chunk) : 0;
        if (n <= 0)
            return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
    std::string line = buffered_.substr(0, end);
    buffered_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();  // Windows text mode
    return line;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds deadline) {
    const auto until = Clock::now() + deadline;
    while (!exitCode_) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_)
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if ((r < 0 && errno != EINTR) || Clock::now() > until)
            return std::nullopt;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return exitCode_;
}

}  // namespace gui_test
