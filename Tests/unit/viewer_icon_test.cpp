// The icon file reader: which entry it takes, how it turns and scales the
// pixels, and what it refuses in a file that does not hold what it says.
#include "app/icon_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace orvalis::viewer {
namespace {

// Colours as 0xAARRGGBB: how a 32-bit BMP pixel reads as a little-endian word.
using Argb = std::uint32_t;

void put16(std::vector<std::byte>& out, std::size_t at, std::uint32_t v) {
    out[at] = std::byte(v & 0xff);
    out[at + 1] = std::byte((v >> 8) & 0xff);
}
void put32(std::vector<std::byte>& out, std::size_t at, std::uint32_t v) {
    put16(out, at, v & 0xffff);
    put16(out, at + 2, v >> 16);
}

// A 32-bit BMP entry of side × side: the top half of the picture in `top`,
// the bottom half in `bottom`; the mask marks the left column transparent.
std::vector<std::byte> bmpEntry(int side, Argb top, Argb bottom, int bitCount = 32) {
    const std::size_t maskRow = static_cast<std::size_t>((side + 31) / 32) * 4;
    std::vector<std::byte> out(40 + static_cast<std::size_t>(side) * side * 4 + maskRow * side);
    put32(out, 0, 40);
    put32(out, 4, static_cast<std::uint32_t>(side));
    put32(out, 8, static_cast<std::uint32_t>(2 * side));
    put16(out, 12, 1);
    put16(out, 14, static_cast<std::uint32_t>(bitCount));
    for (int row = 0; row < side; ++row) {  // rows stored bottom-up
        for (int x = 0; x < side; ++x)
            put32(out, 40 + (static_cast<std::size_t>(row) * side + x) * 4, row < side / 2 ? bottom : top);
        out[40 + static_cast<std::size_t>(side) * side * 4 + row * maskRow] = std::byte(0x80);
    }
    return out;
}

std::vector<std::byte> icoFile(const std::vector<std::vector<std::byte>>& entries, const std::vector<int>& sides) {
    std::vector<std::byte> out(6 + 16 * entries.size());
    put16(out, 2, 1);
    put16(out, 4, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = 6 + 16 * i;
        out[at] = std::byte(sides[i]);
        out[at + 1] = out[at];
        put16(out, at + 4, 1);
        put16(out, at + 6, 32);
        put32(out, at + 8, static_cast<std::uint32_t>(entries[i].size()));
        put32(out, at + 12, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), entries[i].begin(), entries[i].end());
    }
    return out;
}

// The decoded pixel (bytes R, G, B, A) as 0xAARRGGBB.
Argb pixel(const IconImage& image, int x, int y) {
    const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return Argb{p[3]} << 24 | Argb{p[0]} << 16 | Argb{p[1]} << 8 | p[2];
}

constexpr Argb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

TEST(ViewerIcon, PicksTheEntryAndTurnsItsRowsAndColours) {
    const auto three =
        icoFile({bmpEntry(48, kGreen, kGreen), bmpEntry(16, kRed, kRed), bmpEntry(32, kBlue, kBlue)}, {48, 16, 32});
    const auto halves = icoFile({bmpEntry(16, kRed, kBlue)}, {16});
    const auto noAlpha = icoFile({bmpEntry(16, 0x000A141E, 0x000A141E)}, {16});
    std::vector<std::byte> png(64);
    const unsigned char magic[] = {0x89, 'P', 'N', 'G'};
    std::memcpy(png.data(), magic, sizeof magic);
    const auto unusable = icoFile({png, bmpEntry(32, kBlue, kBlue, 24), bmpEntry(48, kRed, kRed)}, {32, 32, 48});
    const struct {
        const char* what;
        const std::vector<std::byte>& file;
        int size, x, y;
        Argb want;  // a transparent want is checked for its alpha only
    } cases[] = {
        {"the exact size", three, 32, 10, 10, kBlue},
        {"the next larger entry, not the largest", three, 24, 10, 10, kBlue},
        {"nothing larger: the largest", three, 64, 30, 30, kGreen},
        {"the top row first", halves, 16, 8, 0, kRed},
        {"the bottom row last", halves, 16, 8, 15, kBlue},
        {"no alpha: the mask makes the left column clear", noAlpha, 16, 0, 5, 0},
        {"no alpha: opaque where the mask is clear", noAlpha, 16, 1, 5, 0xFF0A141E},
        {"PNG and 24-bit entries passed over", unusable, 32, 5, 5, kRed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto image = decodeIcon(c.file, c.size);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, c.size);
        const Argb got = pixel(*image, c.x, c.y);
        EXPECT_EQ(c.want == 0 ? got >> 24 : got, c.want);
    }
}

TEST(ViewerIcon, RefusesFilesThatDoNotHoldWhatTheySayAndTheShippedOneLoads) {
    const auto good = icoFile({bmpEntry(16, kRed, kRed)}, {16});
    ASSERT_TRUE(decodeIcon(good, 16));
    EXPECT_FALSE(decodeIcon({}, 16));
    EXPECT_FALSE(decodeIcon(std::span(good).first(5), 16));
    EXPECT_FALSE(decodeIcon(std::span(good).first(good.size() - 16 * 4 * 8), 16)) << "cut inside the pixels";
    EXPECT_FALSE(decodeIcon(good, 0));
    EXPECT_FALSE(decodeIcon(good, 257));
    EXPECT_FALSE(loadIconFile("/nonexistent/orvalis/icon.ico", 16));
    const struct {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    } faults[] = {
        {"a cursor file, not an icon", 2, 2},
        {"more entries than the directory has room for", 4, 900},
        {"offset far past the end", 6 + 12, 0xfffffff0u},
        {"a width the bytes cannot hold", 22 + 4, 100000},
        {"a negative height", 22 + 8, 0xffffffe0u},
    };
    for (const auto& f : faults) {
        auto bad = good;
        (f.at < 6 ? put16 : put32)(bad, f.at, f.value);
        EXPECT_FALSE(decodeIcon(bad, 16)) << f.what;
    }

    for (int size : {32, 16}) {
        auto image = loadIconFile(ORVALIS_SHIPPED_ICON, size);
        ASSERT_TRUE(image) << size;
        EXPECT_EQ(image->width, size);
        bool anyOpaque = false;
        for (std::size_t i = 3; i < image->rgba.size(); i += 4)
            anyOpaque = anyOpaque || image->rgba[i] == 255;
        EXPECT_TRUE(anyOpaque) << size;
    }
}

}  // namespace
}  // namespace orvalis::viewer
