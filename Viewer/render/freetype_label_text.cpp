#include "render/freetype_label_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "orvalis/platform/dialog.h"

namespace orvalis::viewer {

namespace {

constexpr int kBoldFromWeight = 600;  // nearer 700 than 400
constexpr char32_t kReplacement = 0xFFFD;

// The next code point of UTF-8 text; a malformed sequence reads as one
// replacement character per byte.
char32_t nextCodePoint(std::string_view text, std::size_t& i) noexcept {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + static_cast<std::size_t>(extra) >= text.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

long ceil26Dot6(FT_Pos value) noexcept { return static_cast<long>((value + 63) >> 6); }

class FreeTypeLabelRasterizer final : public LabelRasterizer {
public:
    explicit FreeTypeLabelRasterizer(FontFiles files) {
        regular_.path = std::move(files.regular);
        bold_.path = std::move(files.bold);
    }

    ~FreeTypeLabelRasterizer() override {
        for (Face* face : {&regular_, &bold_}) {
            if (face->face != nullptr) {
                FT_Done_Face(face->face);
            }
        }
        if (library_ != nullptr) {
            FT_Done_FreeType(library_);
        }
    }

    FreeTypeLabelRasterizer(const FreeTypeLabelRasterizer&) = delete;
    FreeTypeLabelRasterizer& operator=(const FreeTypeLabelRasterizer&) = delete;

    bool draw(std::string_view text, const LabelStyle& style, LabelBitmap& bitmap) override {
        if (bitmap.width < 1 || bitmap.height < 1 ||
            bitmap.bgra.size() !=
                static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height) * 4) {
            return false;
        }
        FT_Face face = sizedFace(style);
        if (face == nullptr) {
            return false;
        }
        const LineMetrics line = lineMetrics(face);
        // As DrawText does: the line box centred vertically (and on request
        // horizontally), the pen starting at its left edge.
        const long textWidth = advanceWidth(face, text);
        long penX = style.centreHorizontally ? (bitmap.width - textWidth) / 2 : 0;
        const long baseline = (bitmap.height - (line.ascent + line.descent)) / 2 + line.ascent;

        bool drewAny = false;
        for (std::size_t i = 0; i < text.size();) {
            const char32_t cp = nextCodePoint(text, i);
            if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) {
                continue;
            }
            const FT_GlyphSlot glyph = face->glyph;
            blit(glyph->bitmap, penX + glyph->bitmap_left, baseline - glyph->bitmap_top, style, bitmap);
            penX += ceil26Dot6(glyph->advance.x);
            drewAny = true;
        }
        return drewAny;
    }

    void measure(std::string_view text, const LabelStyle& style, int& width, int& height) override {
        width = 0;
        height = 0;
        FT_Face face = sizedFace(style);
        if (face == nullptr) {
            return;
        }
        const LineMetrics line = lineMetrics(face);
        width = static_cast<int>(advanceWidth(face, text));
        height = static_cast<int>(line.ascent + line.descent);
    }

private:
    struct Face {
        std::string path;
        FT_Face face = nullptr;
        bool tried = false;
    };

    struct LineMetrics {
        long ascent = 0;
        long descent = 0;
    };

    FT_Library library() {
        if (!libraryTried_) {
            libraryTried_ = true;
            if (FT_Init_FreeType(&library_) != 0) {
                library_ = nullptr;
                platform::debugOutput("FreeType: Failed to initialise the library\n");
            }
        }
        return library_;
    }

    FT_Face open(Face& face) {
        if (!face.tried) {
            face.tried = true;
            FT_Library lib = library();
            if (lib != nullptr && !face.path.empty() && FT_New_Face(lib, face.path.c_str(), 0, &face.face) != 0) {
                face.face = nullptr;
            }
            if (lib != nullptr && face.face == nullptr) {
                platform::debugOutput("FreeType: Failed to open font " + face.path + "\n");
            }
        }
        return face.face;
    }

    FT_Face sizedFace(const LabelStyle& style) {
        if (style.pixelHeight < 1) {
            return nullptr;
        }
        Face& wanted = style.weight >= kBoldFromWeight ? bold_ : regular_;
        Face& other = style.weight >= kBoldFromWeight ? regular_ : bold_;
        FT_Face face = open(wanted);
        if (face == nullptr) {
            face = open(other);
        }
        if (face == nullptr || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(style.pixelHeight)) != 0) {
            return nullptr;
        }
        return face;
    }

    // GDI's line box for a character height: the face's Windows ascent and
    // descent at this size, or FreeType's own where the face has no OS/2
    // table.
    static LineMetrics lineMetrics(FT_Face face) {
        LineMetrics line;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        const long ppem = face->size->metrics.y_ppem;
        if (os2 != nullptr && face->units_per_EM > 0) {
            const long units = face->units_per_EM;
            line.ascent = (static_cast<long>(os2->usWinAscent) * ppem + units / 2) / units;
            line.descent = (static_cast<long>(os2->usWinDescent) * ppem + units / 2) / units;
        } else {
            line.ascent = ceil26Dot6(face->size->metrics.ascender);
            line.descent = ceil26Dot6(-face->size->metrics.descender);
        }
        return line;
    }

    static long advanceWidth(FT_Face face, std::string_view text) {
        long width = 0;
        for (std::size_t i = 0; i < text.size();) {
            const char32_t cp = nextCodePoint(text, i);
            if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) == 0) {
                width += ceil26Dot6(face->glyph->advance.x);
            }
        }
        return width;
    }

    // Writes one glyph's coverage in the text colour, keeping the brighter
    // of overlapping pixels; everything outside the bitmap is clipped.
    static void blit(const FT_Bitmap& glyph, long left, long top, const LabelStyle& style, LabelBitmap& bitmap) {
        if (glyph.buffer == nullptr ||
            (glyph.pixel_mode != FT_PIXEL_MODE_GRAY && glyph.pixel_mode != FT_PIXEL_MODE_MONO)) {
            return;
        }
        const long rows = static_cast<long>(glyph.rows);
        const long columns = static_cast<long>(glyph.width);
        const long pitch = glyph.pitch < 0 ? -static_cast<long>(glyph.pitch) : glyph.pitch;
        const long grey = glyph.pixel_mode == FT_PIXEL_MODE_GRAY && glyph.num_grays > 1 ? glyph.num_grays - 1 : 255;
        for (long row = 0; row < rows; ++row) {
            const long y = top + row;
            if (y < 0 || y >= bitmap.height) {
                continue;
            }
            const long memoryRow = glyph.pitch < 0 ? rows - 1 - row : row;
            const unsigned char* source = glyph.buffer + memoryRow * pitch;
            for (long column = 0; column < columns; ++column) {
                const long x = left + column;
                if (x < 0 || x >= bitmap.width) {
                    continue;
                }
                unsigned coverage = 0;
                if (glyph.pixel_mode == FT_PIXEL_MODE_MONO) {
                    coverage = (source[column >> 3] & (0x80 >> (column & 7))) != 0 ? 255u : 0u;
                } else {
                    coverage = static_cast<unsigned>(source[column] * 255 / grey);
                }
                if (coverage == 0) {
                    continue;
                }
                std::uint8_t* pixel =
                    &bitmap.bgra[(static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width) +
                                  static_cast<std::size_t>(x)) *
                                 4];
                const auto tint = [coverage](std::uint8_t channel) {
                    return static_cast<std::uint8_t>((channel * coverage + 127) / 255);
                };
                pixel[0] = std::max(pixel[0], tint(style.blue));
                pixel[1] = std::max(pixel[1], tint(style.green));
                pixel[2] = std::max(pixel[2], tint(style.red));
            }
        }
    }

    FT_Library library_ = nullptr;
    bool libraryTried_ = false;
    Face regular_;
    Face bold_;
};

}  // namespace

FontFiles dejaVuSansFiles() {
    return {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"};
}

std::unique_ptr<LabelRasterizer> makeFreeTypeLabelRasterizer(FontFiles files) {
    return std::make_unique<FreeTypeLabelRasterizer>(std::move(files));
}

}  // namespace orvalis::viewer
