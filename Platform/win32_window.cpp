// Win32 window lookup by class, and bringing a window to the front.
#include <orvalis/platform/window.h>

#include "win32_internal.h"

namespace orvalis::platform {

std::optional<WindowId> findWindowByClass(std::string_view className) {
    if (className.empty())
        return std::nullopt;
    const HWND window = ::FindWindowW(detail::widen(className).c_str(), nullptr);
    if (window == nullptr)
        return std::nullopt;
    return WindowId{reinterpret_cast<std::uintptr_t>(window)};
}

bool hasDisplay() { return true; }

void raiseWindow(WindowId window) {
    const HWND hwnd = reinterpret_cast<HWND>(window.value);
    if (hwnd == nullptr)
        return;
    if (::IsIconic(hwnd))
        ::ShowWindow(hwnd, SW_RESTORE);
    ::SetForegroundWindow(hwnd);
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace orvalis::platform
