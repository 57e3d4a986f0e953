// Win32 settings: REG_DWORD values under a key of HKEY_CURRENT_USER.
#include <orvalis/platform/settings_store.h>

#include "win32_internal.h"

namespace orvalis::platform {

std::string userSettingsLocation(std::string_view product) {
    if (product.empty())
        return {};
    return "SOFTWARE\\" + std::string(product);
}

std::optional<std::uint32_t> readSettingValue(std::string_view location, std::string_view name) {
    if (location.empty())
        return std::nullopt;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, std::string(location).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS ||
        key == nullptr)
        return std::nullopt;
    // The type is not asked for: whatever fits in four bytes is read as the
    // number, so a short value of another type reads as something else than 1.
    DWORD value = 0;
    DWORD size = sizeof value;
    const LSTATUS status =
        ::RegQueryValueExA(key, std::string(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

bool writeSettingValues(std::string_view location, std::span<const SettingValue> values) {
    if (location.empty())
        return false;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, std::string(location).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS ||
        key == nullptr)
        return false;
    for (const SettingValue& entry : values) {
        const DWORD value = entry.value;
        // A value that cannot be written keeps its old content; the others
        // are still written.
        ::RegSetValueExA(key, std::string(entry.name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                         sizeof value);
    }
    ::RegCloseKey(key);
    return true;
}

}  // namespace orvalis::platform
