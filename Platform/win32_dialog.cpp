// Win32 messages: a message box with no owner, and the debugger output.
#include <orvalis/platform/dialog.h>

#include "win32_internal.h"

namespace orvalis::platform {

bool showMessageBox(std::string_view text, std::string_view title, MessageIcon icon) {
    const UINT style = MB_OK | (icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION);
    ::MessageBoxW(nullptr, detail::widen(text).c_str(), detail::widen(title).c_str(), style);
    return true;
}

void debugOutput(std::string_view text) { ::OutputDebugStringA(std::string(text).c_str()); }

void noticeOutput(std::string_view text) { debugOutput(text); }

}  // namespace orvalis::platform
