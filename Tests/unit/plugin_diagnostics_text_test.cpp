// The system-information block, the status text and the performance line.
#include "diagnostics/system_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace orvalis::plugin {
namespace {

using platform::OsVersion;

OsVersion windows(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
    OsVersion os;
    os.source = OsVersion::Source::Windows;
    os.major = major;
    os.minor = minor;
    os.build = build;
    return os;
}

OsVersion other(OsVersion::Source source, std::uint32_t major = 0) {
    OsVersion os;
    os.source = source;
    os.major = major;
    return os;
}

OsVersion linux(std::string name, std::string kernel) {
    OsVersion os;
    os.source = OsVersion::Source::Linux;
    os.name = std::move(name);
    os.kernel = std::move(kernel);
    return os;
}

TEST(OsLine, Table) {
    const std::pair<OsVersion, const char*> rows[] = {
        {windows(10, 0, 22631), "OS: Windows 10.0 (Build 22631) [Windows 11 detected]\n"},
        {windows(10, 0, 22000), "OS: Windows 10.0 (Build 22000) [Windows 11 detected]\n"},
        {windows(10, 0, 21999), "OS: Windows 10.0 (Build 21999) [Windows 10 detected]\n"},
        {windows(6, 3, 9600), "OS: Windows 6.3 (Build 9600)\n"},  // no bracket unless major 10
        {other(OsVersion::Source::WindowsNoNtdll), "OS: Windows (Legacy detection failed)\n"},
        {other(OsVersion::Source::WindowsNoVersion, 10), ""},  // the version call failed
        {linux("Debian GNU/Linux 12 (bookworm)", "6.1.0-18-amd64"),
         "OS: Linux Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-18-amd64)\n"},
        {linux("", "6.1.0-18-amd64"), "OS: Linux (Kernel 6.1.0-18-amd64)\n"},
    };
    for (const auto& [os, line] : rows) {
        EXPECT_EQ(formatOsLine(os), line);
    }
}

SystemFacts sampleFacts() {
    SystemFacts facts;
    facts.os = windows(10, 0, 22631);
    facts.cpuBrand = "  Test CPU @ 3.0GHz";
    facts.logicalProcessors = 16;
    facts.totalPhysicalMemory = (32ull << 30) + (512ull << 20);  // rounds down
    return facts;
}

TEST(SystemInfo, BlockLinesInOrder) {
    SystemFacts facts = sampleFacts();
    facts.displays = {{"Adapter A", true, true}, {"Adapter B", false, true}};
    EXPECT_EQ(formatSystemInfo(facts),
              "\n--- System Information ---\n"
              "OS: Windows 10.0 (Build 22631) [Windows 11 detected]\n"
              "CPU:   Test CPU @ 3.0GHz\n"
              "Logical Processors: 16\n"
              "Physical RAM: 32 GB\n"
              "GPU(s):\n"
              "  * Adapter A (Primary)\n"
              "  - Adapter B\n"
              "--------------------------\n");
}

TEST(SystemInfo, InactiveAdapterIsLeftOut) {
    SystemFacts facts = sampleFacts();
    facts.displays = {{"Main GPU", true, true}, {"Idle GPU", false, false}};
    const std::string block = formatSystemInfo(facts);
    EXPECT_NE(block.find("GPU(s):\n  * Main GPU (Primary)\n---"), std::string::npos) << block;
    EXPECT_EQ(block.find("Idle GPU"), std::string::npos);
}

TEST(SystemInfo, UnknownMemoryAndVersionLeaveTheirLinesOut) {
    SystemFacts facts = sampleFacts();
    facts.os.source = OsVersion::Source::WindowsNoVersion;
    facts.totalPhysicalMemory.reset();
    const std::string block = formatSystemInfo(facts);
    EXPECT_EQ(block.find("OS:"), std::string::npos);
    EXPECT_EQ(block.find("Physical RAM"), std::string::npos);
    EXPECT_NE(block.find("--- System Information ---\nCPU: "), std::string::npos);
    EXPECT_NE(block.find("GPU(s):\n--------------------------\n"), std::string::npos);
}

TEST(SystemInfo, ThisMachineHasTheFrame) {
    const std::string block = systemInfoBlock();
    EXPECT_EQ(block.rfind("\n--- System Information ---\n", 0), 0u);
    EXPECT_NE(block.find("Logical Processors: "), std::string::npos);
    EXPECT_NE(block.find("GPU(s):\n"), std::string::npos);
    EXPECT_TRUE(block.ends_with("\n--------------------------\n"));
}

platform::ProcessTimes times(std::uint64_t wall, std::uint64_t kernel, std::uint64_t user) {
    return {wall, kernel, user};
}

TEST(CpuLoad, FirstReadingIsInitThenLoadFromIt) {
    CpuLoadMeter meter;
    EXPECT_EQ(meter.measure(times(1000, 50, 50)).kind, CpuPiece::Kind::Init);
    const CpuPiece second = meter.measure(times(2000, 100, 150));  // 150 busy of 1000
    ASSERT_EQ(second.kind, CpuPiece::Kind::Load);
    EXPECT_DOUBLE_EQ(second.loadPercent, 15.0);
    // Measured from the second reading, not the first.
    const CpuPiece third = meter.measure(times(2500, 600, 650));
    ASSERT_EQ(third.kind, CpuPiece::Kind::Load);
    EXPECT_DOUBLE_EQ(third.loadPercent, 200.0);
}

TEST(CpuLoad, UnmovedWallClockGivesNoPieceButRebases) {
    CpuLoadMeter meter;
    meter.measure(times(1000, 0, 0));
    EXPECT_EQ(meter.measure(times(1000, 40, 0)).kind, CpuPiece::Kind::None);
    const CpuPiece next = meter.measure(times(1100, 50, 0));
    ASSERT_EQ(next.kind, CpuPiece::Kind::Load);
    EXPECT_DOUBLE_EQ(next.loadPercent, 10.0);
    EXPECT_EQ(meter.measure(times(900, 60, 10)).kind, CpuPiece::Kind::None);  // set back
    CpuLoadMeter fresh;  // a missing reading keeps the first call pending
    EXPECT_EQ(fresh.measure(std::nullopt).kind, CpuPiece::Kind::None);
    EXPECT_EQ(fresh.measure(times(1, 0, 0)).kind, CpuPiece::Kind::Init);
}

TEST(CpuLoad, OneInitAmongManyThreads) {
    CpuLoadMeter meter;
    std::atomic<std::uint64_t> clock{1};
    std::atomic<int> inits{0};
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 500; ++i) {
                    const std::uint64_t now = clock.fetch_add(10);
                    if (meter.measure(times(now, now / 10, 0)).kind == CpuPiece::Kind::Init) {
                        ++inits;
                    }
                }
            });
        }
    }
    EXPECT_EQ(inits.load(), 1);
}

TEST(StatusText, Pieces) {
    EXPECT_EQ(formatStatusText(412ull << 20, {CpuPiece::Kind::Load, 12.5}, 1),
              "RAM:  412 MB | CPU: 12.5% | Viewer: CONNECTED [1]");
    EXPECT_EQ(formatStatusText((3ull << 20) + 5, {CpuPiece::Kind::Init, 0.0}, 0),
              "RAM:    3 MB | CPU: Init  | Viewer: DISCONNECTED");
    EXPECT_EQ(formatStatusText(std::nullopt, {CpuPiece::Kind::Load, 7.06}, 2), "CPU:  7.1% | Viewer: CONNECTED [2]");
    EXPECT_EQ(formatStatusText(12345ull << 20, {CpuPiece::Kind::Load, 150.0}, 0),
              "RAM: 12345 MB | CPU: 150.0% | Viewer: DISCONNECTED");
    EXPECT_EQ(formatStatusText(std::nullopt, {}, 0), "Viewer: DISCONNECTED");
}

TEST(StatusText, ThisProcessStartsWithInitThenMeasures) {
    CpuLoadMeter meter;
    const std::string first = systemStatusText(meter, 0);
    EXPECT_NE(first.find("CPU: Init  | "), std::string::npos) << first;
    volatile double spin = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        spin = spin + i;
    }
    const std::string second = systemStatusText(meter, 0);
    EXPECT_EQ(second.find("Init"), std::string::npos) << second;
    EXPECT_TRUE(second.ends_with("Viewer: DISCONNECTED")) << second;
}

TEST(PerfLine, MillisecondsWithTwoDecimalsInSeven) {
    EXPECT_EQ(formatPerfLine(3250, "RAM:  412 MB | Viewer: DISCONNECTED"),
              "[PERF]    3.25 ms | RAM:  412 MB | Viewer: DISCONNECTED");
    EXPECT_EQ(formatPerfLine(1234567, "x"), "[PERF] 1234.57 ms | x");
    EXPECT_EQ(formatPerfLine(0, ""), "[PERF]    0.00 ms | ");
}

}  // namespace
}  // namespace orvalis::plugin
