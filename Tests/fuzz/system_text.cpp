// The Linux system texts the diagnostics read: /etc/os-release,
// /proc/meminfo and /proc/self/status, and the PCI ids under /sys/class/drm.
// A container or a kernel module may put anything there.
#include <cctype>
#include <cstdint>
#include <string>

#include "Platform/internal.h"
#include "Tests/fuzz/fuzz_support.h"

using fuzz_support::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace detail = orvalis::platform::detail;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"MemTotal", "VmRSS", "VmSwap"}) {
        if (const auto bytes = detail::kilobyteField(text, key)) {
            check(*bytes % 1024 == 0);
        }
    }
    for (const char c : detail::prettyName(text)) {
        check(static_cast<unsigned char>(c) >= 0x20);
    }
    const std::string id = detail::pciId(text);
    check(id.size() <= 8);
    for (const char c : id) {
        check(std::isxdigit(static_cast<unsigned char>(c)) != 0);
    }
    return 0;
}
