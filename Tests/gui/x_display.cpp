// Xlib and XTest behind x_display.h.
#include "x_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "Tests/support/polling.h"

namespace gui_test {

namespace {

// A window may vanish between the query and the use (a viewer closing):
// Xlib's default handler would end the test program, so errors are only
// counted.
int ignoreErrors(::Display*, XErrorEvent*) { return 0; }

// The window's list of atoms in `property`; empty when it has none.
std::optional<std::vector<Atom>> atomList(::Display* d, ::Window w, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::vector<Atom>> atoms;
    if (XGetWindowProperty(d, w, property, 0, 1024, False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        type == XA_ATOM && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);  // Xlib hands 32-bit items as longs
        atoms.emplace(values, values + count);
    }
    if (data != nullptr)
        XFree(data);
    return atoms;
}

}  // namespace

std::unique_ptr<XDisplay> XDisplay::open(bool keepWmState) {
    // A busy server can refuse a connection for a moment (a viewer that just
    // ended may not have let go of its own yet).
    ::Display* d = nullptr;
    test_support::eventually([&] { return (d = XOpenDisplay(nullptr)) != nullptr || !std::getenv("DISPLAY"); },
                             std::chrono::seconds(10), std::chrono::milliseconds(100));
    int event = 0, error = 0, major = 0, minor = 0;
    if (d != nullptr && !XTestQueryExtension(d, &event, &error, &major, &minor)) {
        XCloseDisplay(d);
        d = nullptr;
    }
    return d ? std::unique_ptr<XDisplay>(new XDisplay(d, keepWmState)) : nullptr;
}

XDisplay::XDisplay(::Display* d, bool keepWmState) : display_(d), root_(DefaultRootWindow(d)) {
    XSetErrorHandler(ignoreErrors);
    if (!keepWmState)
        return;
    const Atom supported[2] = {XInternAtom(d, "_NET_WM_STATE", False), XInternAtom(d, "_NET_WM_STATE_ABOVE", False)};
    const Atom supportingCheck = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    XSetWindowAttributes none{};
    check_ = XCreateWindow(d, root_, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, &none);
    for (::Window w : {check_, root_}) {
        XChangeProperty(d, w, supportingCheck, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&check_), 1);
    }
    XChangeProperty(d, root_, XInternAtom(d, "_NET_SUPPORTED", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(supported), 2);
    // Requests sent to the root with SubstructureNotifyMask reach every
    // client that selected it there; no redirection is taken.
    XSelectInput(d, root_, SubstructureNotifyMask);
    XSync(d, False);
}

XDisplay::~XDisplay() {
    if (check_ != 0) {
        XDeleteProperty(display_, root_, XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False));
        XDeleteProperty(display_, root_, XInternAtom(display_, "_NET_SUPPORTED", False));
        XDestroyWindow(display_, check_);
    }
    XCloseDisplay(display_);
}

// With no window manager (Xvfb) the top-level windows are the root's
// children, the topmost last.
std::uint64_t XDisplay::findWindow(std::string_view name) {
    ::Window rootReturn = 0, parent = 0, found = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, root_, &rootReturn, &parent, &children, &count) == 0)
        return 0;
    for (unsigned i = count; i-- > 0 && found == 0;) {
        XWindowAttributes a{};
        XClassHint hint{};
        char* title = nullptr;
        if (XGetWindowAttributes(display_, children[i], &a) != 0 && a.map_state == IsViewable &&
            ((XGetClassHint(display_, children[i], &hint) != 0 && hint.res_class && name == hint.res_class) ||
             (XFetchName(display_, children[i], &title) != 0 && title != nullptr && name == title)))
            found = children[i];
        XFree(hint.res_name);
        XFree(hint.res_class);
        XFree(title);
    }
    if (children)
        XFree(children);
    return found;
}

std::optional<Rect> XDisplay::areaOf(std::uint64_t window) {
    XWindowAttributes a{};
    if (window == 0 || XGetWindowAttributes(display_, window, &a) == 0 || a.map_state != IsViewable)
        return std::nullopt;
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(display_, window, root_, 0, 0, &x, &y, &child))
        return std::nullopt;
    return Rect{x, y, a.width, a.height};
}

std::optional<Image> XDisplay::grab(const Rect& area) {
    ::Display* d = display_;
    XWindowAttributes rootAttributes{};
    XGetWindowAttributes(d, root_, &rootAttributes);
    // Only the part on the screen can be read.
    const int x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
    const int x1 = std::min(area.x + area.w, rootAttributes.width);
    const int y1 = std::min(area.y + area.h, rootAttributes.height);
    if (x1 <= x0 || y1 <= y0)
        return std::nullopt;
    XImage* xi =
        XGetImage(d, root_, x0, y0, static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (xi == nullptr)
        return std::nullopt;
    Image image;
    image.width = area.w;
    image.height = area.h;
    image.pixels.assign(static_cast<std::size_t>(area.w) * area.h, Rgb{});
    // 8 bits a channel: the tests' screens are 24 bits deep.
    auto channel = [](unsigned long pixel, unsigned long mask) {
        return mask == 0 ? 0 : static_cast<int>((pixel & mask) >> __builtin_ctzl(mask)) & 0xff;
    };
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const unsigned long p = XGetPixel(xi, x - x0, y - y0);
            image.pixels[static_cast<std::size_t>(y - area.y) * area.w + (x - area.x)] =
                Rgb{channel(p, xi->red_mask), channel(p, xi->green_mask), channel(p, xi->blue_mask)};
        }
    }
    XDestroyImage(xi);
    return image;
}

void XDisplay::moveTo(int rootX, int rootY) {
    XTestFakeMotionEvent(display_, -1, rootX, rootY, CurrentTime);
    XFlush(display_);
}

void XDisplay::button(unsigned number, bool down) {
    XTestFakeButtonEvent(display_, number, down ? True : False, CurrentTime);
    XSync(display_, False);
}

void XDisplay::tap(const char* keysymName) {
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysymName));
    if (code == 0)
        return;
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XFlush(display_);
}

// Each _NET_WM_STATE request since the last call applied to its window's
// property, as a window manager would: action 0 removes, 1 adds, 2 toggles.
void XDisplay::applyWmStateRequests() {
    const Atom netWmState = XInternAtom(display_, "_NET_WM_STATE", False);
    while (check_ != 0 && XPending(display_) > 0) {
        XEvent event{};
        XNextEvent(display_, &event);
        const XClientMessageEvent& request = event.xclient;
        if (event.type != ClientMessage || request.message_type != netWmState || request.format != 32)
            continue;
        std::vector<Atom> states = atomList(display_, request.window, netWmState).value_or(std::vector<Atom>{});
        for (int i = 1; i <= 2; ++i) {
            const auto state = static_cast<Atom>(request.data.l[i]);
            const auto at = std::find(states.begin(), states.end(), state);
            const long action = request.data.l[0];
            if (state != 0 && at != states.end() && (action == 0 || action == 2))
                states.erase(at);
            else if (state != 0 && at == states.end() && (action == 1 || action == 2))
                states.push_back(state);
        }
        XChangeProperty(display_, request.window, netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
    }
    XSync(display_, False);
}

std::optional<bool> XDisplay::hasWmState(std::uint64_t window, const char* stateName) {
    applyWmStateRequests();
    const auto states = atomList(display_, window, XInternAtom(display_, "_NET_WM_STATE", False));
    if (!states)
        return std::nullopt;
    return std::find(states->begin(), states->end(), XInternAtom(display_, stateName, False)) != states->end();
}

}  // namespace gui_test
