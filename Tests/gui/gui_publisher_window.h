// What the publisher helper does with windows and paths of its own system:
// Win32 calls under Wine, nothing on Linux (the test reads X directly).
#pragma once

#include <string>

namespace gui_publisher {

// "ok x y w h": the client area of the window of class "OrvalisViewer" in
// screen pixels (the X root's under Wine); "none" when there is no such
// window; "error unsupported" on Linux.
std::string viewerClientRect();

// Closes the top-level window with this title (a message box: through its
// default button) and answers "ok " + its text with line breaks as "|";
// "none" when there is no such window.
std::string dismissWindow(const std::string& title);

// The path as the host system names it (under Wine the Unix path of a
// Windows path); the path itself when there is no other name.
std::string hostPath(const std::string& path);

// The viewer window's View item on its menu bar in screen pixels ("ok x y w h");
// "none" without a window or menu bar.
std::string viewMenuItemRect();

// "ok 1" when the viewer window is topmost (WS_EX_TOPMOST), "ok 0" when not.
std::string viewerTopmost();

// The viewer's stored settings (HKCU "Software\Orvalis" of the test's Wine
// prefix): "ok" then " Name=value" for each REG_DWORD there, " Name=?" for a
// value of another type or size; "ok none" without the key.
std::string readSettings();
// Deletes the key with its values: the state of a first run.
std::string clearSettings();

}  // namespace gui_publisher
