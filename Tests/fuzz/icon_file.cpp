// The icon file the viewer loads from its bundle. The first byte picks the
// size asked for (1 to 256), the rest is the file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "Tests/fuzz/fuzz_support.h"
#include "app/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const int side = data[0] + 1;
    const auto file = std::as_bytes(std::span(data + 1, size - 1));
    if (const auto icon = orvalis::viewer::decodeIcon(file, side)) {
        fuzz_support::check(icon->width == side && icon->height == side &&
                            icon->rgba.size() == static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4);
    }
    return 0;
}
