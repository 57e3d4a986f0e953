// The Windows View menu's painting, read back from a 32-bit DIB section:
// owner-drawn popup items and the menu-bar messages of the dark chrome.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "win32_dark_mode.h"
#include "win32_menu.h"

namespace {

using namespace orvalis::viewer::win32;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// A top-down 32-bit bitmap selected into a memory device context.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        dc_ = ::CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = ::SelectObject(dc_, bitmap_);
        fill(Rgb{1, 2, 3});
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
        for (int i = 0; i < width_ * height_; ++i)
            bits_[i] = static_cast<std::uint32_t>((c.r << 16) | (c.g << 8) | c.b);
    }
    Rgb at(int x, int y) const {
        ::GdiFlush();
        const std::uint32_t p = bits_[y * width_ + x];
        return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
    }
    int count(Rgb c, int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                n += at(x, y) == c ? 1 : 0;
        return n;
    }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

constexpr Rgb kPopup{32, 32, 32};
constexpr Rgb kSelected{21, 74, 88};
constexpr Rgb kText{241, 241, 241};
constexpr Rgb kGreyText{128, 128, 128};
constexpr Rgb kWhite{255, 255, 255};

void drawItem(Canvas& canvas, MenuItemRecord& record, UINT state) {
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_MENU;
    draw.itemState = state;
    draw.hDC = canvas.dc();
    draw.rcItem = RECT{0, 0, 200, 24};
    draw.itemData = reinterpret_cast<ULONG_PTR>(&record);
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

    canvas.fill(Rgb{1, 2, 3});
    record.checked = false;
    drawItem(canvas, record, ODS_SELECTED);
    EXPECT_EQ(canvas.at(1, 1), kSelected);
    EXPECT_EQ(canvas.count(kWhite, 170, 0, 200, 24), 0) << "no check mark";

    canvas.fill(Rgb{1, 2, 3});
    record.enabled = false;
    drawItem(canvas, record, 0);
    EXPECT_EQ(canvas.count(kText, 0, 0, 200, 24), 0);
    EXPECT_GT(canvas.count(kGreyText, 12, 0, 170, 24), 0) << "a disabled record is grey";
}

// The block of message 0x0092, built at the offsets the system uses.
struct BarItemBlock {
    alignas(8) unsigned char bytes[160] = {};
    template <typename T>
    void put(std::size_t offset, const T& value) {
        std::memcpy(bytes + offset, &value, sizeof value);
    }
};

void drawBarItem(Canvas& canvas, HMENU menu, UINT state) {
    BarItemBlock block;
    block.put(0, static_cast<UINT>(ODT_MENU));
    block.put(16, state);
    block.put(40, RECT{10, 2, 60, 20});
    block.put(64, menu);
    block.put(72, canvas.dc());
    block.put(88, 0);  // the item's position
    const DarkChromeResult answer = handleDarkChromeMessage(nullptr, 0x0092, 0, reinterpret_cast<LPARAM>(block.bytes));
    EXPECT_TRUE(answer.handled);
}

TEST(Win32DarkMenuBar, ItemsArePaintedInTheirStateColours) {
    Canvas canvas(80, 24);
    ASSERT_TRUE(canvas.ok());
    const HMENU menu = ::CreateMenu();
    ASSERT_NE(menu, nullptr);
    ::AppendMenuA(menu, MF_STRING, 1, "View");
    createMenuBarBrushes();

    drawBarItem(canvas, menu, 0);
    EXPECT_EQ(canvas.at(10, 2), (Rgb{16, 16, 16})) << "normal: no frame";
    EXPECT_EQ(canvas.at(12, 4), (Rgb{16, 16, 16}));
    EXPECT_EQ(canvas.at(9, 2), (Rgb{1, 2, 3})) << "only the item rectangle";
    EXPECT_GT(canvas.count(kText, 10, 2, 60, 20), 0) << "the item's text";

    drawBarItem(canvas, menu, ODS_HOTLIGHT);
    EXPECT_EQ(canvas.at(10, 2), (Rgb{63, 63, 70})) << "hot: framed";
    EXPECT_EQ(canvas.at(59, 19), (Rgb{63, 63, 70}));
    EXPECT_EQ(canvas.at(12, 4), kSelected);

    drawBarItem(canvas, menu, ODS_SELECTED | ODS_HOTLIGHT);
    EXPECT_EQ(canvas.at(12, 4), (Rgb{31, 84, 98})) << "pressed wins over hot";
    EXPECT_EQ(canvas.at(10, 2), (Rgb{63, 63, 70}));

    drawBarItem(canvas, menu, ODS_GRAYED);
    EXPECT_EQ(canvas.count(kText, 10, 2, 60, 20), 0);
    EXPECT_GT(canvas.count(kGreyText, 10, 2, 60, 20), 0) << "grayed text";

    // Without brushes nothing is filled, and nothing breaks.
    deleteMenuBarBrushes();
    canvas.fill(Rgb{1, 2, 3});
    drawBarItem(canvas, menu, ODS_HOTLIGHT);
    EXPECT_EQ(canvas.at(12, 4), (Rgb{1, 2, 3}));
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
