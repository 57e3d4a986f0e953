// The View menu on Windows: an owner-drawn menu bar and popup (the same
// popup serves as the context menu), their commands and their item records.
#pragma once

#include <string>

#include "app/settings.h"
#include "app/viewer_state.h"
#include "win32_system.h"

namespace orvalis::viewer::win32 {

// What each owner-drawn item carries as its item data, from the menu's
// building to the window's destruction.
struct MenuItemRecord {
    std::string text;
    bool checked = false;
    bool enabled = true;  // light text when true, grey when false
};

// The menu bar with the "View" popup, its items checked as the state says,
// attached to the window. Null when it could not be made (the window then
// has no menu).
HMENU buildViewMenu(HWND window, const ViewerState& state);

// Frees the item records of the four items (WM_DESTROY).
void freeMenuItemRecords(HMENU menuBar);

// WM_COMMAND: the command applied to the state and the store, then the
// window's z-order, the item's check mark and the frame follow it.
void handleMenuCommand(HWND window, ViewerState& state, SettingsStore& store, int id);

// WM_CONTEXTMENU: the View popup at the pointer (at the cursor when opened
// from the keyboard); the choice comes back as WM_COMMAND.
void showContextMenu(HWND window, HMENU menuBar, LPARAM lParam);

// WM_INITMENUPOPUP: the system's popup-menu window made dark.
void onInitMenuPopup();

// WM_MEASUREITEM for a menu item: its text's size on the window's device
// context, 60 wider and at least 24 high.
void measureMenuItem(HWND window, MEASUREITEMSTRUCT* measure);

// WM_DRAWITEM for a menu item: background, bold text and check mark.
void drawMenuItem(const DRAWITEMSTRUCT* draw);

}  // namespace orvalis::viewer::win32
