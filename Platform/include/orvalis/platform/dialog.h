// User-visible messages and debugger output.
#pragma once

#include <string_view>

namespace orvalis::platform {

enum class MessageIcon { Information, Error };

// Shows a message box with no owner window and waits for the user
// (Windows: MessageBoxW). False when the platform has none (Linux): the
// caller then tells the user another way.
bool showMessageBox(std::string_view text, std::string_view title, MessageIcon icon);

// One line of debugger output (Windows: OutputDebugStringA; Linux: stderr
// when ORVALIS_DEBUG is set).
void debugOutput(std::string_view text);

// A problem the user should hear of where no message box fits (a folder
// that cannot be used): Linux writes it to stderr always, Windows to the
// debugger output.
void noticeOutput(std::string_view text);

}  // namespace orvalis::platform
