// Linux machine and process facts from uname, sysconf, /proc and /sys.
// Every file is read defensively: missing, empty or garbled gives nothing.
#include <orvalis/platform/system_info.h>

#include "internal.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>

namespace orvalis::platform {
namespace {

// Whole file as text, at most `limit` bytes; empty when unreadable.
std::string readSmallFile(const std::string& path, std::size_t limit = 1 << 16) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

namespace detail {

// The value of "key: <number> kB" in a /proc status-style file, in bytes.
std::optional<std::uint64_t> kilobyteField(const std::string& text, std::string_view key) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::string_view view(line);
        if (view.size() <= key.size() || view.substr(0, key.size()) != key || view[key.size()] != ':')
            continue;
        view = trim(view.substr(key.size() + 1));
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
        if (error != std::errc() || end == view.data())
            return std::nullopt;
        if (trim(std::string_view(end, static_cast<std::size_t>(view.data() + view.size() - end))) != "kB")
            return std::nullopt;
        if (value > std::numeric_limits<std::uint64_t>::max() / 1024)
            return std::nullopt;
        return value * 1024;
    }
    return std::nullopt;
}

// PRETTY_NAME from os-release, unquoted; empty when absent.
std::string prettyName(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::string_view view = trim(line);
        constexpr std::string_view key = "PRETTY_NAME=";
        if (view.substr(0, key.size()) != key)
            continue;
        view.remove_prefix(key.size());
        if (view.size() >= 2 && (view.front() == '"' || view.front() == '\'') && view.back() == view.front())
            view = view.substr(1, view.size() - 2);
        std::string value;
        for (std::size_t i = 0; i < view.size(); ++i) {
            if (view[i] == '\\' && i + 1 < view.size())
                ++i;
            if (static_cast<unsigned char>(view[i]) >= 0x20)
                value.push_back(view[i]);
        }
        return value;
    }
    return {};
}

// "0x10de\n" → "10de"; empty unless it is a plain hexadecimal id.
std::string pciId(const std::string& text) {
    std::string_view view = trim(text);
    if (view.substr(0, 2) == "0x")
        view.remove_prefix(2);
    if (view.empty() || view.size() > 8)
        return {};
    for (char c : view)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    return std::string(view);
}

}  // namespace detail

namespace {

using detail::kilobyteField;
using detail::pciId;
using detail::prettyName;

std::uint64_t to100ns(const timeval& tv) {
    return static_cast<std::uint64_t>(tv.tv_sec) * 10'000'000u + static_cast<std::uint64_t>(tv.tv_usec) * 10u;
}

}  // namespace

OsVersion osVersion() {
    OsVersion version;
    version.source = OsVersion::Source::Linux;
    struct utsname names {};
    if (::uname(&names) == 0) {
        version.kernel = names.release;
        version.name = names.sysname;
    }
    std::string pretty = prettyName(readSmallFile("/etc/os-release"));
    if (pretty.empty())
        pretty = prettyName(readSmallFile("/usr/lib/os-release"));
    if (!pretty.empty())
        version.name = pretty;
    return version;
}

std::uint32_t logicalProcessorCount() {
    const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
    return count >= 1 ? static_cast<std::uint32_t>(std::min<long>(count, 1L << 20)) : 1u;
}

std::optional<std::uint64_t> totalPhysicalMemory() {
    if (auto bytes = kilobyteField(readSmallFile("/proc/meminfo"), "MemTotal"); bytes && *bytes > 0)
        return bytes;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return std::nullopt;
}

std::vector<DisplayDevice> displayDevices() {
    const std::string root = "/sys/class/drm/";
    std::vector<std::pair<unsigned, std::string>> cards;  // number, entry name
    std::vector<std::string> connectors;
    if (DIR* dir = ::opendir(root.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name.substr(0, 4) != "card" || name.size() == 4)
                continue;
            unsigned number = 0;
            const auto [end, error] = std::from_chars(name.data() + 4, name.data() + name.size(), number);
            if (error != std::errc())
                continue;
            if (end == name.data() + name.size())
                cards.emplace_back(number, std::string(name));
            else if (*end == '-')
                connectors.emplace_back(name);  // "card0-HDMI-A-1"
        }
        ::closedir(dir);
    }
    std::sort(cards.begin(), cards.end());

    std::vector<DisplayDevice> devices;
    for (const auto& [number, name] : cards) {
        const std::string device = root + name + "/device/";
        std::string label;
        char target[4096];
        const ssize_t n = ::readlink((device + "driver").c_str(), target, sizeof target - 1);
        if (n > 0) {
            const std::string_view link(target, static_cast<std::size_t>(n));
            const auto slash = link.rfind('/');
            label = std::string(slash == std::string_view::npos ? link : link.substr(slash + 1));
        }
        const std::string vendor = pciId(readSmallFile(device + "vendor", 64));
        const std::string product = pciId(readSmallFile(device + "device", 64));
        if (!vendor.empty() && !product.empty())
            label += (label.empty() ? "" : " ") + ("[" + vendor + ":" + product + "]");
        if (label.empty())
            label = name;

        DisplayDevice display;
        display.name = label;
        display.primary = devices.empty();
        const std::string prefix = name + "-";
        for (const auto& connector : connectors) {
            if (connector.compare(0, prefix.size(), prefix) == 0 &&
                trim(readSmallFile(root + connector + "/status", 64)) == "connected")
                display.attachedToDesktop = true;
        }
        devices.push_back(std::move(display));
    }
    return devices;
}

std::optional<std::uint64_t> processPrivateBytes() {
    const std::string status = readSmallFile("/proc/self/status");
    const auto rss = kilobyteField(status, "VmRSS");
    if (!rss)
        return std::nullopt;
    return *rss + kilobyteField(status, "VmSwap").value_or(0);
}

std::optional<ProcessTimes> processTimes() {
    // Counted from 1601 like Windows file times; callers only take differences.
    constexpr std::uint64_t kFileTimeOfUnixEpoch = 116'444'736'000'000'000ull;
    timeval now{};
    struct rusage usage {};
    if (::gettimeofday(&now, nullptr) != 0 || ::getrusage(RUSAGE_SELF, &usage) != 0)
        return std::nullopt;
    ProcessTimes times;
    times.wall = kFileTimeOfUnixEpoch + to100ns(now);
    times.kernel = to100ns(usage.ru_stime);
    times.user = to100ns(usage.ru_utime);
    return times;
}

}  // namespace orvalis::platform
