#include "diagnostics/system_text.h"

#include <charconv>
#include <system_error>
#include <type_traits>

namespace orvalis::plugin {

namespace {

// A number right-aligned in `width` characters. to_chars keeps the decimal
// point a point whatever locale the host has set.
template <typename T>
std::string rightAligned(T value, std::size_t width, int decimals = -1) {
    char buffer[64];
    std::to_chars_result result;
    if constexpr (std::is_floating_point_v<T>) {
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, value);
    }
    std::string text(buffer, result.ec == std::errc{} ? result.ptr : buffer);
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

}  // namespace

SystemFacts gatherSystemFacts() {
    SystemFacts facts;
    facts.os = platform::osVersion();
    facts.cpuBrand = platform::cpuBrand();
    facts.logicalProcessors = platform::logicalProcessorCount();
    facts.totalPhysicalMemory = platform::totalPhysicalMemory();
    facts.displays = platform::displayDevices();
    return facts;
}

std::string formatOsLine(const platform::OsVersion& os) {
    using Source = platform::OsVersion::Source;
    switch (os.source) {
    case Source::WindowsNoNtdll: return "OS: Windows (Legacy detection failed)\n";
    case Source::WindowsNoVersion: return {};
    case Source::Windows: {
        std::string line = "OS: Windows " + std::to_string(os.major) + "." + std::to_string(os.minor) + " (Build " +
                           std::to_string(os.build) + ")";
        if (os.major == 10) {
            line += os.build >= 22000 ? " [Windows 11 detected]" : " [Windows 10 detected]";
        }
        return line + "\n";
    }
    case Source::Linux: {
        std::string line = "OS: Linux";
        if (!os.name.empty()) {
            line += " " + os.name;
        }
        if (!os.kernel.empty()) {
            line += " (Kernel " + os.kernel + ")";
        }
        return line + "\n";
    }
    }
    return {};
}

std::string formatSystemInfo(const SystemFacts& facts) {
    std::string text = "\n--- System Information ---\n";
    text += formatOsLine(facts.os);
    text += "CPU: " + facts.cpuBrand + "\n";
    text += "Logical Processors: " + std::to_string(facts.logicalProcessors) + "\n";
    if (facts.totalPhysicalMemory) {
        text += "Physical RAM: " + std::to_string(*facts.totalPhysicalMemory >> 30) + " GB\n";
    }
    text += "GPU(s):\n";
    for (const platform::DisplayDevice& device : facts.displays) {
        if (device.primary) {
            text += "  * " + device.name + " (Primary)\n";
        } else if (device.attachedToDesktop) {
            text += "  - " + device.name + "\n";
        }
    }
    text += "--------------------------\n";
    return text;
}

std::string systemInfoBlock() { return formatSystemInfo(gatherSystemFacts()); }

CpuPiece CpuLoadMeter::measure(const std::optional<platform::ProcessTimes>& now) {
    if (!now) {
        return {};
    }
    std::lock_guard lock(mutex_);
    const platform::ProcessTimes before = baseline_;
    const bool first = first_;
    baseline_ = *now;
    first_ = false;
    if (first) {
        return {CpuPiece::Kind::Init, 0.0};
    }
    // Signed differences: a wall clock set back gives no reading rather than
    // a nonsense load.
    const auto delta = [](std::uint64_t a, std::uint64_t b) {
        return static_cast<double>(static_cast<std::int64_t>(a - b));
    };
    const double wall = delta(now->wall, before.wall);
    if (wall <= 0.0) {
        return {};
    }
    const double busy = delta(now->kernel, before.kernel) + delta(now->user, before.user);
    return {CpuPiece::Kind::Load, busy / wall * 100.0};
}

std::string formatStatusText(std::optional<std::uint64_t> privateBytes, const CpuPiece& cpu, int viewerCount) {
    std::string text;
    if (privateBytes) {
        text += "RAM: " + rightAligned(*privateBytes >> 20, 4) + " MB | ";
    }
    switch (cpu.kind) {
    case CpuPiece::Kind::Init: text += "CPU: Init  | "; break;
    case CpuPiece::Kind::Load: text += "CPU: " + rightAligned(cpu.loadPercent, 4, 1) + "% | "; break;
    case CpuPiece::Kind::None: break;
    }
    if (viewerCount > 0) {
        text += "Viewer: CONNECTED [" + std::to_string(viewerCount) + "]";
    } else {
        text += "Viewer: DISCONNECTED";
    }
    return text;
}

std::string systemStatusText(CpuLoadMeter& meter, int viewerCount) {
    const std::optional<std::uint64_t> privateBytes = platform::processPrivateBytes();
    const CpuPiece cpu = meter.measure(platform::processTimes());
    return formatStatusText(privateBytes, cpu, viewerCount);
}

std::string formatPerfLine(std::int64_t elapsedMicroseconds, std::string_view status) {
    std::string line = "[PERF] ";
    line += rightAligned(static_cast<double>(elapsedMicroseconds) / 1000.0, 7, 2);
    line += " ms | ";
    line += status;
    return line;
}

}  // namespace orvalis::plugin
