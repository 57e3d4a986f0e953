// Machine and process facts: plausible values, and process times that
// only move forward.
#include <orvalis/platform/system_info.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

using namespace orvalis::platform;

TEST(SystemInfo, MachineFactsArePlausible) {
    EXPECT_GE(logicalProcessorCount(), 1u);
    const auto memory = totalPhysicalMemory();
    ASSERT_TRUE(memory.has_value());
    EXPECT_GT(*memory, 0u);
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

TEST(SystemInfo, CpuBrandIsCleanText) {
    const std::string brand = cpuBrand();
    EXPECT_LE(brand.size(), 48u);
    EXPECT_EQ(brand.find('\0'), std::string::npos);
}

TEST(SystemInfo, DisplayDevicesHaveNamesAndOnePrimaryAtMost) {
    const auto devices = displayDevices();
    for (const auto& device : devices)
        EXPECT_FALSE(device.name.empty());
    EXPECT_LE(std::count_if(devices.begin(), devices.end(), [](const DisplayDevice& d) { return d.primary; }), 1);
}

TEST(ProcessFigures, PrivateBytesAreReported) {
    // Touch some memory of our own so there is something to count.
    std::vector<char> buffer(8 << 20, 1);
    const auto bytes = processPrivateBytes();
    ASSERT_TRUE(bytes.has_value());
    EXPECT_GT(*bytes, 0u);
    EXPECT_EQ(buffer[12345], 1);
}

TEST(ProcessFigures, TimesOnlyMoveForward) {
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
