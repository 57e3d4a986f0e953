// The Windows View menu's painting, read back from a 32-bit DIB section:
// owner-drawn popup items and the menu-bar messages of the dark chrome.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "win32_dark_mode.h"
#include "win32_menu.h"

namespace {

using namespace orvalis::viewer::win32;

// Colours as 0xRRGGBB, the way a 32-bit DIB holds them.
using Rgb = std::uint32_t;

// A top-down 32-bit bitmap selected into a memory device context.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        dc_ = ::CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = ::SelectObject(dc_, bitmap_);
        fill(kUntouched);
    }
    ~Canvas() {
        ::SelectObject(dc_, old_);
        ::DeleteObject(bitmap_);
        ::DeleteDC(dc_);
    }
    bool ok() const { return dc_ != nullptr && bitmap_ != nullptr && bits_ != nullptr; }
    HDC dc() const { return dc_; }
    void fill(Rgb c) {
        ::GdiFlush();
        std::fill(bits_, bits_ + width_ * height_, c);
    }
    Rgb at(int x, int y) const {
        ::GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }
    int count(Rgb c, int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                n += at(x, y) == c ? 1 : 0;
        return n;
    }
    static constexpr Rgb kUntouched = 0x010203;

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

constexpr Rgb kPopup = 0x202020;
constexpr Rgb kSelected = 0x154A58;
constexpr Rgb kText = 0xF1F1F1;
constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kBarFrame = 0x3F3F46;

void drawItem(Canvas& canvas, MenuItemRecord& record, UINT state) {
    DRAWITEMSTRUCT draw{
        ODT_MENU, 0, 0, 0, state, nullptr, canvas.dc(), {0, 0, 200, 24}, reinterpret_cast<ULONG_PTR>(&record)};
    drawMenuItem(&draw);
}

TEST(Win32MenuItem, DrawsBackgroundBoldTextAndCheckMark) {
    Canvas canvas(200, 24);
    ASSERT_TRUE(canvas.ok());
    MenuItemRecord record{"Grey Background", true, true};
    drawItem(canvas, record, 0);
    EXPECT_EQ(canvas.at(1, 1), kPopup);
    EXPECT_EQ(canvas.at(199, 23), kPopup) << "the whole item is filled";
    EXPECT_GT(canvas.count(kText, 12, 0, 170, 24), 0) << "light text";
    EXPECT_EQ(canvas.count(kText, 0, 0, 12, 24), 0) << "the text starts 12 pixels in";
    // Check mark around (187, 12): through (186, 15), up to (191, 9).
    EXPECT_EQ(canvas.at(186, 15), kWhite);
    EXPECT_EQ(canvas.at(184, 13), kWhite);
    EXPECT_EQ(canvas.at(175, 12), kPopup) << "nothing between the text and the mark";

    canvas.fill(Canvas::kUntouched);
    record.checked = false;
    drawItem(canvas, record, ODS_SELECTED);
    EXPECT_EQ(canvas.at(1, 1), kSelected);
    EXPECT_EQ(canvas.count(kWhite, 170, 0, 200, 24), 0) << "no check mark";
}

// Message 0x0092 with its block built at the offsets the system uses.
void drawBarItem(Canvas& canvas, HMENU menu, UINT state) {
    alignas(8) unsigned char block[160] = {};
    const auto put = [&](std::size_t offset, const auto& value) { std::memcpy(block + offset, &value, sizeof value); };
    put(0, static_cast<UINT>(ODT_MENU));
    put(16, state);
    put(40, RECT{10, 2, 60, 20});
    put(64, menu);
    put(72, canvas.dc());
    put(88, 0);  // the item's position
    EXPECT_TRUE(handleDarkChromeMessage(nullptr, 0x0092, 0, reinterpret_cast<LPARAM>(block)).handled);
}

TEST(Win32DarkMenuBar, ItemsArePaintedInTheirStateColours) {
    Canvas canvas(80, 24);
    ASSERT_TRUE(canvas.ok());
    const HMENU menu = ::CreateMenu();
    ASSERT_NE(menu, nullptr);
    ::AppendMenuA(menu, MF_STRING, 1, "View");
    createMenuBarBrushes();

    drawBarItem(canvas, menu, 0);
    EXPECT_EQ(canvas.at(10, 2), Rgb{0x101010}) << "normal: no frame";
    EXPECT_EQ(canvas.at(12, 4), Rgb{0x101010});
    EXPECT_EQ(canvas.at(9, 2), Canvas::kUntouched) << "only the item rectangle";
    EXPECT_GT(canvas.count(kText, 10, 2, 60, 20), 0) << "the item's text";

    drawBarItem(canvas, menu, ODS_HOTLIGHT);
    EXPECT_EQ(canvas.at(10, 2), kBarFrame) << "hot: framed";
    EXPECT_EQ(canvas.at(59, 19), kBarFrame);
    EXPECT_EQ(canvas.at(12, 4), kSelected);

    drawBarItem(canvas, menu, ODS_SELECTED | ODS_HOTLIGHT);
    EXPECT_EQ(canvas.at(12, 4), Rgb{0x1F5462}) << "pressed wins over hot";
    EXPECT_EQ(canvas.at(10, 2), kBarFrame);

    // Without brushes nothing is filled, and nothing breaks.
    deleteMenuBarBrushes();
    canvas.fill(Canvas::kUntouched);
    drawBarItem(canvas, menu, ODS_HOTLIGHT);
    EXPECT_EQ(canvas.at(12, 4), Canvas::kUntouched);
    ::DestroyMenu(menu);
}

TEST(Win32DarkMenuBar, MeasuredItemsGrowBy30AndOtherMessagesPassOn) {
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_MENU;
    measure.itemWidth = 40;
    measure.itemHeight = 19;
    unsigned char block[96] = {};
    std::memcpy(block, &measure, sizeof measure);
    const DarkChromeResult answer = handleDarkChromeMessage(nullptr, 0x0094, 0, reinterpret_cast<LPARAM>(block));
    EXPECT_TRUE(answer.handled);
    std::memcpy(&measure, block, sizeof measure);
    EXPECT_EQ(measure.itemWidth, 70u);
    EXPECT_EQ(measure.itemHeight, 19u);

    EXPECT_FALSE(handleDarkChromeMessage(nullptr, WM_SIZE, 0, 0).handled);
    EXPECT_FALSE(handleDarkChromeMessage(nullptr, 0x0093, 0, 0).handled);
    EXPECT_TRUE(handleDarkChromeMessage(nullptr, 0x0091, 0, 0).handled) << "a missing block is not painted";
}

}  // namespace
