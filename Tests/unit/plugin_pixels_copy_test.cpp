// The pass-through copy: every row at its own stride, only the pixels both
// images have, nothing written outside the destination.
#include "pixels/pixel_copy.h"
#include "plugin_pixels_test_image.h"

#include <gtest/gtest.h>

namespace orvalis::plugin {
namespace {

using testing::TestImage;

// A source whose every byte depends on its absolute pixel and byte index.
TestImage patterned(int x1, int y1, int w, int h, PixelDepth depth, int pad = 0, bool topDown = false) {
    TestImage img(x1, y1, w, h, depth, pad, topDown);
    const int bpp = bytesPerPixel(depth);
    for (int py = 0; py < h; ++py) {
        for (int px = 0; px < w; ++px) {
            auto* p = const_cast<unsigned char*>(img.pixelBytes(px, py));
            for (int i = 0; i < bpp; ++i) {
                p[i] = static_cast<unsigned char>((x1 + px) * 7 + (y1 + py) * 13 + i + 1);
            }
        }
    }
    return img;
}

constexpr unsigned char kFill = 0xEE;

void expectCopied(const TestImage& src, const TestImage& dst) {
    const PixelView s = src.view();
    testing::expectWrittenOnlyIn(dst, s.x1, s.y1, s.x2, s.y2, src, kFill);
}

struct Layout {
    int pad;
    bool topDown;
};

TEST(PixelsCopy, EveryRowLayoutAndDepth) {
    const Layout layouts[] = {{0, false}, {0, true}, {5, false}, {64, true}, {16, false}};
    for (const PixelDepth depth : {PixelDepth::UByte, PixelDepth::UShort, PixelDepth::Float}) {
        for (const Layout& a : layouts) {
            for (const Layout& b : layouts) {
                const TestImage src = patterned(0, 0, 33, 17, depth, a.pad, a.topDown);
                TestImage dst(0, 0, 33, 17, depth, b.pad, b.topDown);
                dst.fillBytes(kFill);
                ASSERT_TRUE(copyPixels(src.view(), dst.mutableView()));
                SCOPED_TRACE(::testing::Message()
                             << "pads " << a.pad << "/" << b.pad << " topDown " << a.topDown << "/" << b.topDown);
                expectCopied(src, dst);
                EXPECT_TRUE(src.paddingIntact());
            }
        }
    }
}

// A larger source (the old whole-block copy ran past such an output;
// AddressSanitizer watches the exactly-sized buffer) and a smaller, shifted
// one that leaves the rest of the destination alone.
TEST(PixelsCopy, OnlyTheCommonAreaIsCopied) {
    const TestImage sources[] = {patterned(-10, -10, 120, 90, PixelDepth::Float, 32),
                                 patterned(20, 10, 30, 30, PixelDepth::UShort, 0, true)};
    TestImage destinations[] = {{0, 0, 50, 40, PixelDepth::Float}, {0, 0, 40, 25, PixelDepth::UShort, 6}};
    for (int i = 0; i < 2; ++i) {
        destinations[i].fillBytes(kFill);
        ASSERT_TRUE(copyPixels(sources[i].view(), destinations[i].mutableView()));
        expectCopied(sources[i], destinations[i]);
    }
}

TEST(PixelsCopy, NothingWhenTheImagesDoNotMatch) {
    const TestImage src = patterned(0, 0, 8, 8, PixelDepth::UByte);
    TestImage dst(0, 0, 8, 8, PixelDepth::UShort);
    dst.fillBytes(kFill);
    EXPECT_FALSE(copyPixels(src.view(), dst.mutableView()));  // depths differ
    TestImage other(0, 0, 8, 8, PixelDepth::Other);
    other.fillBytes(kFill);
    EXPECT_FALSE(copyPixels(src.view(), other.mutableView()));
    TestImage apart(8, 0, 8, 8, PixelDepth::UByte);  // touches, does not overlap
    apart.fillBytes(kFill);
    EXPECT_FALSE(copyPixels(src.view(), apart.mutableView()));
    // A source without pixels or with rows too short, over a destination it matches.
    TestImage same(0, 0, 8, 8, PixelDepth::UByte);
    same.fillBytes(kFill);
    PixelView none = src.view();
    none.data = nullptr;
    EXPECT_FALSE(copyPixels(none, same.mutableView()));
    PixelView narrow = src.view();
    narrow.rowBytes = 16;  // less than one row of pixels
    EXPECT_FALSE(copyPixels(narrow, same.mutableView()));
    for (const TestImage* img : {&dst, &other, &apart, &same}) {
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                ASSERT_EQ(img->pixelBytes(x, y)[0], kFill);
            }
        }
    }
}

}  // namespace
}  // namespace orvalis::plugin
