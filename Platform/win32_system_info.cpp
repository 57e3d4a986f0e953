// Win32 machine and process facts for the diagnostics log.
#include <orvalis/platform/system_info.h>

#include "win32_internal.h"

#include <psapi.h>

#include <cstring>

namespace orvalis::platform {
namespace {

std::uint64_t fromFileTime(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

OsVersion osVersion() {
    OsVersion version;
    // ntdll is in every process; RtlGetVersion tells the truth where
    // GetVersionEx is shimmed by the compatibility layer.
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        version.source = OsVersion::Source::WindowsNoNtdll;
        return version;
    }
    using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    const auto rtlGetVersion =
        reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "RtlGetVersion")));
    version.source = OsVersion::Source::WindowsNoVersion;
    if (rtlGetVersion == nullptr)
        return version;
    RTL_OSVERSIONINFOW info;
    std::memset(&info, 0, sizeof info);
    static_assert(sizeof info == 276);
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion(&info) != 0)  // STATUS_SUCCESS
        return version;
    version.source = OsVersion::Source::Windows;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    return version;
}

std::uint32_t logicalProcessorCount() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors >= 1 ? info.dwNumberOfProcessors : 1u;
}

std::optional<std::uint64_t> totalPhysicalMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status))
        return std::nullopt;
    return status.ullTotalPhys;
}

std::vector<DisplayDevice> displayDevices() {
    std::vector<DisplayDevice> devices;
    for (DWORD index = 0; index < 256; ++index) {
        DISPLAY_DEVICEA device;
        std::memset(&device, 0, sizeof device);
        device.cb = sizeof device;
        if (!::EnumDisplayDevicesA(nullptr, index, &device, 0))
            break;
        DisplayDevice entry;
        entry.name.assign(device.DeviceString, strnlen(device.DeviceString, sizeof device.DeviceString));
        entry.primary = (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0;
        entry.attachedToDesktop = (device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0;
        devices.push_back(std::move(entry));
    }
    return devices;
}

std::optional<std::uint64_t> processPrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters;
    std::memset(&counters, 0, sizeof counters);
    counters.cb = sizeof counters;
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                   sizeof counters))
        return std::nullopt;
    // The two are the same count on Windows; some emulations fill only the older one.
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

std::optional<ProcessTimes> processTimes() {
    FILETIME now{}, creation{}, exit{}, kernel{}, user{};
    ::GetSystemTimeAsFileTime(&now);
    if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return std::nullopt;
    ProcessTimes times;
    times.wall = fromFileTime(now);
    times.kernel = fromFileTime(kernel);
    times.user = fromFileTime(user);
    return times;
}

}  // namespace orvalis::platform
