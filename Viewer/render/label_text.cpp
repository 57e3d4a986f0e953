#include "render/label_text.h"

#include <algorithm>
#include <cstddef>

#include "render/gl_headers.h"

namespace orvalis::viewer {

namespace {

constexpr std::uint8_t kCoverageThreshold = 10;

std::size_t byteCount(int width, int height) noexcept {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
}

}  // namespace

void applyCoverage(LabelBitmap& bitmap) noexcept {
    // B, G, R, A: the alpha byte carries nothing from the text renderer.
    for (std::size_t i = 0; i + 3 < bitmap.bgra.size(); i += 4) {
        std::uint8_t* pixel = &bitmap.bgra[i];
        const std::uint8_t m = std::max({pixel[0], pixel[1], pixel[2]});
        if (m <= kCoverageThreshold) {
            pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
        } else {
            pixel[3] = m;
        }
    }
}

LabelStyle fitLabelStyle(LabelRasterizer& rasterizer, std::string_view text, LabelStyle style, int width) {
    // Each step aims straight at the width; rounding may need another.
    for (int step = 0; step < 8 && style.pixelHeight > 1; ++step) {
        int measuredWidth = 0;
        int measuredHeight = 0;
        rasterizer.measure(text, style, measuredWidth, measuredHeight);
        if (measuredWidth <= width || measuredWidth <= 0) {
            break;
        }
        const long aimed = static_cast<long>(style.pixelHeight) * std::max(width, 1) / measuredWidth;
        style.pixelHeight = static_cast<int>(std::clamp(aimed, 1L, static_cast<long>(style.pixelHeight) - 1));
    }
    return style;
}

LabelBitmap makeLabelBitmap(int width, int height) {
    LabelBitmap bitmap;
    if (width < 1 || height < 1) {
        return bitmap;
    }
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bgra.assign(byteCount(width, height), 0);
    return bitmap;
}

std::optional<LabelBitmap> renderLabel(LabelRasterizer* rasterizer, std::string_view text, const LabelStyle& style,
                                       int width, int height) {
    if (rasterizer == nullptr) {
        return std::nullopt;
    }
    LabelBitmap bitmap = makeLabelBitmap(width, height);
    if (bitmap.bgra.empty() || !rasterizer->draw(text, style, bitmap)) {
        return std::nullopt;
    }
    // A rasterizer that resized the bitmap broke its contract.
    if (bitmap.width != width || bitmap.height != height || bitmap.bgra.size() != byteCount(width, height)) {
        return std::nullopt;
    }
    applyCoverage(bitmap);
    return bitmap;
}

std::uint32_t uploadLabelTexture(const LabelBitmap& bitmap) {
    if (bitmap.width < 1 || bitmap.height < 1 || bitmap.bgra.size() != byteCount(bitmap.width, bitmap.height)) {
        return 0;
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (texture == 0) {
        return 0;
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, bitmap.width, bitmap.height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 bitmap.bgra.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

}  // namespace orvalis::viewer
