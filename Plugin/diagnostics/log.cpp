#include "diagnostics/log.h"

#include "diagnostics/system_text.h"

#include <orvalis/platform/dialog.h>
#include <orvalis/platform/paths.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <mutex>

namespace orvalis::plugin {

namespace {

struct LogState {
    std::mutex setupMutex;  // one set-up at a time; taken before `mutex`
    std::mutex mutex;       // the log mutex: the writer, its counter and path
    LogWriter writer;
    std::string path;
    std::atomic<bool> setUp{false};
    std::atomic<LogEcho> echo{nullptr};
};

LogState& logState() {
    static LogState state;
    return state;
}

void echo(std::string_view text) {
    const LogEcho sink = logState().echo.load(std::memory_order_acquire);
    if (sink) {
        sink(text);
    } else {
        platform::debugOutput(text);
    }
}

bool localTime(std::time_t time, std::tm& out) {
#if defined(_WIN32)
    return localtime_s(&out, &time) == 0;
#else
    return localtime_r(&time, &out) != nullptr;
#endif
}

std::filesystem::path fromUtf8(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// Writes under the log mutex, which the caller holds.
void writeLocked(LogState& state, std::string_view message) {
    const std::time_t now =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    state.writer.write(message, now);
    echo(message);
}

// Set-up is tried again on every call; the user hears of a failure once.
void noticeNoLog(const std::string& why) {
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        platform::noticeOutput("Orvalis: " + why + "; this process keeps no log");
    }
}

bool setupIn(std::string_view folder) {
    LogState& state = logState();
    std::lock_guard setupLock(state.setupMutex);
    if (state.setUp.load(std::memory_order_acquire)) {
        return true;
    }
    if (folder.empty() || !platform::createDirectories(folder)) {
        noticeNoLog("cannot create the log folder " + std::string(folder));
        return false;
    }
    const std::string path = std::string(folder) + platform::pathSeparator() + kLogFileName;
    // Gathered before the lock: the platform calls may be slow.
    const std::string systemBlock = systemInfoBlock();
    std::lock_guard lock(state.mutex);
    if (!state.writer.open(path)) {
        noticeNoLog("cannot open the log file " + path);
        return false;
    }
    state.path = path;
    writeLocked(state, "Orvalis Plugin Log Started");
    writeLocked(state, "Log File: " + path);
    writeLocked(state, systemBlock);
    state.setUp.store(true, std::memory_order_release);
    return true;
}

// Set-up must not throw into the host: report and go on without a log.
template <typename F>
bool guarded(F&& f) {
    try {
        return f();
    } catch (const std::exception& e) {
        echo(std::string("Orvalis: Exception in SetupOVLogging: ") + e.what());
    } catch (...) {
        echo("Orvalis: Unknown exception in SetupOVLogging.");
    }
    return false;
}

}  // namespace

std::string formatLogLine(std::time_t time, std::string_view message) {
    char stamp[32] = {};
    std::tm local{};
    if (!localTime(time, local) ||
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local) == 0) {
        stamp[0] = '\0';
    }
    std::string line;
    line.reserve(message.size() + 24);
    line += '[';
    line += stamp;
    line += "] ";
    line += message;
    line += '\n';
    return line;
}

bool LogWriter::open(const std::string& path) {
    close();
    stream_.open(fromUtf8(path), std::ios::out | std::ios::trunc);
    written_ = 0;
    return stream_.is_open();
}

void LogWriter::close() {
    if (stream_.is_open()) {
        stream_.close();
    }
    stream_.clear();
    written_ = 0;
}

bool LogWriter::write(std::string_view message, std::time_t time) {
    if (!stream_.is_open() || written_ > cap_) {
        return false;
    }
    const std::string line = formatLogLine(time, message);
    stream_ << line;
    stream_.flush();
    written_ += line.size();
    return true;
}

void setLogEcho(LogEcho sink) { logState().echo.store(sink, std::memory_order_release); }

void SetupOVLogging() {
    if (logState().setUp.load(std::memory_order_acquire)) {
        return;
    }
    guarded([] {
        const std::string base = platform::appDataFolder();
        if (base.empty()) {
            return false;
        }
        return setupIn(base + platform::pathSeparator() + "Orvalis");
    });
}

bool SetupOVLoggingIn(std::string_view folder) {
    if (logState().setUp.load(std::memory_order_acquire)) {
        return true;
    }
    return guarded([folder] { return setupIn(folder); });
}

void ShutdownOVLogging() {
    LogState& state = logState();
    std::lock_guard setupLock(state.setupMutex);
    std::lock_guard lock(state.mutex);
    state.writer.close();
    state.path.clear();
    state.setUp.store(false, std::memory_order_release);
}

std::string logFilePath() {
    LogState& state = logState();
    std::lock_guard lock(state.mutex);
    return state.path;
}

void logLine(std::string_view message) {
    LogState& state = logState();
    std::lock_guard lock(state.mutex);
    writeLocked(state, message);
}

}  // namespace orvalis::plugin
