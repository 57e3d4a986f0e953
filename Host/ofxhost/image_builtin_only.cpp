// Builds without OpenImageIO (Windows): only our own file formats.
#include "ofxhost/image_io.h"

namespace ofxhost {

std::string supportedImageFormats() { return "PFM (float, RGB), PAM (8/16-bit RGBA) and PPM/PGM (8/16-bit)"; }

namespace detail {

bool libraryCanWrite(const std::string&) { return false; }

std::shared_ptr<ImageBuffer> readWithLibrary(const std::string& path, std::string& error) {
    error = path + ": unsupported file type (this build reads " + supportedImageFormats() + ")";
    return nullptr;
}

bool writeWithLibrary(const std::string& path, const ImageBuffer&, std::string& error) {
    error = path + ": unsupported file type (this build writes " + supportedImageFormats() + ")";
    return false;
}

}  // namespace detail
}  // namespace ofxhost
