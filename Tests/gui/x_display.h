// The X server as a user sees it: top-level windows found by class or
// title, what the server holds in their pixels, and the pointer driven
// through the X test extension. No X header leaks out of here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // Null when there is no display or it lacks the test extension.
    static std::unique_ptr<XDisplay> open();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // The first viewable window whose WM_CLASS class is `className`; 0 when none.
    std::uint64_t findByClass(std::string_view className);
    // The first viewable window whose title (WM_NAME or _NET_WM_NAME) is `title`; 0 when none.
    std::uint64_t findByTitle(std::string_view title);
    // The window's area in root coordinates; empty when it is gone or unmapped.
    std::optional<Rect> areaOf(std::uint64_t window);
    // What the server shows in this part of the screen; empty on failure.
    std::optional<Image> grab(const Rect& area);

    // Pointer moves, presses and releases as the X test extension makes them;
    // each call is flushed to the server.
    void moveTo(int rootX, int rootY);
    void press(unsigned button);
    void release(unsigned button);
    // A key pressed and released, named by its keysym ("Escape").
    void tap(const char* keysymName);
    // Waits until the server has handled everything sent so far.
    void sync();

    // Whether the window's _NET_WM_STATE holds this state atom
    // ("_NET_WM_STATE_ABOVE"); empty when the window has no such property.
    std::optional<bool> hasWmState(std::uint64_t window, const char* stateName);

    struct State;

private:
    explicit XDisplay(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Stands in for a window manager in one respect only: it announces
// _NET_WM_STATE and _NET_WM_STATE_ABOVE on the root window, and applies the
// _NET_WM_STATE requests that clients send to the root to the window's
// property, as a window manager would. Without it a server with no window
// manager keeps no above-others state at all. Gone (announcement included)
// when destroyed.
class WmStateKeeper {
public:
    // Null when there is no display.
    static std::unique_ptr<WmStateKeeper> start();
    ~WmStateKeeper();
    WmStateKeeper(const WmStateKeeper&) = delete;
    WmStateKeeper& operator=(const WmStateKeeper&) = delete;

    struct State;

private:
    explicit WmStateKeeper(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace gui_test
