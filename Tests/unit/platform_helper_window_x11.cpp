// Helper program for the window tests on Linux: shows one top-level X11
// window whose WM_CLASS class is $ORVALIS_HELPER_CLASS until the file
// $ORVALIS_HELPER_FILE appears. Exit 5: no display.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

int main() {
    const char* className = std::getenv("ORVALIS_HELPER_CLASS");
    const char* stopFile = std::getenv("ORVALIS_HELPER_FILE");
    if (className == nullptr || stopFile == nullptr)
        return 4;
    Display* display = XOpenDisplay(nullptr);
    // A server busy with other connections may turn one away; try again.
    for (int i = 0; display == nullptr && std::getenv("DISPLAY") != nullptr && i < 50; ++i) {
        ::usleep(20000);
        display = XOpenDisplay(nullptr);
    }
    if (display == nullptr)
        return 5;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
    std::string name = "helper", cls = className;
    XClassHint hint{};
    hint.res_name = name.data();
    hint.res_class = cls.data();
    XSetClassHint(display, window, &hint);
    XMapWindow(display, window);
    XFlush(display);
    struct stat st {};
    for (int i = 0; i < 6000 && ::stat(stopFile, &st) != 0; ++i) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
        ::usleep(10000);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
