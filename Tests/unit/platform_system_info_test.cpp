// Machine and process facts: plausible values, and process times that
// only move forward.
#include <orvalis/platform/system_info.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

using namespace orvalis::platform;

TEST(SystemInfo, MachineFactsArePlausibleAndTheCpuBrandIsCleanText) {
    EXPECT_GE(logicalProcessorCount(), 1u);
    const auto memory = totalPhysicalMemory();
    ASSERT_TRUE(memory.has_value());
    EXPECT_GT(*memory, 0u);
    const std::string brand = cpuBrand();
    EXPECT_LE(brand.size(), 48u);
    EXPECT_EQ(brand.find('\0'), std::string::npos);
}

TEST(SystemInfo, OsVersionNamesTheSystem) {
    const OsVersion version = osVersion();
#if defined(_WIN32)
    ASSERT_EQ(version.source, OsVersion::Source::Windows);
    EXPECT_GE(version.major, 5u);
#else
    ASSERT_EQ(version.source, OsVersion::Source::Linux);
    EXPECT_FALSE(version.kernel.empty());
    EXPECT_FALSE(version.name.empty());
#endif
}

TEST(SystemInfo, DisplayDevicesHaveNamesAndOnePrimaryAtMost) {
    const auto devices = displayDevices();
    for (const auto& device : devices)
        EXPECT_FALSE(device.name.empty());
    EXPECT_LE(std::count_if(devices.begin(), devices.end(), [](const DisplayDevice& d) { return d.primary; }), 1);
}

TEST(ProcessFigures, PrivateBytesAreReportedAndTimesOnlyMoveForward) {
    EXPECT_GT(processPrivateBytes().value_or(0), 0u);
    const auto first = processTimes();
    ASSERT_TRUE(first.has_value());
    // Burn a little CPU so the counters have a chance to move.
    volatile double sink = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
    while (std::chrono::steady_clock::now() < until)
        sink = sink + std::sqrt(static_cast<double>(sink + 1.0));
    const auto second = processTimes();
    ASSERT_TRUE(second.has_value());
    EXPECT_GE(second->wall, first->wall);
    EXPECT_GE(second->kernel, first->kernel);
    EXPECT_GE(second->user, first->user);
    EXPECT_GT(second->wall, 0u);
    EXPECT_GT(second->kernel + second->user, 0u);
}

}  // namespace
