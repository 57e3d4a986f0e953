// Starts a helper program of the tests without a shell in between (cmd.exe
// under Wine refuses command lines now and then), talks to it line by line,
// waits for it or kills it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "Platform/win32_internal.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
extern char** environ;
#endif

namespace test_support {

// What the GUI driver adds when it starts the viewer or the publisher. Only
// on POSIX: the driver is a native program for the Windows build too.
struct StartOptions {
    std::vector<std::string> environment;  // "NAME=value" entries set over ours
    bool pipes = false;                    // its stdin and stdout come to us, for ask()
    std::string errorPath;                 // where its stderr goes, when not empty
};

// A helper program started without a shell. A test may kill it as a crash
// would (SIGKILL, TerminateProcess); one still running at the end is killed.
class StartedProgram {
public:
    StartedProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const StartOptions& options = {}) {
#ifdef _WIN32
        if (!options.environment.empty() || options.pipes || !options.errorPath.empty())
            return;  // not started: see StartOptions
        using orvalis::platform::detail::widen;
        std::wstring line = L"\"" + widen(program) + L"\"";
        for (const std::string& a : arguments)
            line += L" \"" + widen(a) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            handle_ = pi.hProcess;
        }
#else
        int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
        if (options.pipes && (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0))
            return;
        // A program that died makes ask() fail its test, not end the test program.
        if (options.pipes)
            ::signal(SIGPIPE, SIG_IGN);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (options.pipes) {
            posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
            posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        }
        if (!options.errorPath.empty())
            posix_spawn_file_actions_addopen(&actions, 2, options.errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
        // The given entries, then this process's environment less what they set.
        std::vector<std::string> argv{program}, env = options.environment;
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
            if (std::none_of(options.environment.begin(), options.environment.end(),
                             [&](const std::string& x) { return x.rfind(name, 0) == 0; }))
                env.push_back(entry);
        }
        auto pointers = [](std::vector<std::string>& strings) {
            std::vector<char*> p;
            for (std::string& s : strings)
                p.push_back(s.data());
            p.push_back(nullptr);
            return p;
        };
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, pointers(argv).data(), pointers(env).data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int fd : {toChild[0], fromChild[1]}) {
            if (fd >= 0)
                ::close(fd);
        }
        in_ = toChild[1];
        out_ = fromChild[0];
#endif
    }
    ~StartedProgram() {
        if (!exit_ && started()) {
            kill();
            wait(std::chrono::milliseconds(30'000));
        }
#ifdef _WIN32
        if (handle_)
            CloseHandle(handle_);
#else
        for (int fd : {in_, out_}) {
            if (fd >= 0)
                ::close(fd);
        }
#endif
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    bool running() { return started() && !wait(std::chrono::milliseconds(0)); }

#ifdef _WIN32
    bool started() const { return handle_ != nullptr; }
    void kill() { TerminateProcess(handle_, 137); }
    // The exit code once it has ended within the deadline.
    std::optional<int> wait(std::chrono::milliseconds deadline) {
        if (!exit_ && started() &&
            WaitForSingleObject(handle_, static_cast<DWORD>(deadline.count())) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(handle_, &code);
            exit_ = static_cast<int>(code);
        }
        return exit_;
    }
#else
    bool started() const { return pid_ > 0; }
    void kill() { ::kill(pid_, SIGKILL); }
    // The exit code (128 + signal for a signal) once it has ended within the deadline.
    std::optional<int> wait(std::chrono::milliseconds deadline) {
        const auto until = std::chrono::steady_clock::now() + deadline;
        while (!exit_ && started()) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            else if (std::chrono::steady_clock::now() >= until)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return exit_;
    }

    // With pipes: sends a command line and returns the answer line; empty
    // when the pipe is closed or no answer came before the deadline.
    std::optional<std::string> ask(const std::string& command, std::chrono::milliseconds deadline) {
        const std::string data = command + "\n";
        if (in_ < 0 || ::write(in_, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
            return std::nullopt;
        const auto until = std::chrono::steady_clock::now() + deadline;
        std::string line;
        while (line.empty() || line.back() != '\n') {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            pollfd p{out_, POLLIN, 0};
            char c = 0;
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 || ::read(out_, &c, 1) != 1)
                return std::nullopt;
            line += c;
        }
        line.pop_back();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();  // Windows text mode
        return line;
    }
#endif

private:
#ifdef _WIN32
    HANDLE handle_ = nullptr;
#else
    pid_t pid_ = -1;
    int in_ = -1;   // our end of its stdin, with pipes
    int out_ = -1;  // our end of its stdout, with pipes
#endif
    std::optional<int> exit_;
};

// Runs `program` with `arguments` to its end. Returns the exit code, or -1
// when it could not be started.
inline int runProgramAt(const std::string& program, const std::vector<std::string>& arguments) {
    StartedProgram started(program, arguments);
    return started.started() ? started.wait(std::chrono::hours(24)).value_or(-1) : -1;
}

}  // namespace test_support
