// The X server as a user sees it: top-level windows found by class or
// title, what the server holds in their pixels, and the pointer driven
// through the X test extension. No X header leaks out of here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

struct _XDisplay;  // Xlib's Display

namespace gui_test {

// A rectangle in root-window coordinates.
struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// An 8-bit colour.
struct Rgb {
    int r = 0, g = 0, b = 0;
};

// Pixels read back from the server, row by row from the top.
struct Image {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    // The pixel at (x, y); black outside the image.
    Rgb at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return {};
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
};

// A connection to $DISPLAY with the test extension.
class XDisplay {
public:
    // Null when there is no display or it lacks the test extension. With
    // `keepWmState` it stands in for the window manager Xvfb lacks in one
    // respect: it announces _NET_WM_STATE(_ABOVE) until it closes, and
    // hasWmState first applies the state requests clients sent since.
    static std::unique_ptr<XDisplay> open(bool keepWmState = false);
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // The topmost viewable window whose WM_CLASS class or whose title is
    // `name`; 0 when none.
    std::uint64_t findWindow(std::string_view name);
    // The window's area in root coordinates; empty when it is gone or unmapped.
    std::optional<Rect> areaOf(std::uint64_t window);
    // What the server shows in this part of the screen; empty on failure.
    std::optional<Image> grab(const Rect& area);

    // Pointer and key events (a key by its keysym, "Escape"), each flushed;
    // a button returns once the server has handled it.
    void moveTo(int rootX, int rootY);
    void button(unsigned number, bool down);
    void tap(const char* keysymName);

    // Whether the window's _NET_WM_STATE holds this state atom
    // ("_NET_WM_STATE_ABOVE"); empty when the window has no such property.
    std::optional<bool> hasWmState(std::uint64_t window, const char* stateName);

private:
    XDisplay(_XDisplay* display, bool keepWmState);
    void applyWmStateRequests();
    _XDisplay* display_;
    unsigned long root_;
    unsigned long check_ = 0;  // the announced window manager's window; 0 when none
};

}  // namespace gui_test
