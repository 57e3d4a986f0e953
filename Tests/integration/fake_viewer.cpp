// A stand-in for the viewer, for the launcher's tests. It takes no
// arguments, as the real viewer; what it does is read from the file
// "fake_viewer_mode.txt" in its own folder:
//   exit2     exit at once with code 2 (no OpenGL 3.0)
//   exit0     exit at once with code 0
//   stay      stay up without a window
//   window    stay up with a top-level window of class "OrvalisViewer",
//             titled "Vantorel"
// Staying copies end when a file "stop" appears in their folder, or after
// about 20 seconds. Every start appends one line to "starts.txt" beside it,
// a staying copy keeps a file "alive-<process id>" while it runs, and a
// window that was asked to come to the front appends "raised" to
// "raised.txt". A window that cannot be made (no display) writes
// "no_window.txt" and ends with code 3.
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

namespace fs = std::filesystem;

namespace {

constexpr auto kLifetime = std::chrono::seconds(20);
constexpr auto kPoll = std::chrono::milliseconds(20);

void appendLine(const fs::path& file, const std::string& line) { std::ofstream(file, std::ios::app) << line << "\n"; }

bool stopRequested(const fs::path& folder, std::chrono::steady_clock::time_point start) {
    return fs::exists(folder / "stop") || std::chrono::steady_clock::now() - start > kLifetime;
}

#if defined(_WIN32)

fs::path gFolder;
std::chrono::steady_clock::time_point gStart;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (stopRequested(gFolder, gStart)) {
            DestroyWindow(window);
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            appendLine(gFolder / "raised.txt", "raised");
        }
        break;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int runWindow(const fs::path& folder) {
    gFolder = folder;
    gStart = std::chrono::steady_clock::now();
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvalisViewer";
    if (!RegisterClassW(&wc)) {
        return 3;
    }
    HWND window = CreateWindowW(L"OrvalisViewer", L"Vantorel", WS_OVERLAPPEDWINDOW, 10, 10, 200, 150, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (!window) {
        return 3;
    }
    // Shown without activation, so that "raised" counts only the launcher's.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetTimer(window, 1, 20, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

#else

int runWindow(const fs::path& folder) {
    const auto start = std::chrono::steady_clock::now();
    Display* display = XOpenDisplay(nullptr);
    // A server busy with the tests' own lookups may turn one connection away.
    for (int i = 0; display == nullptr && std::getenv("DISPLAY") != nullptr && i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        display = XOpenDisplay(nullptr);
    }
    if (!display) {
        return 3;
    }
    const Window root = DefaultRootWindow(display);
    const Window window = XCreateSimpleWindow(display, root, 10, 10, 200, 150, 0, 0, 0);
    XStoreName(display, window, "Vantorel");
    char name[] = "vantorel", className[] = "OrvalisViewer";
    XClassHint hint{name, className};
    XSetClassHint(display, window, &hint);
    XMapWindow(display, window);
    // The launcher asks for activation with a client message to the root
    // window; listening to the root's substructure lets us notice it, with
    // or without a window manager.
    XSelectInput(display, root, SubstructureNotifyMask);
    const Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XSync(display, False);
    while (!stopRequested(folder, start)) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && event.xclient.message_type == activeAtom &&
                event.xclient.window == window) {
                appendLine(folder / "raised.txt", "raised");
            }
        }
        std::this_thread::sleep_for(kPoll);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}

#endif

}  // namespace

int main() {
    static const int anchor = 0;
    const fs::path folder = fs::u8path(orvalis::platform::modulePath(&anchor)).parent_path();
    appendLine(folder / "starts.txt", "start");
    std::string mode;
    std::ifstream(folder / "fake_viewer_mode.txt") >> mode;
    if (mode == "exit2" || mode == "exit0")
        return mode == "exit2" ? 2 : 0;
    const fs::path alive = folder / ("alive-" + std::to_string(orvalis::platform::currentProcessId()));
    std::ofstream(alive) << "alive";
    int code = 0;
    if (mode == "window") {
        code = runWindow(folder);
        if (code == 3)
            appendLine(folder / "no_window.txt", "no window");
    } else {
        for (const auto start = std::chrono::steady_clock::now(); !stopRequested(folder, start);)
            std::this_thread::sleep_for(kPoll);
    }
    std::error_code ignored;
    fs::remove(alive, ignored);
    return code;
}
