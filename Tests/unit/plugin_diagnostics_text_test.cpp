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
using Src = OsVersion::Source;

TEST(OsLine, Table) {
    const std::pair<OsVersion, const char*> rows[] = {
        {{Src::Windows, 10, 0, 22631, "", ""}, "OS: Windows 10.0 (Build 22631) [Windows 11 detected]\n"},
        {{Src::Windows, 10, 0, 22000, "", ""}, "OS: Windows 10.0 (Build 22000) [Windows 11 detected]\n"},
        {{Src::Windows, 10, 0, 21999, "", ""}, "OS: Windows 10.0 (Build 21999) [Windows 10 detected]\n"},
        {{Src::Windows, 6, 3, 9600, "", ""}, "OS: Windows 6.3 (Build 9600)\n"},  // no bracket unless major 10
        {{Src::WindowsNoNtdll, 0, 0, 0, "", ""}, "OS: Windows (Legacy detection failed)\n"},
        {{Src::WindowsNoVersion, 10, 0, 0, "", ""}, ""},  // the version call failed
        {{Src::Linux, 0, 0, 0, "Debian GNU/Linux 12 (bookworm)", "6.1.0-18-amd64"},
         "OS: Linux Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-18-amd64)\n"},
        {{Src::Linux, 0, 0, 0, "", "6.1.0-18-amd64"}, "OS: Linux (Kernel 6.1.0-18-amd64)\n"},
    };
    for (const auto& [os, line] : rows) {
        EXPECT_EQ(formatOsLine(os), line);
    }
}

// Memory rounds down to whole GB; an inactive adapter, an unknown version
// and unknown memory leave their lines out.
TEST(SystemInfo, BlockLines) {
    const std::string head = "\n--- System Information ---\n";
    const std::string os = "OS: Windows 10.0 (Build 22631) [Windows 11 detected]\n";
    const std::string cpu = "CPU:   Test CPU @ 3.0GHz\nLogical Processors: 16\n";
    const std::string tail = "--------------------------\n";
    struct Row {
        Src source;
        std::optional<std::uint64_t> memory;
        std::vector<platform::DisplayDevice> displays;
        std::string want;
    };
    const Row rows[] = {
        {Src::Windows,
         (32ull << 30) + (512ull << 20),
         {{"Adapter A", true, true}, {"Adapter B", false, true}},
         head + os + cpu + "Physical RAM: 32 GB\nGPU(s):\n  * Adapter A (Primary)\n  - Adapter B\n" + tail},
        {Src::Windows,
         1ull << 30,
         {{"Main GPU", true, true}, {"Idle GPU", false, false}},
         head + os + cpu + "Physical RAM: 1 GB\nGPU(s):\n  * Main GPU (Primary)\n" + tail},
        {Src::WindowsNoVersion, std::nullopt, {}, head + cpu + "GPU(s):\n" + tail},
    };
    for (const Row& row : rows) {
        SystemFacts facts;
        facts.os = {row.source, 10, 0, 22631, "", ""};
        facts.cpuBrand = "  Test CPU @ 3.0GHz";
        facts.logicalProcessors = 16;
        facts.totalPhysicalMemory = row.memory;
        facts.displays = row.displays;
        EXPECT_EQ(formatSystemInfo(facts), row.want);
    }
}

using Times = platform::ProcessTimes;

TEST(CpuLoad, InitThenLoadFromTheReadingBeforeAndNoPieceWhileTheWallClockStands) {
    CpuLoadMeter meter;
    EXPECT_EQ(meter.measure(Times{1000, 50, 50}).kind, CpuPiece::Kind::Init);
    const CpuPiece second = meter.measure(Times{2000, 100, 150});  // 150 busy of 1000
    ASSERT_EQ(second.kind, CpuPiece::Kind::Load);
    EXPECT_DOUBLE_EQ(second.loadPercent, 15.0);
    const CpuPiece third = meter.measure(Times{2500, 600, 650});  // from the second reading, not the first
    ASSERT_EQ(third.kind, CpuPiece::Kind::Load);
    EXPECT_DOUBLE_EQ(third.loadPercent, 200.0);
    // An unmoved wall clock gives no piece, but the next load is measured from it.
    EXPECT_EQ(meter.measure(Times{2500, 640, 650}).kind, CpuPiece::Kind::None);
    const CpuPiece next = meter.measure(Times{2600, 650, 650});
    ASSERT_EQ(next.kind, CpuPiece::Kind::Load);
    EXPECT_DOUBLE_EQ(next.loadPercent, 10.0);
    EXPECT_EQ(meter.measure(Times{2400, 660, 660}).kind, CpuPiece::Kind::None);  // set back
    CpuLoadMeter fresh;  // a missing reading keeps the first call pending
    EXPECT_EQ(fresh.measure(std::nullopt).kind, CpuPiece::Kind::None);
    EXPECT_EQ(fresh.measure(Times{1, 0, 0}).kind, CpuPiece::Kind::Init);
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
                    if (meter.measure(Times{now, now / 10, 0}).kind == CpuPiece::Kind::Init) {
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
