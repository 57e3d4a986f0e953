// On Linux the test reads windows from X itself; paths are host paths.
#include "gui_publisher_window.h"

namespace gui_publisher {

std::string viewerClientRect() { return "error unsupported"; }

std::string dismissWindow(const std::string&) { return "error unsupported"; }

std::string viewMenuItemRect() { return "error unsupported"; }

std::string viewerTopmost() { return "error unsupported"; }

std::string readSettings() { return "error unsupported"; }

std::string clearSettings() { return "error unsupported"; }

std::string hostPath(const std::string& path) { return path; }

}  // namespace gui_publisher
