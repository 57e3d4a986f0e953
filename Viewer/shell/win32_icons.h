// The viewer's window icons: the "IDI_APP_ICON" resource, else the icon
// file that lies in the bundle's Resources folder.
#pragma once

#include <string>

#include "win32_system.h"

namespace orvalis::viewer::win32 {

// The icons the window and its class show. Icons loaded from the file are
// ours to destroy; the resource icon is shared by the system.
struct WindowIcons {
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    bool bigOwned = false;
    bool smallOwned = false;
};

// The icon file for this program: its path cut three times at the last
// backslash, plus "\Resources\mirabloc_logo_c.ico".
std::string iconFilePathForModule();

// The class icon at registration: the resource, else the file at 32 x 32
// (either becomes icons.bigIcon), else the system application icon.
HICON loadClassIcon(HINSTANCE instance, WindowIcons& icons);

// applyWindowIcons: loads the icons and sets them on the window and its
// class, writing what it found to the debug output. Icons it replaces
// everywhere are destroyed when they were ours.
void applyWindowIcons(HWND window, HINSTANCE instance, WindowIcons& icons);

// Destroys the icons that are ours and clears both handles.
void destroyWindowIcons(WindowIcons& icons);

}  // namespace orvalis::viewer::win32
