// The View menu as the viewer draws it itself (the GLFW shell): the menu
// bar across the top of the client area, the popup under "View" or at the
// pointer, and what each click, move and key does to them. Plain values in
// client pixels (origin top-left, y down), so the rules are tested without a
// window; the drawing lives in render/menu_draw.
#pragma once

#include <array>

#include "app/view_menu.h"

namespace orvalis::viewer {

// Items in the View popup.
inline constexpr int kMenuItemCount = 4;

// The menu bar at least this high (a Windows menu bar at 96 dpi).
inline constexpr int kMinMenuBarHeight = 20;
// Space between the popup's edge and its items.
inline constexpr int kPopupBorder = 3;

// A rectangle in client pixels: left and top inside, right and bottom out.
struct MenuRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const noexcept { return right - left; }
    int height() const noexcept { return bottom - top; }
    // True when the pixel (x, y) lies inside.
    bool contains(int x, int y) const noexcept { return x >= left && x < right && y >= top && y < bottom; }
};

// What the text measures: the line height and the width of each text.
struct MenuMetrics {
    int textHeight = 0;
    int viewTextWidth = 0;                             // "View"
    std::array<int, kMenuItemCount> itemTextWidths{};  // the items, in menu order
};

// The menu bar's height for text of that line height: one and a half
// lines, and never less than a Windows menu bar.
int menuBarHeight(int textHeight) noexcept;

// What an event did.
struct MenuResponse {
    bool consumed = false;  // the event was the menu's; the scene must not see it
    bool redraw = false;    // the menu looks different
    int command = 0;        // the item chosen (1001 to 1004), else 0
};

// How "View" on the bar looks.
enum class BarItemLook { Normal, Hot, Pressed };

// The menu bar and its popup for one window.
class MenuLayout {
public:
    MenuLayout(const MenuMetrics& metrics, const std::array<int, kMenuItemCount>& itemIds) noexcept;

    // The client area's size; an open popup closes (its place no longer holds).
    void resize(int width, int height) noexcept;

    int barHeight() const noexcept { return barHeight_; }
    // The bar across the top of the client area.
    MenuRect barRect() const noexcept;
    // "View" on the bar: from the left edge, text width + 30 wide, the bar's
    // height less the line below it.
    MenuRect viewRect() const noexcept;
    BarItemLook viewLook() const noexcept;

    bool isOpen() const noexcept { return open_; }
    // The open popup (empty when closed) and its items.
    MenuRect popupRect() const noexcept;
    MenuRect itemRect(int index) const noexcept;
    // The item under the pointer or chosen by the keys; -1 for none.
    int hotItem() const noexcept { return hotItem_; }
    // The item at (x, y) in the open popup, or -1.
    int itemAt(int x, int y) const noexcept;

    // Left button pressed / released at (x, y).
    MenuResponse leftPress(int x, int y) noexcept;
    MenuResponse leftRelease(int x, int y) noexcept;
    // Right button: the press closes an open popup when outside it; the
    // release opens the popup at the pointer (as the context menu comes
    // after the button is up) or chooses the item under it.
    MenuResponse rightPress(int x, int y) noexcept;
    MenuResponse rightRelease(int x, int y) noexcept;
    // The pointer moved to (x, y) / left the window.
    MenuResponse pointerMove(int x, int y) noexcept;
    MenuResponse pointerLeave() noexcept;
    // Opens the popup with its top-left corner at (x, y), moved where needed
    // to stay inside the client area (the context menu from the keyboard).
    MenuResponse openAt(int x, int y) noexcept;
    // Keys while the popup is open: Escape closes it, Up and Down move the
    // hot item, Enter chooses it.
    MenuResponse escape() noexcept;
    MenuResponse moveHot(int step) noexcept;
    MenuResponse chooseHot() noexcept;
    // Closes the popup (the window lost the focus, ...).
    MenuResponse close() noexcept;

private:
    MenuResponse openUnderView() noexcept;
    MenuResponse choose(int index) noexcept;
    void placePopup(int x, int y) noexcept;

    std::array<int, kMenuItemCount> itemIds_;
    int barHeight_;
    int viewWidth_;
    MenuItemSize itemSize_{0, 0};  // every item as wide as the widest
    int width_ = 0;
    int height_ = 0;

    bool open_ = false;
    bool openedFromBar_ = false;
    int popupLeft_ = 0;
    int popupTop_ = 0;
    int hotItem_ = -1;
    bool viewHot_ = false;
    bool swallowRightRelease_ = false;  // the right press closed the popup
};

}  // namespace orvalis::viewer
