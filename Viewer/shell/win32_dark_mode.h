// The dark window chrome: the system's dark mode for the process, its
// windows and its popup menus (uxtheme entry points by ordinal, looked up at
// run time), and the dark menu bar painted through the system's menu-bar
// messages. Every entry point may be missing; then that part is left out.
#pragma once

#include "win32_system.h"

namespace orvalis::viewer::win32 {

// The Windows build number (RtlGetNtVersionNumbers, upper bits masked off),
// remembered once found; 0 while the function cannot be found.
DWORD windowsBuildNumber();

// Loads the dark-mode entry points once (later calls repeat the answer):
// true when the build is 17763 or newer and uxtheme has ordinals 132, 133
// and 135.
bool initDarkMode();

// Dark (or light) mode for the process, then the colour policy and the menu
// themes refreshed; nothing when dark mode is not supported.
void setAppDarkMode(bool on);

// Dark (or light) mode for one window: uxtheme, the desktop window
// manager's attribute (20, or 19 before build 18985) and the composition
// attribute; nothing for a null window or without support.
void setWindowDarkMode(HWND window, bool on);

// Forgets the initialisation and the support answer, and lets uxtheme go.
void resetDarkMode();

// The five menu-bar brushes: bar, item normal, hot, pressed and frame.
void createMenuBarBrushes();
// Deletes them; painting then skips what needs them.
void deleteMenuBarBrushes();

// What the window procedure returns for a message the handler took.
struct DarkChromeResult {
    bool handled = false;
    LRESULT result = 0;
};

// The non-client and menu-bar messages of the dark chrome (WM_NCPAINT,
// WM_NCACTIVATE and the undocumented 0x0091, 0x0092, 0x0094); anything else
// is left to the caller's DefWindowProcA.
DarkChromeResult handleDarkChromeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The bold menu font: DEFAULT_GUI_FONT at weight 700. The caller deletes
// it; null when the system gives none.
HFONT createBoldMenuFont();

}  // namespace orvalis::viewer::win32
