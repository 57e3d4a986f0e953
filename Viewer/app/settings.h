// The three display settings the viewer remembers per user: read once at
// start, written after each change. A value counts as on only when it is
// exactly the 32-bit number 1; anything missing or unreadable is off.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/viewer_state.h"

namespace orvalis::viewer {

// Value names, as stored.
inline constexpr char kBackgroundColorValue[] = "BackgroundColor";
inline constexpr char kHighlightOutOfRangeValue[] = "HighlightOutOfRange";
inline constexpr char kGamutIndicatorValue[] = "GamutIndicator";

// Where the settings live: the registry key on Windows, the settings file on
// Linux; tests pass one of their own.
struct SettingsStore {
    virtual ~SettingsStore() = default;
    // The value as a 32-bit number; empty when missing, of another type or
    // size, or unreadable.
    virtual std::optional<std::uint32_t> read(const char* name) = 0;
    // Writes all three values at once; false when nothing could be written.
    virtual bool writeAll(std::uint32_t backgroundColor, std::uint32_t highlightOutOfRange,
                          std::uint32_t gamutIndicator) = 0;
};

// The user's own store: HKCU "SOFTWARE\Orvalis" on Windows;
// $XDG_CONFIG_HOME (default ~/.config) + "/Orvalis/settings.ini" on Linux.
std::unique_ptr<SettingsStore> userSettingsStore();

// The system's store at a location of the caller's choosing (a key path
// under HKCU on Windows, a file path on Linux); an empty location reads
// nothing and writes nothing.
std::unique_ptr<SettingsStore> settingsStoreAt(std::string location);

// loadSettings: the three settings off, then on where the store holds 1.
void loadSettings(ViewerState& state, SettingsStore& store);
// saveSettings: all three written, 1 or 0; failures are ignored.
void saveSettings(const ViewerState& state, SettingsStore& store);

}  // namespace orvalis::viewer
