// The texts the diagnostics log writes about the machine and the process:
// the system-information block, the status text and the performance line.
// Formatting takes plain values so that it can be checked without the
// machine it describes.
#pragma once

#include <orvalis/platform/system_info.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis::plugin {

// The facts the system-information block is made of.
struct SystemFacts {
    platform::OsVersion os;
    std::string cpuBrand;
    std::uint32_t logicalProcessors = 0;
    std::optional<std::uint64_t> totalPhysicalMemory;
    std::vector<platform::DisplayDevice> displays;
};

// Reads the facts from the platform layer.
SystemFacts gatherSystemFacts();

// The OS line, ending in a line break; empty when the version is unknown
// (RtlGetVersion missing or failed).
std::string formatOsLine(const platform::OsVersion& os);

// The whole block, starting with an empty line and ending with the rule of
// 26 hyphens.
std::string formatSystemInfo(const SystemFacts& facts);

// The system-information block of this machine.
std::string systemInfoBlock();

// The CPU piece of one status text.
struct CpuPiece {
    enum class Kind {
        Init,  // first reading of the process: "CPU: Init  | "
        Load,  // load measured since the previous reading
        None,  // no reading, or the wall clock did not move forward
    };
    Kind kind = Kind::None;
    double loadPercent = 0.0;  // share of one processor, Load only
};

// Process CPU load between successive readings. Every reading becomes the
// baseline of the next; callers on several threads each measure from the
// previous reading of any thread.
class CpuLoadMeter {
public:
    // Takes a reading (none when the system could not give one).
    CpuPiece measure(const std::optional<platform::ProcessTimes>& now);

private:
    std::mutex mutex_;
    bool first_ = true;
    platform::ProcessTimes baseline_;
};

// "RAM: ...  MB | " when the private bytes are known, the CPU piece, then
// "Viewer: CONNECTED [n]" or "Viewer: DISCONNECTED".
std::string formatStatusText(std::optional<std::uint64_t> privateBytes, const CpuPiece& cpu, int viewerCount);

// The status text of this process now, with its CPU load measured by
// `meter` since its previous reading and the given viewer count.
std::string systemStatusText(CpuLoadMeter& meter, int viewerCount);

// "[PERF] " + milliseconds (two decimals, right-aligned in 7) + " ms | " +
// status.
std::string formatPerfLine(std::int64_t elapsedMicroseconds, std::string_view status);

}  // namespace orvalis::plugin
