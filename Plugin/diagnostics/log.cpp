#include "diagnostics/log.h"

#include "diagnostics/system_text.h"

#include <orvalis/platform/c_runtime.h>
#include <orvalis/platform/dialog.h>
#include <orvalis/platform/paths.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <mutex>

namespace orvalis::plugin {

namespace {

std::filesystem::path fromUtf8(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// Set-up is tried again on every call; the user hears of a failure once per process.
void noticeNoLog(const std::string& why) {
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        platform::noticeOutput("Orvalis: " + why + "; this process keeps no log");
    }
}

}  // namespace

void ProcessLog::echo(std::string_view text) const {
    const LogEcho sink = echo_.load(std::memory_order_acquire);
    if (sink) {
        sink(text);
    } else {
        platform::debugOutput(text);
    }
}

// The caller holds the log mutex.
void ProcessLog::writeLocked(std::string_view message) {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    writer_.write(message, now);
    echo(message);
}

bool ProcessLog::setupIn(std::string_view folder) {
    std::lock_guard setupLock(setupMutex_);
    if (setUp_.load(std::memory_order_acquire)) {
        return true;
    }
    if (folder.empty() || !platform::createDirectories(folder)) {
        noticeNoLog("cannot create the log folder " + std::string(folder));
        return false;
    }
    const std::string path = std::string(folder) + platform::pathSeparator() + kLogFileName;
    // Gathered before the lock: the platform calls may be slow.
    const std::string systemBlock = systemInfoBlock();
    std::lock_guard lock(mutex_);
    if (!writer_.open(path)) {
        noticeNoLog("cannot open the log file " + path);
        return false;
    }
    path_ = path;
    writeLocked("Orvalis Plugin Log Started");
    writeLocked("Log File: " + path);
    writeLocked(systemBlock);
    setUp_.store(true, std::memory_order_release);
    return true;
}

// Set-up must not throw into the host: report and go on without a log.
template <typename F>
bool ProcessLog::guarded(F&& f) {
    try {
        return f();
    } catch (const std::exception& e) {
        echo(std::string("Orvalis: Exception in SetupOVLogging: ") + e.what());
    } catch (...) {
        echo("Orvalis: Unknown exception in SetupOVLogging.");
    }
    return false;
}

std::string formatLogLine(std::time_t time, std::string_view message) {
    char stamp[32] = {};
    std::tm local{};
    if (!platform::localTime(time, local) || std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local) == 0) {
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

void ProcessLog::setEcho(LogEcho sink) { echo_.store(sink, std::memory_order_release); }

void ProcessLog::SetupOVLogging() {
    if (setUp_.load(std::memory_order_acquire)) {
        return;
    }
    guarded([this] {
        const std::string base = platform::appDataFolder();
        if (base.empty()) {
            return false;
        }
        return setupIn(base + platform::pathSeparator() + "Orvalis");
    });
}

bool ProcessLog::SetupOVLoggingIn(std::string_view folder) {
    if (setUp_.load(std::memory_order_acquire)) {
        return true;
    }
    return guarded([this, folder] { return setupIn(folder); });
}

void ProcessLog::ShutdownOVLogging() {
    std::lock_guard setupLock(setupMutex_);
    std::lock_guard lock(mutex_);
    writer_.close();
    path_.clear();
    setUp_.store(false, std::memory_order_release);
}

std::string ProcessLog::filePath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void ProcessLog::line(std::string_view message) {
    std::lock_guard lock(mutex_);
    writeLocked(message);
}

}  // namespace orvalis::plugin
