// The viewer's Linux settings file, which the user (or anything running as
// the user) may have edited.
#include <cstdint>
#include <string>

#include "Tests/fuzz/fuzz_support.h"
#include "app/settings.h"
#include "orvalis/platform/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = fuzz_support::scratchFolder() + "/settings.ini";
    fuzz_support::writeFile(path, data, size);
    orvalis::viewer::ViewerState state;
    auto store = orvalis::viewer::settingsStoreAt(path);
    orvalis::viewer::loadSettings(state, *store);
    // A name of the input's choosing: everything up to its first '='.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string name = text.substr(0, text.find('='));
    (void)orvalis::platform::readSettingValue(path, name);
    return 0;
}
