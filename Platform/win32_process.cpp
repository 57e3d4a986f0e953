// Win32 child processes: CreateProcessW with the quoted path as the whole
// command line; the process handle is kept, the thread handle closed.
#include <orvalis/platform/process.h>

#include "internal.h"
#include "win32_internal.h"

#include <vector>

namespace orvalis::platform {

struct ChildProcess::State {
    HANDLE process = nullptr;
    DWORD id = 0;
};

namespace {
constexpr std::string_view kBackend = "Win32";
}

ChildProcess::ChildProcess(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& executable, int& errorCode) {
    errorCode = 0;
    std::wstring command = L"\"" + detail::widen(executable) + L"\"";
    std::vector<wchar_t> commandLine(command.begin(), command.end());  // CreateProcessW may write to it
    commandLine.push_back(L'\0');
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        errorCode = static_cast<int>(::GetLastError());
        if (errorCode == 0)
            errorCode = ERROR_GEN_FAILURE;
        detail::reportError(kBackend, "Failed to start " + executable, errorCode);
        return nullptr;
    }
    ::CloseHandle(info.hThread);
    auto state = std::make_unique<State>();
    state->process = info.hProcess;
    state->id = info.dwProcessId;
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(state)));
}

ChildProcess::~ChildProcess() { ::CloseHandle(state_->process); }

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout, int& exitCode) {
    const auto ms = timeout.count() <= 0 ? 0 : timeout.count() >= INFINITE ? INFINITE - 1 : timeout.count();
    if (::WaitForSingleObject(state_->process, static_cast<DWORD>(ms)) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    if (!::GetExitCodeProcess(state_->process, &code))
        return false;
    exitCode = static_cast<int>(code);
    return true;
}

bool ChildProcess::isRunning() {
    DWORD code = 0;
    return ::GetExitCodeProcess(state_->process, &code) && code == STILL_ACTIVE;
}

std::uint32_t ChildProcess::id() const noexcept { return state_->id; }

std::string systemErrorText(int errorCode) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(errorCode), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                         reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr)
        text = detail::narrow(std::wstring_view(buffer, length));
    if (buffer != nullptr)
        ::LocalFree(buffer);
    return text;
}

std::uint32_t currentProcessId() noexcept { return ::GetCurrentProcessId(); }

void sleepFor(std::chrono::milliseconds duration) {
    auto left = duration.count();
    while (left > 0) {
        const auto part = left < 0x7FFFFFFF ? left : 0x7FFFFFFF;
        ::Sleep(static_cast<DWORD>(part));
        left -= part;
    }
}

}  // namespace orvalis::platform
