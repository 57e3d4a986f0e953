// Image files through OpenImageIO (Linux builds).
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <vector>

#include "ofxhost/image_io.h"

namespace ofxhost {

std::string supportedImageFormats() {
    return "EXR, TIFF, PNG, DPX and the other OpenImageIO formats; also PFM (float), PAM and PPM (8/16-bit)";
}

namespace detail {

bool libraryCanWrite(const std::string& path) {
    const bool known = OIIO::ImageOutput::create(path) != nullptr;
    if (!known)
        OIIO::geterror();  // consume the library's pending error
    return known;
}

std::shared_ptr<ImageBuffer> readWithLibrary(const std::string& path, std::string& error) {
    auto in = OIIO::ImageInput::open(path);
    if (!in) {
        error = path + ": " + OIIO::geterror();
        return nullptr;
    }
    const OIIO::ImageSpec layout = in->spec_dimensions(0, 0);
    const long long w = layout.width, h = layout.height;
    const int nch = layout.nchannels;
    if (w <= 0 || h <= 0 || w * h > (1LL << 28) || nch <= 0) {
        error = path + ": unsupported image size";
        return nullptr;
    }
    std::vector<float> pixels(static_cast<std::size_t>(w * h * nch));
    if (!in->read_image(0, 0, 0, nch, OIIO::TypeDesc::FLOAT, pixels.data())) {
        error = path + ": " + in->geterror();
        return nullptr;
    }
    in->close();
    auto image = std::make_shared<ImageBuffer>(Depth::Float, RectI{0, 0, int(w), int(h)});
    for (long long row = 0; row < h; ++row)
        for (long long x = 0; x < w; ++x) {
            const float* p = pixels.data() + (row * w + x) * nch;
            float rgba[4] = {0, 0, 0, 1};
            if (nch <= 2) {
                rgba[0] = rgba[1] = rgba[2] = p[0];
                if (nch == 2)
                    rgba[3] = p[1];
            } else {
                for (int c = 0; c < std::min(nch, 4); ++c)
                    rgba[c] = p[c];
            }
            image->setPixel(int(x), int(h - 1 - row), rgba);  // files run top-down
        }
    return image;
}

bool writeWithLibrary(const std::string& path, const ImageBuffer& image, std::string& error) {
    auto out = OIIO::ImageOutput::create(path);
    if (!out) {
        error = path + ": " + OIIO::geterror();
        return false;
    }
    const OIIO::TypeDesc type = image.depth() == Depth::UByte    ? OIIO::TypeDesc::UINT8
                                : image.depth() == Depth::UShort ? OIIO::TypeDesc::UINT16
                                                                 : OIIO::TypeDesc::FLOAT;
    OIIO::ImageSpec layout(image.width(), image.height(), 4, type);
    layout.alpha_channel = 3;
    if (!out->open(path, layout)) {
        error = path + ": " + out->geterror();
        return false;
    }
    const RectI b = image.bounds();
    // Our rows run bottom-up; hand the top row and a negated stride.
    const void* top = image.pixelAddress(b.x1, b.y2 - 1);
    const OIIO::stride_t xstride = 4 * bytesPerComponent(image.depth());
    const bool ok = top && out->write_image(type, top, xstride, -static_cast<OIIO::stride_t>(image.rowBytes()));
    if (!ok)
        error = path + ": " + out->geterror();
    if (!out->close() && ok) {
        error = path + ": " + out->geterror();
        return false;
    }
    return ok;
}

}  // namespace detail
}  // namespace ofxhost
