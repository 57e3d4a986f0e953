// Text for the overlay and the GL-drawn menu: the platform draws it into a
// 32-bit top-down BGRA bitmap (GDI on Windows, FreeType on Linux); one
// coverage rule and one upload turn it into a texture.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace orvalis::viewer {

struct LabelBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;  // width * height * 4, row 0 at the top
};

struct LabelStyle {
    int pixelHeight = 0;  // character height in pixels
    int weight = 400;     // 400 normal, 600 semi-bold, 700 bold
    std::uint8_t red = 255, green = 255, blue = 255;
    bool centreHorizontally = false;  // else left-aligned; always centred vertically
};

// Draws text on a platform's text renderer.
class LabelRasterizer {
public:
    virtual ~LabelRasterizer() = default;
    // Draws `text` into the bitmap (already sized and cleared to 0) in one
    // line; false when nothing could be drawn.
    virtual bool draw(std::string_view text, const LabelStyle& style, LabelBitmap& bitmap) = 0;
    // Width and height in pixels of `text` in that style; {0, 0} when unknown.
    virtual void measure(std::string_view text, const LabelStyle& style, int& width, int& height) = 0;
};

// The coverage rule: a pixel whose brightest channel is 10 or less becomes
// 0; otherwise its alpha becomes that channel and its colour stays.
void applyCoverage(LabelBitmap& bitmap) noexcept;

// The style with its character height lowered, where the face is too wide,
// until `text` measures at most `width` pixels; unchanged when it fits or
// cannot be measured.
LabelStyle fitLabelStyle(LabelRasterizer& rasterizer, std::string_view text, LabelStyle style, int width);

// A width x height bitmap cleared to 0 (empty for a size below 1).
LabelBitmap makeLabelBitmap(int width, int height);

// `text` drawn by the rasterizer into a fresh width x height bitmap, with
// the coverage rule applied; empty when there is no rasterizer, no size,
// or nothing could be drawn.
std::optional<LabelBitmap> renderLabel(LabelRasterizer* rasterizer, std::string_view text, const LabelStyle& style,
                                       int width, int height);

// Uploads a covered bitmap as a new GL_TEXTURE_2D (RGBA from BGRA, linear
// filters, clamped to the edge) and leaves no texture bound. Needs a
// current context; the texture name, or 0 for an empty or inconsistent
// bitmap or when GL made none.
std::uint32_t uploadLabelTexture(const LabelBitmap& bitmap);

}  // namespace orvalis::viewer
