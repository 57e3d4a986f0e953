#include "app/icon_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace orvalis::viewer {

namespace {

constexpr std::size_t kDirHeaderBytes = 6;
constexpr std::size_t kDirEntryBytes = 16;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr int kMaxIconSide = 256;

std::uint16_t u16At(std::span<const std::byte> b, std::size_t at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) | (std::to_integer<unsigned>(b[at + 1]) << 8));
}

std::uint32_t u32At(std::span<const std::byte> b, std::size_t at) {
    return static_cast<std::uint32_t>(u16At(b, at)) | (static_cast<std::uint32_t>(u16At(b, at + 2)) << 16);
}

struct Entry {
    int side = 0;  // from the directory; 0 there means 256
    std::span<const std::byte> data;
};

// The directory's entries whose bytes lie wholly inside the file.
std::vector<Entry> readDirectory(std::span<const std::byte> file) {
    std::vector<Entry> entries;
    if (file.size() < kDirHeaderBytes || u16At(file, 0) != 0 || u16At(file, 2) != 1) {
        return entries;
    }
    const std::size_t count = u16At(file, 4);
    if (kDirHeaderBytes + count * kDirEntryBytes > file.size()) {
        return entries;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kDirHeaderBytes + i * kDirEntryBytes;
        const int width = std::to_integer<int>(file[at]);
        const std::uint64_t bytes = u32At(file, at + 8);
        const std::uint64_t offset = u32At(file, at + 12);
        if (offset + bytes > file.size() || bytes == 0) {
            continue;
        }
        entries.push_back({width == 0 ? kMaxIconSide : width, file.subspan(offset, bytes)});
    }
    return entries;
}

// A 32-bit BMP entry: info header, bottom-up BGRA rows, then the 1-bit mask.
std::optional<IconImage> decodeBmp(std::span<const std::byte> data) {
    if (data.size() < kInfoHeaderBytes) {
        return std::nullopt;
    }
    const std::uint32_t headerBytes = u32At(data, 0);
    const auto width = static_cast<std::int32_t>(u32At(data, 4));
    const auto doubledHeight = static_cast<std::int32_t>(u32At(data, 8));
    const std::uint16_t bitCount = u16At(data, 14);
    const std::uint32_t compression = u32At(data, 16);
    if (headerBytes < kInfoHeaderBytes || headerBytes > data.size() || bitCount != 32 || compression != 0 ||
        width < 1 || width > kMaxIconSide || doubledHeight < 2 || doubledHeight > 2 * kMaxIconSide ||
        doubledHeight % 2 != 0) {
        return std::nullopt;
    }
    const int height = doubledHeight / 2;
    const std::size_t pixelBytes = static_cast<std::size_t>(width) * height * 4;
    if (data.size() - headerBytes < pixelBytes) {
        return std::nullopt;
    }
    const auto pixels = data.subspan(headerBytes, pixelBytes);
    const std::size_t maskRow = static_cast<std::size_t>((width + 31) / 32) * 4;
    const auto rest = data.subspan(headerBytes + pixelBytes);
    const bool haveMask = rest.size() >= maskRow * height;

    IconImage image{width, height, std::vector<std::uint8_t>(pixelBytes)};
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::size_t src = static_cast<std::size_t>(height - 1 - y) * width * 4;
        std::uint8_t* dst = image.rgba.data() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            const std::size_t p = src + static_cast<std::size_t>(x) * 4;
            dst[x * 4 + 0] = std::to_integer<std::uint8_t>(pixels[p + 2]);
            dst[x * 4 + 1] = std::to_integer<std::uint8_t>(pixels[p + 1]);
            dst[x * 4 + 2] = std::to_integer<std::uint8_t>(pixels[p + 0]);
            dst[x * 4 + 3] = std::to_integer<std::uint8_t>(pixels[p + 3]);
            anyAlpha = anyAlpha || dst[x * 4 + 3] != 0;
        }
    }
    // An entry whose alpha is all zero is an old-style one: the mask says
    // what is transparent (a set bit), everything else is opaque.
    if (!anyAlpha) {
        for (int y = 0; y < height; ++y) {
            const std::size_t row = static_cast<std::size_t>(height - 1 - y) * maskRow;
            for (int x = 0; x < width; ++x) {
                const bool transparent =
                    haveMask && ((std::to_integer<unsigned>(rest[row + x / 8]) >> (7 - x % 8)) & 1u) != 0;
                image.rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3] = transparent ? 0 : 255;
            }
        }
    }
    return image;
}

// Area average in premultiplied alpha (no dark fringes at soft edges);
// enlarging repeats pixels.
IconImage scaled(const IconImage& src, int size) {
    if (src.width == size && src.height == size) {
        return src;
    }
    IconImage out{size, size, std::vector<std::uint8_t>(static_cast<std::size_t>(size) * size * 4)};
    for (int y = 0; y < size; ++y) {
        const int y0 = y * src.height / size;
        const int y1 = std::max(y0 + 1, (y + 1) * src.height / size);
        for (int x = 0; x < size; ++x) {
            const int x0 = x * src.width / size;
            const int x1 = std::max(x0 + 1, (x + 1) * src.width / size);
            std::uint64_t r = 0, g = 0, b = 0, a = 0, n = 0;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    const std::uint8_t* p = &src.rgba[(static_cast<std::size_t>(sy) * src.width + sx) * 4];
                    r += std::uint64_t{p[0]} * p[3];
                    g += std::uint64_t{p[1]} * p[3];
                    b += std::uint64_t{p[2]} * p[3];
                    a += p[3];
                    ++n;
                }
            }
            std::uint8_t* d = &out.rgba[(static_cast<std::size_t>(y) * size + x) * 4];
            if (a != 0) {
                d[0] = static_cast<std::uint8_t>((r + a / 2) / a);
                d[1] = static_cast<std::uint8_t>((g + a / 2) / a);
                d[2] = static_cast<std::uint8_t>((b + a / 2) / a);
            }
            d[3] = static_cast<std::uint8_t>((a + n / 2) / n);
        }
    }
    return out;
}

}  // namespace

std::optional<IconImage> decodeIcon(std::span<const std::byte> file, int size) {
    if (size < 1 || size > kMaxIconSide) {
        return std::nullopt;
    }
    std::vector<Entry> entries = readDirectory(file);
    // Best first: the size itself, then larger ones from the smallest up,
    // then smaller ones from the largest down.
    std::stable_sort(entries.begin(), entries.end(), [size](const Entry& a, const Entry& b) {
        const bool aBig = a.side >= size;
        const bool bBig = b.side >= size;
        if (aBig != bBig) {
            return aBig;
        }
        return aBig ? a.side < b.side : a.side > b.side;
    });
    for (const Entry& entry : entries) {
        if (std::optional<IconImage> image = decodeBmp(entry.data)) {
            return scaled(*image, size);
        }
    }
    return std::nullopt;
}

std::optional<IconImage> loadIconFile(const std::string& path, int size) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return std::nullopt;
    }
    const std::streamoff length = in.tellg();
    if (length <= 0 || static_cast<std::uint64_t>(length) > kMaxIconFileBytes) {
        return std::nullopt;
    }
    std::vector<std::byte> bytes(static_cast<std::size_t>(length));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        return std::nullopt;
    }
    return decodeIcon(bytes, size);
}

}  // namespace orvalis::viewer
