// The View menu as plain values: its four items and what choosing one does
// to the state. Both shells draw it their own way and call onMenuCommand.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "app/settings.h"
#include "app/viewer_state.h"

namespace orvalis::viewer {

enum MenuCommand : int {
    kCommandStayOnTop = 1001,
    kCommandGreyBackground = 1002,
    kCommandHighlightOutOfRange = 1003,
    kCommandGamutIndicator = 1004,
};

struct MenuItem {
    int id;
    const char* text;  // "Stay on top", "Grey Background", ...
    bool checked;
    bool enabled;  // always true for the four items
};

// The items in menu order, checked as the state says.
std::array<MenuItem, 4> viewMenuItems(const ViewerState& state);

struct CommandEffect {
    bool handled = false;           // one of the four ids
    bool stayOnTopChanged = false;  // the window's z-order must follow stayOnTop
    bool redraw = false;            // the frame shows the change
};

// onMenuCommand: flips the setting; the three stored ones are saved at once.
CommandEffect onMenuCommand(ViewerState& state, int id, SettingsStore& store);

// The item's check mark, if the item has one, after a command; empty for
// an id that is not one of the four.
std::optional<bool> menuItemChecked(const ViewerState& state, int id);

// Colours of the dark menus, as red, green, blue.
struct MenuColor {
    std::uint8_t red, green, blue;
};
inline constexpr MenuColor kMenuBarBackground{16, 16, 16};  // bar and the line below it
inline constexpr MenuColor kMenuBarItemNormal{16, 16, 16};
inline constexpr MenuColor kMenuBarItemHot{21, 74, 88};       // pointer over it
inline constexpr MenuColor kMenuBarItemPressed{31, 84, 98};   // its menu open
inline constexpr MenuColor kMenuBarItemFrame{63, 63, 70};     // one-pixel frame when hot or pressed
inline constexpr MenuColor kMenuText{241, 241, 241};          // bar and popup text
inline constexpr MenuColor kMenuTextDisabled{128, 128, 128};  // grayed or disabled text
inline constexpr MenuColor kMenuPopupBackground{32, 32, 32};  // popup and its normal items
inline constexpr MenuColor kMenuItemSelected{21, 74, 88};     // popup item under the pointer
inline constexpr MenuColor kMenuCheckMark{255, 255, 255};
inline constexpr int kMenuCheckMarkPenWidth = 2;
inline constexpr int kMenuTextLeftInset = 12;      // popup text starts this far in
inline constexpr int kMenuTextRightInset = 30;     // room for the check mark
inline constexpr int kMenuBarItemExtraWidth = 30;  // added to a bar item's measured width

struct MenuPoint {
    int x, y;
};

// The check mark's two strokes, points[0] to points[1] to points[2], in the
// item rectangle: around cx = (2 * right - 25) / 2 (right - 13 for any
// on-screen item), cy = (top + bottom) / 2.
std::array<MenuPoint, 3> checkMarkPoints(int left, int top, int right, int bottom);

struct MenuItemSize {
    int width, height;
};

// A popup item's size for its text's measured size: 60 wider than the
// text, and at least 24 high (8 more than the text).
MenuItemSize menuItemSize(int textWidth, int textHeight);

}  // namespace orvalis::viewer
