// Image files for the command-line host, and its built-in test frame.
#ifndef OFXHOST_IMAGE_IO_H
#define OFXHOST_IMAGE_IO_H

#include <memory>
#include <string>

#include "ofxhost/host.h"

namespace ofxhost {

// Reads an image file into a float RGBA image with bounds (0, 0, w, h), the
// file's top row at y = h - 1. Grey images fill R, G and B; a missing alpha
// is 1. Null with the reason in error.
std::shared_ptr<ImageBuffer> readImage(const std::string& path, std::string& error);

// Writes an image, choosing the format from the extension. Integer formats
// get 8 bits for an 8-bit image and 16 bits otherwise (float clamped);
// formats without alpha drop it.
bool writeImage(const std::string& path, const ImageBuffer& image, std::string& error);

// True when writeImage knows the format of this file name.
bool canWriteImage(const std::string& path);

// The file formats this build reads and writes, for the usage text.
std::string supportedImageFormats();

// The built-in test frame: black letterbox bars at top and bottom, saturated
// colour bars, smooth grey and hue gradients, and a strip whose values run
// from below 0 to above 1. Float RGBA, bounds (0, 0, width, height).
std::shared_ptr<ImageBuffer> makeSampleFrame(int width, int height);

namespace detail {
// Our own readers and writers (PFM, PAM, PPM/PGM); null / false when the
// extension is not one of them (error stays empty) or the file is bad.
std::shared_ptr<ImageBuffer> readNetpbm(const std::string& path, std::string& error);
bool writeNetpbm(const std::string& path, const ImageBuffer& image, std::string& error, bool& handled);
bool isNetpbmName(const std::string& path);
// OpenImageIO, where the build has it.
bool libraryCanWrite(const std::string& path);
std::shared_ptr<ImageBuffer> readWithLibrary(const std::string& path, std::string& error);
bool writeWithLibrary(const std::string& path, const ImageBuffer& image, std::string& error);
}  // namespace detail

}  // namespace ofxhost

#endif
