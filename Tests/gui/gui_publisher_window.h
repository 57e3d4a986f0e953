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

}  // namespace gui_publisher
