// Choosing a reader or writer for an image file, and the built-in test frame.
#include <algorithm>
#include <cmath>

#include "ofxhost/image_io.h"

namespace ofxhost {

std::shared_ptr<ImageBuffer> readImage(const std::string& path, std::string& error) {
    if (auto image = detail::readNetpbm(path, error))
        return image;
    if (!error.empty())
        return nullptr;
    return detail::readWithLibrary(path, error);
}

bool writeImage(const std::string& path, const ImageBuffer& image, std::string& error) {
    bool handled = false;
    const bool ok = detail::writeNetpbm(path, image, error, handled);
    if (handled)
        return ok;
    return detail::writeWithLibrary(path, image, error);
}

bool canWriteImage(const std::string& path) { return detail::isNetpbmName(path) || detail::libraryCanWrite(path); }

namespace {

void hueToRgb(float hue, float rgb[3]) {
    const float h = hue * 6.0f;
    for (int c = 0; c < 3; ++c) {
        // Distance from each primary's centre on the hue circle, as a tent.
        float d = std::fabs(std::fmod(h - 2.0f * float(c) + 6.0f, 6.0f));
        d = std::min(d, 6.0f - d);
        rgb[c] = std::clamp(2.0f - d, 0.0f, 1.0f);
    }
}

}  // namespace

std::shared_ptr<ImageBuffer> makeSampleFrame(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    auto image = std::make_shared<ImageBuffer>(Depth::Float, RectI{0, 0, width, height});
    const int bar = height / 8;  // letterbox height, top and bottom
    const int inner = height - 2 * bar;
    static const float bars[8][3] = {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0},
                                     {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};
    for (int y = 0; y < height; ++y) {
        const int row = height - 1 - y;  // counted from the top of the picture
        for (int x = 0; x < width; ++x) {
            float rgba[4] = {0, 0, 0, 1};
            const float u = width > 1 ? float(x) / float(width - 1) : 0.0f;
            if (row >= bar && row < height - bar && inner > 0) {
                const float v = float(row - bar) / float(inner);  // 0 at the top of the picture area
                if (v < 0.4f) {
                    const float* c = bars[std::min(7, x * 8 / width)];
                    std::copy(c, c + 3, rgba);
                } else if (v < 0.55f) {
                    rgba[0] = rgba[1] = rgba[2] = u;  // grey ramp
                } else if (v < 0.75f) {
                    hueToRgb(u, rgba);  // hue sweep
                } else if (v < 0.9f) {
                    rgba[0] = rgba[1] = rgba[2] = -0.5f + 2.5f * u;  // -0.5 .. 2.0
                } else {
                    // Patches outside 0..1: bright red, a colour with a negative channel, super-white.
                    const int patch = std::min(2, x * 3 / width);
                    const float patches[3][3] = {{1.5f, 0.2f, 0.2f}, {-0.25f, 0.5f, 1.2f}, {4.0f, 4.0f, 4.0f}};
                    std::copy(patches[patch], patches[patch] + 3, rgba);
                }
            }
            image->setPixel(x, y, rgba);
        }
    }
    return image;
}

}  // namespace ofxhost
