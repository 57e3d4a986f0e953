// The plug-in's diagnostics log: one plain-text file per host process,
// "ov_log.txt" in the user's application-data folder + "Orvalis", opened
// once, started with a block of system information and capped in size.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

namespace orvalis::plugin {

// Characters after which further lines are dropped.
inline constexpr std::uint64_t kLogCharacterCap = 10'485'760;

// Name of the log file inside its folder.
inline constexpr char kLogFileName[] = "ov_log.txt";

// "[" + local time as "%Y-%m-%d %H:%M:%S" + "] " + message + "\n".
std::string formatLogLine(std::time_t time, std::string_view message);

// A text file that takes whole, time-stamped lines until it has been handed
// more than `cap` characters; the line that crosses the cap is still
// written. Not locked: the process-wide log wraps it in its mutex.
class LogWriter {
public:
    explicit LogWriter(std::uint64_t cap = kLogCharacterCap) : cap_(cap) {}

    // Opens the file for writing, truncating it, and resets the counter.
    // `path` is UTF-8. False when it cannot be opened.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return stream_.is_open(); }

    // Writes and flushes one line stamped with `time`. False when the file is
    // closed or the cap has been passed (the line is dropped).
    bool write(std::string_view message, std::time_t time);

    // Characters handed to the file since it was opened (a line break
    // counts one).
    std::uint64_t charactersWritten() const { return written_; }

private:
    std::ofstream stream_;
    std::uint64_t written_ = 0;
    std::uint64_t cap_;
};

// Where every logged message is also handed, as plain text; the effect
// points it at OFX::Log::print. Null: platform::debugOutput.
using LogEcho = void (*)(std::string_view text);

// The per-process log: part of the process context, one per host process.
// Lock order: the set-up mutex before the log mutex; callers may hold the
// launch mutex when they write a line, never the other way round.
class ProcessLog {
public:
    ProcessLog() = default;
    ProcessLog(const ProcessLog&) = delete;
    ProcessLog& operator=(const ProcessLog&) = delete;

    void setEcho(LogEcho echo);

    // Opens the log once in the application-data folder and writes its
    // opening lines. Later calls return at once; after a failure the next
    // call tries again. Never throws: failures go to the echo.
    void SetupOVLogging();

    // The same in a given folder (created with its parents), for callers
    // that choose the place themselves. True when the log is open afterwards.
    bool SetupOVLoggingIn(std::string_view folder);

    // Closes the log and clears the set-up flag, so the next set-up starts a
    // new file.
    void ShutdownOVLogging();

    // Full path of the open log file; empty when there is none.
    std::string filePath() const;

    // Writes one time-stamped line (unless the log is closed or full) and
    // hands the message to the echo. Any thread.
    void line(std::string_view message);

private:
    bool setupIn(std::string_view folder);
    template <typename F>
    bool guarded(F&& f);
    void echo(std::string_view text) const;
    void writeLocked(std::string_view message);

    std::mutex setupMutex_;     // one set-up at a time
    mutable std::mutex mutex_;  // the writer, its counter and path
    LogWriter writer_;
    std::string path_;
    std::atomic<bool> setUp_{false};
    std::atomic<LogEcho> echo_{nullptr};
};

}  // namespace orvalis::plugin
