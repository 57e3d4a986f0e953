// The gamut badge without a GL context: the interface scale, the badge's
// geometry, the label sizes and rebuild rule, the coverage rule, and the
// platform's text renderer drawing a real label.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "render/label_text.h"
#include "render/overlay.h"
#include "render/overlay_geometry.h"

#ifdef _WIN32
#include "shell/win32_label_text.h"
#else
#include "render/freetype_label_text.h"
#endif

namespace {

using namespace orvalis::viewer;

std::unique_ptr<LabelRasterizer> platformRasterizer() {
#ifdef _WIN32
    return win32::makeGdiLabelRasterizer();
#else
    return makeFreeTypeLabelRasterizer();
#endif
}

// ---- scale and geometry -----------------------------------------------------

TEST(OverlayScale, IsOneUpTo720ThenGrowsLinearlyToFourAt2880) {
    EXPECT_FLOAT_EQ(interfaceScale(0), 1.0f);
    EXPECT_FLOAT_EQ(interfaceScale(480), 1.0f);
    EXPECT_FLOAT_EQ(interfaceScale(720), 1.0f);
    EXPECT_NEAR(interfaceScale(750), 750.0f / 720.0f, 1e-6f);
    EXPECT_NEAR(interfaceScale(760), 760.0f / 720.0f, 1e-6f);
    EXPECT_FLOAT_EQ(interfaceScale(1440), 2.0f);
    EXPECT_FLOAT_EQ(interfaceScale(2880), 4.0f);
    EXPECT_FLOAT_EQ(interfaceScale(5000), 4.0f);
}

TEST(OverlayBadge, At720PixelsSitsFourteenPixelsFromTheTopRightCorner) {
    for (const GamutLabel which : {GamutLabel::InGamut, GamutLabel::OutOfGamut}) {
        const LabelSize label = labelDisplaySize(which, interfaceScale(720));
        const BadgeGeometry b = badgeGeometry(1280, 720, label);
        const float expectedWidth = which == GamutLabel::InGamut ? 96.0f : 118.0f;
        EXPECT_FLOAT_EQ(b.width, expectedWidth);
        EXPECT_FLOAT_EQ(b.height, 22.0f);
        EXPECT_FLOAT_EQ(1280.0f - (b.left + b.width), 14.0f);
        EXPECT_FLOAT_EQ(720.0f - (b.bottom + b.height), 14.0f);
        EXPECT_FLOAT_EQ(b.dotCentre.x, b.left + 14.5f);
        EXPECT_FLOAT_EQ(b.dotCentre.y, 684.0f + 11.0f);
        // The label ends 10 pixels inside the right edge, centred in height.
        EXPECT_FLOAT_EQ(b.labelOrigin.x, b.left + 26.0f);
        EXPECT_FLOAT_EQ(b.labelOrigin.x + static_cast<float>(label.width), b.left + b.width - 10.0f);
        EXPECT_FLOAT_EQ(b.labelOrigin.y, 684.0f + 4.0f);
    }
    // A lower view keeps every size; only the position follows the corner.
    const BadgeGeometry low = badgeGeometry(400, 300, labelDisplaySize(GamutLabel::InGamut, interfaceScale(300)));
    EXPECT_FLOAT_EQ(low.width, 96.0f);
    EXPECT_FLOAT_EQ(low.left, 400.0f - 14.0f - 96.0f);
    EXPECT_FLOAT_EQ(low.bottom, 300.0f - 14.0f - 22.0f);
}

TEST(OverlayBadge, DoublesAt1440AndStopsGrowingAt2880) {
    const LabelSize in2 = labelDisplaySize(GamutLabel::InGamut, interfaceScale(1440));
    const LabelSize out2 = labelDisplaySize(GamutLabel::OutOfGamut, interfaceScale(1440));
    EXPECT_EQ(in2.width, 120);
    EXPECT_EQ(out2.width, 164);
    EXPECT_EQ(in2.height, 28);
    EXPECT_EQ(labelTextureSize(in2).width, 240);
    EXPECT_EQ(labelTextureSize(in2).height, 56);
    EXPECT_EQ(labelTextureSize(out2).width, 328);

    const BadgeGeometry b = badgeGeometry(2560, 1440, in2);
    EXPECT_FLOAT_EQ(b.width, 72.0f + 120.0f);
    EXPECT_FLOAT_EQ(b.height, 44.0f);
    EXPECT_FLOAT_EQ(2560.0f - (b.left + b.width), 28.0f);
    EXPECT_FLOAT_EQ(1440.0f - (b.bottom + b.height), 28.0f);
    EXPECT_FLOAT_EQ(b.borderWidth, 2.0f);

    for (const int height : {2880, 4320}) {
        const LabelSize label = labelDisplaySize(GamutLabel::OutOfGamut, interfaceScale(height));
        EXPECT_EQ(label.width, 328);
        EXPECT_EQ(label.height, 56);
        const BadgeGeometry big = badgeGeometry(5120, height, label);
        EXPECT_FLOAT_EQ(static_cast<float>(height) - (big.bottom + big.height), 56.0f);
        EXPECT_EQ(labelPixelHeight(interfaceScale(height)), 88);
    }
}

TEST(OverlayLabels, SizesAreTruncatedAndNeverBelowScaleOne) {
    // s about 1.0556 at 760 pixels: 63.3 x 14.8 and 86.6 x 14.8.
    const float s = interfaceScale(760);
    EXPECT_EQ(labelDisplaySize(GamutLabel::InGamut, s).width, 63);
    EXPECT_EQ(labelDisplaySize(GamutLabel::OutOfGamut, s).width, 86);
    EXPECT_EQ(labelDisplaySize(GamutLabel::InGamut, s).height, 14);
    EXPECT_EQ(labelPixelHeight(s), 23);
    // The texture is made for max(1, s).
    EXPECT_EQ(labelDisplaySize(GamutLabel::OutOfGamut, 0.5f).width, 82);
    EXPECT_EQ(labelDisplaySize(GamutLabel::InGamut, 0.0f).height, 14);
    EXPECT_EQ(labelPixelHeight(0.25f), 22);
}

TEST(OverlayLabels, TexturesAreRebuiltOnlyWhenTheScaleMovesMoreThanFivePercentOfOne) {
    EXPECT_TRUE(labelsNeedRebuild(0.0f, interfaceScale(480)));  // first frame
    const float at720 = interfaceScale(720);
    EXPECT_FALSE(labelsNeedRebuild(at720, interfaceScale(720)));
    EXPECT_FALSE(labelsNeedRebuild(at720, interfaceScale(750)));
    EXPECT_TRUE(labelsNeedRebuild(at720, interfaceScale(760)));
    // Downwards the same: 760 back to 750 keeps, back to 720 rebuilds.
    const float at760 = interfaceScale(760);
    EXPECT_FALSE(labelsNeedRebuild(at760, interfaceScale(750)));
    EXPECT_TRUE(labelsNeedRebuild(at760, interfaceScale(720)));
    // Above 2880 pixels the scale no longer moves.
    EXPECT_FALSE(labelsNeedRebuild(interfaceScale(2880), interfaceScale(6000)));
}

// Twice the area of a closed polygon (shoelace).
float polygonArea(const std::vector<OverlayPoint>& points) {
    double sum = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const OverlayPoint& a = points[i];
        const OverlayPoint& b = points[(i + 1) % points.size()];
        sum += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return static_cast<float>(sum / 2.0);
}

TEST(OverlayBadge, OutlineIsARoundedRectangleDrawnCounterClockwise) {
    const BadgeGeometry b = badgeGeometry(1280, 720, labelDisplaySize(GamutLabel::OutOfGamut, 1.0f));
    const auto outline = badgeOutline(b);
    const float r = b.cornerRadius;
    const float right = b.left + b.width;
    const float top = b.bottom + b.height;
    // Each arc runs a quarter turn: from the right edge to the top edge, the
    // top to the left, the left to the bottom, the bottom to the right.
    const OverlayPoint ends[8] = {{right, top - r},      {right - r, top},       {b.left + r, top},
                                  {b.left, top - r},     {b.left, b.bottom + r}, {b.left + r, b.bottom},
                                  {right - r, b.bottom}, {right, b.bottom + r}};
    for (int corner = 0; corner < 4; ++corner) {
        const OverlayPoint& first = outline[static_cast<std::size_t>(corner * kCornerPoints)];
        const OverlayPoint& last = outline[static_cast<std::size_t>(corner * kCornerPoints + kCornerPoints - 1)];
        EXPECT_NEAR(first.x, ends[2 * corner].x, 1e-3f) << "corner " << corner;
        EXPECT_NEAR(first.y, ends[2 * corner].y, 1e-3f) << "corner " << corner;
        EXPECT_NEAR(last.x, ends[2 * corner + 1].x, 1e-3f) << "corner " << corner;
        EXPECT_NEAR(last.y, ends[2 * corner + 1].y, 1e-3f) << "corner " << corner;
    }
    // Counter-clockwise, with the area of the rectangle less what each
    // corner cuts off: its r x r square less eight 11.25-degree slices.
    const std::vector<OverlayPoint> loop(outline.begin(), outline.end());
    const double pi = 3.14159265358979;
    const double corners = 4.0 * (r * r - 8.0 * 0.5 * r * r * std::sin(pi / 16.0));
    EXPECT_NEAR(polygonArea(loop), b.width * b.height - corners, 0.05);

    // The fan: its centre, the outline, and the outline's first point again.
    const std::vector<OverlayPoint> fan = badgeFan(b);
    ASSERT_EQ(fan.size(), outline.size() + 2);
    EXPECT_FLOAT_EQ(fan.front().x, b.left + b.width / 2.0f);
    EXPECT_FLOAT_EQ(fan.front().y, b.bottom + b.height / 2.0f);
    EXPECT_NEAR(fan.back().x, outline.front().x, 1e-3f);
    EXPECT_NEAR(fan.back().y, outline.front().y, 1e-3f);
}

TEST(OverlayBadge, DiscRimClosesOnItsFirstPoint) {
    const OverlayPoint centre{100.0f, 50.0f};
    const std::vector<OverlayPoint> rim = discRim(centre, 6.5f, kDotSegments);
    ASSERT_EQ(rim.size(), static_cast<std::size_t>(kDotSegments) + 1);
    EXPECT_NEAR(rim.front().x, 106.5f, 1e-4f);
    EXPECT_NEAR(rim.front().y, 50.0f, 1e-4f);
    EXPECT_NEAR(rim.back().x, rim.front().x, 1e-4f);
    EXPECT_NEAR(rim.back().y, rim.front().y, 1e-4f);
    // A quarter of the way round: straight up.
    EXPECT_NEAR(rim[6].x, 100.0f, 1e-4f);
    EXPECT_NEAR(rim[6].y, 56.5f, 1e-4f);
    for (const OverlayPoint& p : rim) {
        EXPECT_NEAR(std::hypot(p.x - centre.x, p.y - centre.y), 6.5f, 1e-4f);
    }
    EXPECT_TRUE(discRim(centre, 1.0f, 0).empty());
}

// ---- coverage and label bitmaps ----------------------------------------------

TEST(LabelCoverage, DimPixelsVanishAndTheBrightestChannelBecomesAlpha) {
    LabelBitmap bitmap = makeLabelBitmap(5, 1);
    ASSERT_EQ(bitmap.bgra.size(), 20u);
    const std::uint8_t pixels[5][4] = {
        {10, 10, 10, 0},     // at the threshold: gone
        {3, 9, 10, 255},     // alpha from the renderer is not kept either
        {0, 0, 11, 77},      // just above: red is the brightest
        {200, 30, 5, 0},     // ClearType fringe: blue brightest
        {242, 238, 235, 0},  // full coverage of the "In Gamut" colour
    };
    for (int i = 0; i < 5; ++i) {
        std::copy(pixels[i], pixels[i] + 4, bitmap.bgra.begin() + 4 * i);
    }
    applyCoverage(bitmap);
    const std::uint8_t expected[5][4] = {
        {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 11, 11}, {200, 30, 5, 200}, {242, 238, 235, 242},
    };
    for (int i = 0; i < 5; ++i) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(bitmap.bgra[static_cast<std::size_t>(4 * i + c)], expected[i][c])
                << "pixel " << i << " byte " << c;
        }
    }
}

// Draws one grey pixel, or nothing when told to fail.
class OnePixelRasterizer final : public LabelRasterizer {
public:
    explicit OnePixelRasterizer(bool succeed) : succeed_(succeed) {}
    bool draw(std::string_view text, const LabelStyle& style, LabelBitmap& bitmap) override {
        lastText = std::string(text);
        lastStyle = style;
        lastSize = {bitmap.width, bitmap.height};
        if (!succeed_) {
            return false;
        }
        bitmap.bgra[0] = bitmap.bgra[1] = bitmap.bgra[2] = 128;
        return true;
    }
    void measure(std::string_view, const LabelStyle&, int& width, int& height) override { width = height = 0; }

    std::string lastText;
    LabelStyle lastStyle;
    LabelSize lastSize;

private:
    bool succeed_;
};

TEST(LabelTexture, AskTheRasterizerForTwiceTheDisplaySizeInTheLabelColour) {
    OnePixelRasterizer rasterizer(true);
    const std::optional<LabelBitmap> drawn = renderLabel(&rasterizer, "In Gamut", LabelStyle{}, 4, 2);
    ASSERT_TRUE(drawn.has_value());
    EXPECT_EQ(drawn->bgra[3], 128) << "the coverage rule ran";

    // Nothing drawn: no texture, but the badge still gets its label size.
    OnePixelRasterizer failing(false);
    LabelSize size;
    EXPECT_EQ(makeLabelTexture(&failing, GamutLabel::OutOfGamut, interfaceScale(1440), size), 0u);
    EXPECT_EQ(size.width, 164);
    EXPECT_EQ(size.height, 28);
    EXPECT_EQ(failing.lastText, "Out of Gamut");
    EXPECT_EQ(failing.lastSize.width, 328);
    EXPECT_EQ(failing.lastSize.height, 56);
    EXPECT_EQ(failing.lastStyle.pixelHeight, 44);
    EXPECT_EQ(failing.lastStyle.weight, 600);
    EXPECT_EQ(failing.lastStyle.red, 255);
    makeLabelTexture(&failing, GamutLabel::InGamut, 1.0f, size);
    EXPECT_EQ(failing.lastText, "In Gamut");
    EXPECT_EQ(failing.lastStyle.red, 235);

    // No rasterizer at all: the same.
    EXPECT_EQ(makeLabelTexture(nullptr, GamutLabel::InGamut, 1.0f, size), 0u);
    EXPECT_EQ(size.width, 60);
}

// Measures every character as wide as the character height.
class SquareGlyphRasterizer final : public LabelRasterizer {
public:
    bool draw(std::string_view, const LabelStyle&, LabelBitmap&) override { return false; }
    void measure(std::string_view text, const LabelStyle& style, int& width, int& height) override {
        width = static_cast<int>(text.size()) * style.pixelHeight;
        height = style.pixelHeight;
    }
};

TEST(LabelTexture, TextTooWideForItsTextureIsMadeSmallerUntilItFits) {
    SquareGlyphRasterizer rasterizer;
    LabelStyle style;
    style.pixelHeight = 22;
    style.weight = 600;
    // 8 characters of 22 fit 176 pixels exactly; in 164 they need 20 each.
    EXPECT_EQ(fitLabelStyle(rasterizer, "In Gamut", style, 176).pixelHeight, 22);
    const LabelStyle fitted = fitLabelStyle(rasterizer, "In Gamut", style, 164);
    EXPECT_EQ(fitted.pixelHeight, 20);
    EXPECT_EQ(fitted.weight, 600);
    EXPECT_EQ(fitLabelStyle(rasterizer, "In Gamut", style, 0).pixelHeight, 1);
    // A rasterizer that cannot measure leaves the style alone.
    OnePixelRasterizer unmeasured(true);
    EXPECT_EQ(fitLabelStyle(unmeasured, "In Gamut", style, 10).pixelHeight, 22);
}

// ---- the platform's text renderer ---------------------------------------------

LabelStyle labelStyle(GamutLabel which, float scale, int weight = 600) {
    const TextColour colour = labelTextColour(which);
    LabelStyle style;
    style.pixelHeight = labelPixelHeight(scale);
    style.weight = weight;
    style.red = colour.red;
    style.green = colour.green;
    style.blue = colour.blue;
    return style;
}

struct Ink {
    int count = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};

// Where the covered (non-zero alpha) pixels are.
Ink inkOf(const LabelBitmap& bitmap) {
    Ink ink;
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            if (bitmap.bgra[static_cast<std::size_t>((y * bitmap.width + x) * 4 + 3)] != 0) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    }
    return ink;
}

TEST(PlatformLabelText, DrawsInGamutLeftAlignedAndVerticallyCentred) {
    const std::unique_ptr<LabelRasterizer> rasterizer = platformRasterizer();
    for (const float scale : {1.0f, 2.0f}) {
        const LabelSize texels = labelTextureSize(labelDisplaySize(GamutLabel::InGamut, scale));
        const std::optional<LabelBitmap> bitmap = renderLabel(
            rasterizer.get(), "In Gamut", labelStyle(GamutLabel::InGamut, scale), texels.width, texels.height);
        ASSERT_TRUE(bitmap.has_value()) << "scale " << scale;
        const Ink ink = inkOf(*bitmap);
        // Real text: many pixels, starting near the left edge ("I" has no
        // overhang), well inside the bitmap at the bottom and top.
        EXPECT_GT(ink.count, 60 * scale * scale) << "scale " << scale;
        EXPECT_LE(ink.left, 4 * scale) << "scale " << scale;
        EXPECT_GT(ink.right, texels.width / 2) << "scale " << scale;
        EXPECT_GT(ink.top, 0) << "scale " << scale;
        EXPECT_LT(ink.bottom, texels.height - 1) << "scale " << scale;
        const float middle = (ink.top + ink.bottom) / 2.0f;
        EXPECT_NEAR(middle, texels.height / 2.0f, 3.0f * scale) << "scale " << scale;
    }
}

#ifndef _WIN32

TEST(FreeTypeLabelText, TintsCoverageWithTheTextColour) {
    const std::unique_ptr<LabelRasterizer> rasterizer = makeFreeTypeLabelRasterizer();
    // DejaVu Sans Bold is wider than the face the sizes were made for: the
    // label is fitted to its texture as makeLabelTexture does.
    const LabelStyle style = fitLabelStyle(*rasterizer, "Out of Gamut", labelStyle(GamutLabel::OutOfGamut, 1.0f), 164);
    EXPECT_LT(style.pixelHeight, 22);
    EXPECT_GE(style.pixelHeight, 20);
    const std::optional<LabelBitmap> bitmap = renderLabel(rasterizer.get(), "Out of Gamut", style, 164, 28);
    ASSERT_TRUE(bitmap.has_value());
    int solid = 0;
    for (std::size_t i = 0; i < bitmap->bgra.size(); i += 4) {
        const std::uint8_t* p = &bitmap->bgra[i];
        if (p[3] == 0) {
            continue;
        }
        // Red is the brightest channel of (255, 205, 205), so it is alpha;
        // green and blue keep their share of it.
        EXPECT_EQ(p[3], p[2]);
        EXPECT_EQ(p[0], p[1]);
        EXPECT_NEAR(p[1], p[2] * 205 / 255, 1);
        solid += p[2] == 255 ? 1 : 0;
    }
    EXPECT_GT(solid, 100) << "glyph interiors are fully covered";
    EXPECT_LT(inkOf(*bitmap).right, 164 - 1) << "the whole label fits its bitmap";
}

TEST(FreeTypeLabelText, ClipsAtTheBitmapEdgesWithoutWrapping) {
    const std::unique_ptr<LabelRasterizer> rasterizer = makeFreeTypeLabelRasterizer();
    const LabelStyle style = labelStyle(GamutLabel::OutOfGamut, 1.0f);
    const std::optional<LabelBitmap> wide = renderLabel(rasterizer.get(), "Out of Gamut", style, 164, 28);
    const std::optional<LabelBitmap> narrow = renderLabel(rasterizer.get(), "Out of Gamut", style, 30, 28);
    ASSERT_TRUE(wide.has_value());
    ASSERT_TRUE(narrow.has_value());
    ASSERT_EQ(narrow->bgra.size(), 30u * 28u * 4u);
    // The narrow bitmap is the wide one's left part, nothing more: a glyph
    // pixel beyond column 29 did not land at the start of the next row.
    for (int y = 0; y < 28; ++y) {
        for (int x = 0; x < 30; ++x) {
            for (int c = 0; c < 4; ++c) {
                ASSERT_EQ(narrow->bgra[static_cast<std::size_t>((y * 30 + x) * 4 + c)],
                          wide->bgra[static_cast<std::size_t>((y * 164 + x) * 4 + c)])
                    << "x " << x << " y " << y;
            }
        }
    }
    // A bitmap lower than the line still holds the text's middle, clipped.
    const std::optional<LabelBitmap> low = renderLabel(rasterizer.get(), "Out of Gamut", style, 164, 6);
    ASSERT_TRUE(low.has_value());
    EXPECT_GT(inkOf(*low).count, 0);
}

TEST(FreeTypeLabelText, SemiBoldTakesTheBoldFaceAndMissingFontsDrawNothing) {
    const std::unique_ptr<LabelRasterizer> rasterizer = makeFreeTypeLabelRasterizer();
    const auto ink = [&](int weight) {
        const std::optional<LabelBitmap> bitmap =
            renderLabel(rasterizer.get(), "In Gamut", labelStyle(GamutLabel::InGamut, 1.0f, weight), 120, 28);
        return bitmap ? inkOf(*bitmap).count : 0;
    };
    EXPECT_GT(ink(600), ink(400) * 11 / 10);
    EXPECT_EQ(ink(600), ink(700));

    // Only the regular face there: bold text falls back to it.
    const FontFiles dejaVu = dejaVuSansFiles();
    const std::unique_ptr<LabelRasterizer> regularOnly =
        makeFreeTypeLabelRasterizer({dejaVu.regular, "/nonexistent/Bold.ttf"});
    const std::optional<LabelBitmap> fallback =
        renderLabel(regularOnly.get(), "In Gamut", labelStyle(GamutLabel::InGamut, 1.0f), 120, 28);
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(inkOf(*fallback).count, ink(400));

    const std::unique_ptr<LabelRasterizer> none =
        makeFreeTypeLabelRasterizer({"/nonexistent/Regular.ttf", "/nonexistent/Bold.ttf"});
    LabelSize size;
    EXPECT_EQ(makeLabelTexture(none.get(), GamutLabel::InGamut, 1.0f, size), 0u);
    int width = -1, height = -1;
    none->measure("In Gamut", labelStyle(GamutLabel::InGamut, 1.0f), width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

#endif

}  // namespace
