// Label text on Windows: GDI draws it into a 32-bit top-down DIB section.
#pragma once

#include <memory>

#include "render/label_text.h"

namespace orvalis::viewer::win32 {

// A rasterizer on GDI: the style's character height and weight in
// "Segoe UI" with ClearType (the stock GUI font when that cannot be made),
// DrawTextW on one line, vertically centred. Main thread only.
std::unique_ptr<LabelRasterizer> makeGdiLabelRasterizer();

}  // namespace orvalis::viewer::win32
