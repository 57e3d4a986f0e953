// The display settings over a SettingsStore, and the store the system keeps
// for the user.
#include "app/settings.h"

#include <array>
#include <utility>

#include "orvalis/platform/settings_store.h"

namespace orvalis::viewer {
namespace {

constexpr char kProduct[] = "Orvalis";

class PlatformSettingsStore final : public SettingsStore {
public:
    explicit PlatformSettingsStore(std::string location) : location_(std::move(location)) {}

    std::optional<std::uint32_t> read(const char* name) override {
        if (name == nullptr)
            return std::nullopt;
        return platform::readSettingValue(location_, name);
    }

    bool writeAll(std::uint32_t backgroundColor, std::uint32_t highlightOutOfRange,
                  std::uint32_t gamutIndicator) override {
        const std::array<platform::SettingValue, 3> values{{
            {kBackgroundColorValue, backgroundColor},
            {kHighlightOutOfRangeValue, highlightOutOfRange},
            {kGamutIndicatorValue, gamutIndicator},
        }};
        return platform::writeSettingValues(location_, values);
    }

private:
    std::string location_;
};

bool isOn(SettingsStore& store, const char* name) {
    const std::optional<std::uint32_t> value = store.read(name);
    return value.has_value() && *value == 1;
}

}  // namespace

std::unique_ptr<SettingsStore> userSettingsStore() { return settingsStoreAt(platform::userSettingsLocation(kProduct)); }

std::unique_ptr<SettingsStore> settingsStoreAt(std::string location) {
    return std::make_unique<PlatformSettingsStore>(std::move(location));
}

void loadSettings(ViewerState& state, SettingsStore& store) {
    state.greyBackground = false;
    state.highlightOutOfRange.store(false);
    state.gamutIndicator.store(false);
    state.greyBackground = isOn(store, kBackgroundColorValue);
    state.highlightOutOfRange.store(isOn(store, kHighlightOutOfRangeValue));
    state.gamutIndicator.store(isOn(store, kGamutIndicatorValue));
}

void saveSettings(const ViewerState& state, SettingsStore& store) {
    // A store that cannot be written leaves the change in effect for this run.
    store.writeAll(state.greyBackground ? 1u : 0u, state.highlightOutOfRange.load() ? 1u : 0u,
                   state.gamutIndicator.load() ? 1u : 0u);
}

}  // namespace orvalis::viewer
