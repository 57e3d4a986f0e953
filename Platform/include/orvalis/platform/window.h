// Top-level windows of other processes, found by class.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvalis::platform {

// An opaque window id (HWND on Windows, X11 Window on Linux).
struct WindowId {
    std::uintptr_t value = 0;
};

// The first top-level window whose class is `className` (Windows:
// FindWindowW; Linux: WM_CLASS class, X11 loaded at run time). Empty when
// none, or when there is no display.
std::optional<WindowId> findWindowByClass(std::string_view className);

// True when windows can be opened: Windows always; Linux when the X display
// named by $DISPLAY can be reached.
bool hasDisplay();

// Restores the window if minimised, makes it the foreground window and puts
// it on top without moving or sizing it (Linux: _NET_ACTIVE_WINDOW).
void raiseWindow(WindowId window);

}  // namespace orvalis::platform
