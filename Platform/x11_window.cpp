// X11 window lookup. libX11 is loaded at run time, so the plug-in loads on
// machines without it; no library or no display simply means no window.
// Each call opens its own display connection and closes it again.
#include <orvalis/platform/window.h>

#include "internal.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include <cstring>
#include <mutex>
#include <string>

namespace orvalis::platform {
namespace {

constexpr std::string_view kBackend = "X11";

// The loaded library and the entry points we use.
struct X11Library {
    void* handle = nullptr;
    decltype(&::XOpenDisplay) OpenDisplay = nullptr;
    decltype(&::XCloseDisplay) CloseDisplay = nullptr;
    decltype(&::XDefaultRootWindow) DefaultRoot = nullptr;
    decltype(&::XQueryTree) QueryTree = nullptr;
    decltype(&::XGetClassHint) GetClassHint = nullptr;
    decltype(&::XFree) Free = nullptr;
    decltype(&::XInternAtom) InternAtom = nullptr;
    decltype(&::XSendEvent) SendEvent = nullptr;
    decltype(&::XMapRaised) MapRaised = nullptr;
    decltype(&::XSync) Sync = nullptr;
    decltype(&::XSetErrorHandler) SetErrorHandler = nullptr;

    // Serialises our use of Xlib: the error handler is process-wide.
    std::mutex mutex;

    X11Library() {
        handle = ::dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (handle == nullptr) {
            detail::reportError(kBackend, "Failed to load libX11.so.6; no window lookup");
            return;
        }
        bool complete = true;
        auto load = [&](auto& fn, const char* symbol) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(handle, symbol));
            complete = complete && fn != nullptr;
        };
        load(OpenDisplay, "XOpenDisplay");
        load(CloseDisplay, "XCloseDisplay");
        load(DefaultRoot, "XDefaultRootWindow");
        load(QueryTree, "XQueryTree");
        load(GetClassHint, "XGetClassHint");
        load(Free, "XFree");
        load(InternAtom, "XInternAtom");
        load(SendEvent, "XSendEvent");
        load(MapRaised, "XMapRaised");
        load(Sync, "XSync");
        load(SetErrorHandler, "XSetErrorHandler");
        if (!complete) {
            detail::reportError(kBackend, "libX11.so.6 lacks an entry point; no window lookup");
            ::dlclose(handle);
            handle = nullptr;
        }
    }
    ~X11Library() {
        if (handle != nullptr)
            ::dlclose(handle);
    }
    X11Library(const X11Library&) = delete;
    X11Library& operator=(const X11Library&) = delete;

    bool loaded() const noexcept { return handle != nullptr; }
};

X11Library& x11() {
    static X11Library library;
    return library;
}

// A window may vanish between listing and asking; such errors are expected
// and must not reach Xlib's default handler, which ends the process.
int ignoreError(Display*, XErrorEvent*) { return 0; }

// One display connection with our error handler in place, for one call.
class Session {
public:
    explicit Session(X11Library& lib) : lib_(lib), lock_(lib.mutex) {
        display_ = lib_.OpenDisplay(nullptr);
        if (display_ != nullptr)
            previous_ = lib_.SetErrorHandler(ignoreError);
    }
    ~Session() {
        if (display_ != nullptr) {
            lib_.Sync(display_, False);
            lib_.SetErrorHandler(previous_);
            lib_.CloseDisplay(display_);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    Display* display() const noexcept { return display_; }

private:
    X11Library& lib_;
    std::lock_guard<std::mutex> lock_;
    Display* display_ = nullptr;
    XErrorHandler previous_ = nullptr;
};

bool hasClass(X11Library& lib, Display* display, Window window, std::string_view className) {
    XClassHint hint{};
    if (lib.GetClassHint(display, window, &hint) == 0)
        return false;
    const bool match = hint.res_class != nullptr && className == hint.res_class;
    if (hint.res_name != nullptr)
        lib.Free(hint.res_name);
    if (hint.res_class != nullptr)
        lib.Free(hint.res_class);
    return match;
}

// Window managers put each client inside frames of their own, so the
// client may lie a level or two below the root's children.
Window findBelow(X11Library& lib, Display* display, Window parent, std::string_view className, int depth) {
    Window root = 0, parentOut = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (lib.QueryTree(display, parent, &root, &parentOut, &children, &count) == 0)
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        if (hasClass(lib, display, children[i], className))
            found = children[i];
    }
    for (unsigned int i = 0; i < count && found == 0 && depth > 0; ++i)
        found = findBelow(lib, display, children[i], className, depth - 1);
    if (children != nullptr)
        lib.Free(children);
    return found;
}

}  // namespace

std::optional<WindowId> findWindowByClass(std::string_view className) {
    X11Library& lib = x11();
    if (!lib.loaded() || className.empty())
        return std::nullopt;
    Session session(lib);
    Display* display = session.display();
    if (display == nullptr)
        return std::nullopt;
    const Window found = findBelow(lib, display, lib.DefaultRoot(display), className, 2);
    if (found == 0)
        return std::nullopt;
    return WindowId{static_cast<std::uintptr_t>(found)};
}

bool hasDisplay() {
    X11Library& lib = x11();
    if (!lib.loaded())
        return false;
    Session session(lib);
    return session.display() != nullptr;
}

void raiseWindow(WindowId window) {
    X11Library& lib = x11();
    if (!lib.loaded() || window.value == 0)
        return;
    Session session(lib);
    Display* display = session.display();
    if (display == nullptr)
        return;
    const Window target = static_cast<Window>(window.value);
    const Window root = lib.DefaultRoot(display);

    // Ask the window manager to activate it (restoring it if minimised);
    // source 2 says a pager asks, which managers honour without focus-stealing checks.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = lib.InternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    lib.SendEvent(display, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
    // Without a window manager, map and raise it ourselves.
    lib.MapRaised(display, target);
}

}  // namespace orvalis::platform
