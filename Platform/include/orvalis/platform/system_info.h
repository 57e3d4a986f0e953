// Facts about the machine and this process, for the diagnostics log.
// Each is empty where the system gives none; formatting is the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvalis::platform {

struct OsVersion {
    enum class Source {
        Windows,           // RtlGetVersion answered: major, minor, build set
        WindowsNoNtdll,    // ntdll.dll could not be got
        WindowsNoVersion,  // RtlGetVersion missing or failed
        Linux,             // name (os-release PRETTY_NAME) and kernel set
    };
    Source source = Source::WindowsNoVersion;
    std::uint32_t major = 0, minor = 0, build = 0;
    std::string name;    // Linux only
    std::string kernel;  // Linux only (uname release)
};
OsVersion osVersion();

// The processor brand string from CPUID 0x80000002..4, up to the first zero
// byte, leading spaces kept; empty when CPUID has no such leaves.
std::string cpuBrand();

// Number of logical processors.
std::uint32_t logicalProcessorCount();

// Total physical memory in bytes.
std::optional<std::uint64_t> totalPhysicalMemory();

struct DisplayDevice {
    std::string name;
    bool primary = false;
    bool attachedToDesktop = false;
};
// Display adapters in the system's order (EnumDisplayDevicesA; Linux
// /sys/class/drm cards, the first one marked primary).
std::vector<DisplayDevice> displayDevices();

// Private bytes of this process (Windows K32GetProcessMemoryInfo; Linux
// VmRSS + VmSwap of /proc/self/status).
std::optional<std::uint64_t> processPrivateBytes();

// Wall clock and this process's kernel and user CPU time, all in 100 ns
// units (Windows file times; Linux gettimeofday and getrusage).
struct ProcessTimes {
    std::uint64_t wall = 0, kernel = 0, user = 0;
};
std::optional<ProcessTimes> processTimes();

}  // namespace orvalis::platform
