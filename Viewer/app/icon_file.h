// The viewer's icon file (.ico) read without the window system, for shells
// that cannot load one themselves. The file comes from outside: every size
// and offset in it is checked before use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvalis::viewer {

// A square or rectangular image, rows top to bottom, 8-bit R, G, B, A per
// pixel (not premultiplied).
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// Files larger than this are not icons of ours and are refused unread.
inline constexpr std::size_t kMaxIconFileBytes = 16u << 20;

// The entry of an .ico file that suits a size × size icon best (that size,
// else the smallest larger one, else the largest), decoded and scaled to
// size × size. Only 32-bit BMP entries are used; other entries (PNG, fewer
// bits) are passed over. Empty when the bytes hold no usable entry or size
// is not 1..256.
std::optional<IconImage> decodeIcon(std::span<const std::byte> file, int size);

// decodeIcon on the file at path; empty when it cannot be read.
std::optional<IconImage> loadIconFile(const std::string& path, int size);

}  // namespace orvalis::viewer
