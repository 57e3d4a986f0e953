// The diagnostics log: line layout, opening lines, the size cap, the echo.
#include "diagnostics/log.h"

#include <gtest/gtest.h>

#include "Tests/support/file_text.h"
#include "Tests/support/scratch_folder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orvalis::plugin {
namespace {

namespace fs = std::filesystem;

using test_support::fileText;
using test_support::ScratchFolder;

std::vector<std::string> readLines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Everything echoed, for the tests that look at the echo: written by any
// thread, read by the test's own once no other runs.
std::mutex echoMutex;
std::vector<std::string> echoed;
void recordEcho(std::string_view text) {
    std::lock_guard lock(echoMutex);
    echoed.emplace_back(text);
}

class ProcessLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.setEcho(&recordEcho);
        echoed.clear();
    }
    ScratchFolder scratch;  // outlives the log, which may hold a file in it
    ProcessLog log;
};

TEST(LogLine, LocalTimeStampThenMessage) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 1;
    local.tm_hour = 14;
    local.tm_min = 3;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    ASSERT_NE(t, static_cast<std::time_t>(-1));
    EXPECT_EQ(formatLogLine(t, "Orvalis: Instance created."), "[2024-05-01 14:03:07] Orvalis: Instance created.\n");
    EXPECT_EQ(formatLogLine(t, ""), "[2024-05-01 14:03:07] \n");
}

TEST(LogWriterCap, LineThatCrossesIsWrittenLaterOnesDroppedUntilReopened) {
    ScratchFolder scratch;
    const fs::path file = scratch.path() / "capped.txt";
    // 25 characters a line: 22 of stamp, "Ln" and the line break.
    LogWriter writer(50);
    EXPECT_FALSE(writer.write("closed: nothing", 0));
    ASSERT_TRUE(writer.open(file.string()));
    // Two lines reach the cap exactly: not above it, so the third is written
    // too, and it crosses; the fourth is dropped.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(writer.write("L" + std::to_string(i), std::time(nullptr)), i < 3) << "line " << i;
    }
    const std::vector<std::string> capped = readLines(file);
    ASSERT_EQ(capped.size(), 3u);
    EXPECT_TRUE(capped[2].ends_with("] L2"));
    ASSERT_TRUE(writer.open(file.string()));
    EXPECT_EQ(writer.charactersWritten(), 0u);
    EXPECT_TRUE(writer.write("second", 0));
    writer.close();
    const std::vector<std::string> lines = readLines(file);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with("] second"));
}

TEST_F(ProcessLogTest, OpeningLinesOnceThenMessages) {
    const fs::path folder = scratch.path() / "AppData" / "Orvalis";
    ASSERT_TRUE(log.SetupOVLoggingIn(folder.string()));
    ASSERT_TRUE(log.SetupOVLoggingIn(folder.string()));
    log.SetupOVLogging();  // already set up: does nothing, opens nothing else
    log.line("Orvalis: Instance created.");
    ASSERT_TRUE(log.SetupOVLoggingIn(folder.string()));
    log.line("Orvalis: Instance created.");

    const fs::path file = folder / kLogFileName;
    EXPECT_EQ(fs::path(log.filePath()), file);
    const std::vector<std::string> lines = readLines(file);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(22), "Orvalis Plugin Log Started");
    EXPECT_EQ(lines[1].substr(22), "Log File: " + file.string());
    EXPECT_EQ(lines[2].substr(22), "");  // the block starts with a line break
    EXPECT_EQ(lines[3], "--- System Information ---");
    const auto rule = static_cast<std::size_t>(std::find(lines.begin() + 4, lines.end(), "--------------------------") -
                                               lines.begin());
    // The block ends in a line break of its own, so an empty line follows.
    ASSERT_EQ(lines.size(), rule + 4);
    EXPECT_EQ(lines[rule + 1], "");
    EXPECT_EQ(lines[rule + 2].substr(22), "Orvalis: Instance created.");
    EXPECT_EQ(lines[rule + 3].substr(22), "Orvalis: Instance created.");

    // Every message also reached the echo, opening lines included.
    ASSERT_EQ(echoed.size(), 5u);
    EXPECT_EQ(echoed[0], "Orvalis Plugin Log Started");
    EXPECT_EQ(echoed[4], "Orvalis: Instance created.");
}

TEST_F(ProcessLogTest, FailedSetUpIsTriedAgainAndANewOneTruncates) {
    const fs::path blocker = scratch.path() / "not-a-folder";
    std::ofstream(blocker) << "x";
    EXPECT_FALSE(log.SetupOVLoggingIn(blocker.string()));
    EXPECT_EQ(log.filePath(), "");
    log.line("only echoed");
    EXPECT_EQ(echoed, std::vector<std::string>{"only echoed"});
    ASSERT_TRUE(log.SetupOVLoggingIn((scratch.path() / "good").string()));
    log.line("from the first set-up");
    log.ShutdownOVLogging();
    // A new set-up starts a new file.
    ASSERT_TRUE(log.SetupOVLoggingIn((scratch.path() / "good").string()));
    const std::string all = fileText(scratch.path() / "good" / kLogFileName);
    EXPECT_EQ(all.find("only echoed"), std::string::npos);
    EXPECT_EQ(all.find("from the first set-up"), std::string::npos);
    EXPECT_NE(all.find("Orvalis Plugin Log Started"), std::string::npos);
}

TEST_F(ProcessLogTest, FolderNamesAreUtf8) {
    const fs::path folder = scratch.path() / fs::path(u8"Caf\u00e9 \u65e5\u672c");
    const std::u8string utf8 = folder.u8string();
    ASSERT_TRUE(log.SetupOVLoggingIn(std::string(utf8.begin(), utf8.end())));
    EXPECT_NE(fileText(folder / kLogFileName).find("Orvalis Plugin Log Started"), std::string::npos);
}

// An echo that fails once, for the set-up's exception reports.
std::atomic<int> echoFailures{0};
template <typename E>
void failingEcho(std::string_view text) {
    if (echoFailures.fetch_sub(1) > 0) {
        throw E();
    }
    recordEcho(text);
}
struct Boom : std::runtime_error {
    Boom() : std::runtime_error("boom") {}
};

TEST_F(ProcessLogTest, ExceptionsInSetUpAreReportedNotThrown) {
    echoFailures = 1;
    log.setEcho(&failingEcho<Boom>);
    EXPECT_FALSE(log.SetupOVLoggingIn(scratch.str()));
    echoFailures = 1;
    log.setEcho(&failingEcho<int>);
    EXPECT_FALSE(log.SetupOVLoggingIn(scratch.str()));
    EXPECT_EQ(echoed, (std::vector<std::string>{"Orvalis: Exception in SetupOVLogging: boom",
                                                "Orvalis: Unknown exception in SetupOVLogging."}));
    // The flag stayed clear: the next call sets up, from a fresh file.
    EXPECT_TRUE(log.SetupOVLoggingIn(scratch.str()));
    const std::string all = fileText(scratch.path() / kLogFileName);
    EXPECT_EQ(all.find("Orvalis Plugin Log Started"), all.rfind("Orvalis Plugin Log Started"));
}

TEST_F(ProcessLogTest, LinesFromManyThreadsStayWhole) {
    ASSERT_TRUE(log.SetupOVLoggingIn(scratch.str()));
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([this, t] {
                for (int i = 0; i < kLines; ++i) {
                    log.line("thread " + std::to_string(t) + " line " + std::to_string(i) + std::string(64, 'a' + t));
                }
            });
        }
    }
    const std::regex whole(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] thread (\d) line \d+([a-d]{64})$)");
    int count = 0;
    for (const std::string& line : readLines(scratch.path() / kLogFileName)) {
        std::smatch m;
        if (line.find("thread ") == std::string::npos) {
            continue;
        }
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
        EXPECT_EQ(m[2].str(), std::string(64, static_cast<char>('a' + std::stoi(m[1].str()))));
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace orvalis::plugin
