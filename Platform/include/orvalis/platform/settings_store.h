// Per-user settings: named 32-bit numbers where the system keeps them for
// the user. A location names one store: a key path under HKEY_CURRENT_USER
// on Windows, a settings file on Linux.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvalis::platform {

// One value to write.
struct SettingValue {
    std::string_view name;
    std::uint32_t value;
};

// The user's store for a product: Windows "SOFTWARE\<product>" (under
// HKEY_CURRENT_USER); Linux $XDG_CONFIG_HOME (default ~/.config) +
// "/<product>/settings.ini". Empty when there is none (no home folder).
std::string userSettingsLocation(std::string_view product);

// One value as a 32-bit number; empty when the store or the value is missing
// or cannot be read. Windows: RegOpenKeyExA(KEY_READ) and RegQueryValueExA
// into a zeroed 4-byte buffer, the type neither requested nor checked (a
// value larger than 4 bytes fails). Linux: the file's last "Name=value" line
// for the name whose value is a plain decimal 32-bit number; lines past the
// first 64 KiB and lines of any other shape are not read.
std::optional<std::uint32_t> readSettingValue(std::string_view location, std::string_view name);

// Writes all the values. Windows: RegCreateKeyExA (non-volatile, KEY_WRITE)
// and one REG_DWORD per value, single write errors ignored. Linux: the
// folder is created and the file replaced whole, one "Name=value" line per
// value, through a temporary name. False when the store could not be opened
// or created, or (Linux) the file was not replaced.
bool writeSettingValues(std::string_view location, std::span<const SettingValue> values);

}  // namespace orvalis::platform
