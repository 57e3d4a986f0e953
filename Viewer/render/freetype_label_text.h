// Label text on Linux: FreeType with Debian's DejaVu Sans, drawn into the
// same 32-bit top-down buffer the Windows build fills with GDI.
#pragma once

#include <memory>
#include <string>

#include "render/label_text.h"

namespace orvalis::viewer {

// The font files of one family: a regular and a bold face.
struct FontFiles {
    std::string regular;
    std::string bold;
};

// Debian's DejaVu Sans (fonts-dejavu-core).
FontFiles dejaVuSansFiles();

// A rasterizer on FreeType. Weights of 600 and above take the bold face,
// the others the regular one; either falls back to the other when its file
// cannot be opened, and with neither nothing is drawn. Main thread only.
std::unique_ptr<LabelRasterizer> makeFreeTypeLabelRasterizer(FontFiles files = dejaVuSansFiles());

}  // namespace orvalis::viewer
