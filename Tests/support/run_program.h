// Starts a helper program of the tests without a shell in between (cmd.exe
// under Wine refuses command lines now and then), waits for it or kills it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace test_support {

// A helper program started without a shell, its standard output going to
// outputPath when that is not empty. A test may kill it as a crash would
// (SIGKILL, TerminateProcess); one still running at the end is killed.
class StartedProgram {
public:
    StartedProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outputPath = {}) {
#ifdef _WIN32
        auto wide = [](const std::string& s) {
            const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
            std::wstring w(n > 0 ? n - 1 : 0, L'\0');
            if (n > 1)
                MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
            return w;
        };
        std::wstring line = L"\"" + wide(program) + L"\"";
        for (const std::string& a : arguments)
            line += L" \"" + wide(a) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        HANDLE out = INVALID_HANDLE_VALUE;
        if (!outputPath.empty()) {
            SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
            out = CreateFileW(wide(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
            if (out == INVALID_HANDLE_VALUE)
                return;
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = out;
            si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        }
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE, 0, nullptr, nullptr,
                           &si, &pi)) {
            CloseHandle(pi.hThread);
            handle_ = pi.hProcess;
        }
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
#else
        std::vector<std::string> owned{program};
        owned.insert(owned.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : owned)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!outputPath.empty())
            posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
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
#endif
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

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
#endif

private:
#ifdef _WIN32
    HANDLE handle_ = nullptr;
#else
    pid_t pid_ = -1;
#endif
    std::optional<int> exit_;
};

// Runs `program` with `arguments` to its end. Returns the exit code, or -1
// when it could not be started.
inline int runProgramAt(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& outputPath = {}) {
    StartedProgram started(program, arguments, outputPath);
    return started.started() ? started.wait(std::chrono::hours(24)).value_or(-1) : -1;
}

}  // namespace test_support
