// Shared by the backends only; not part of the public interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvalis::platform::detail {

// The one error path of the backends: "<backend>: <what>", with the system's
// text for errorCode appended when it is not 0, to debug output.
void reportError(std::string_view backend, std::string_view what, int errorCode = 0);

// A problem with the user's machine (folders, room), told on the notice
// output once per process: repeating it on every publish would bury it.
void noticeOnce(const std::string& text);

#ifndef _WIN32
// The Linux system texts the POSIX backend reads (each read whole, at most
// 64 KiB); declared here so that the fuzz targets reach them.

// The value of "key: <number> kB" in a /proc status-style text, in bytes.
std::optional<std::uint64_t> kilobyteField(const std::string& text, std::string_view key);
// PRETTY_NAME of an os-release text, unquoted; empty when absent.
std::string prettyName(const std::string& text);
// A PCI id as sysfs writes it ("0x10de\n" gives "10de"); empty unless plain hexadecimal.
std::string pciId(const std::string& text);
#endif

}  // namespace orvalis::platform::detail
