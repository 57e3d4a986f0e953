// The main window procedure: creation and shutdown in their order, and the
// translation of each window message into a call of the shared viewer code.
#include "win32_window.h"

#include <dwmapi.h>
#include <windowsx.h>

#include <GL/gl.h>

#include <exception>
#include <string>

#include "app/camera.h"
#include "orvalis/platform/dialog.h"
#include "win32_dark_mode.h"
#include "win32_menu.h"

namespace orvalis::viewer::win32 {
namespace {

// DWM attributes by number: older SDK headers lack the names.
constexpr DWORD kDwmUseImmersiveDarkMode = 20;
constexpr DWORD kDwmUseImmersiveDarkModeBefore20H1 = 19;
constexpr DWORD kDwmCaptionColor = 35;
constexpr DWORD kDwmTextColor = 36;
constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED

MainWindow* mainOf(HWND window) { return reinterpret_cast<MainWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA)); }

void invalidate(HWND window) { ::InvalidateRect(window, nullptr, FALSE); }

void placeTopmost(MainWindow& main, HWND window, UINT flags) {
    if (main.inTopmostUpdate)
        return;
    main.inTopmostUpdate = true;
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags);
    main.inTopmostUpdate = false;
}

void requestDarkTitleBar(HWND window) {
    const BOOL dark = TRUE;
    if (FAILED(::DwmSetWindowAttribute(window, kDwmUseImmersiveDarkMode, &dark, sizeof dark)))
        ::DwmSetWindowAttribute(window, kDwmUseImmersiveDarkModeBefore20H1, &dark, sizeof dark);
    const COLORREF caption = RGB(16, 16, 16);
    ::DwmSetWindowAttribute(window, kDwmCaptionColor, &caption, sizeof caption);
    const COLORREF captionText = RGB(241, 241, 241);
    ::DwmSetWindowAttribute(window, kDwmTextColor, &captionText, sizeof captionText);
}

// Messages the window leaves to the system; the dark chrome takes its
// share first.
LRESULT defaultProcessing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const DarkChromeResult dark = handleDarkChromeMessage(window, message, wParam, lParam);
    if (dark.handled)
        return dark.result;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT onCreate(MainWindow& main, HWND window) {
    applyWindowIcons(window, main.instance, main.icons);
    initDarkMode();
    setAppDarkMode(true);
    setWindowDarkMode(window, true);
    requestDarkTitleBar(window);
    if (!createGlContext(window, main.gl, main.renderer))
        return -1;
    main.state->stayOnTop = true;
    createMenuBarBrushes();
    main.menuBar = buildViewMenu(window, *main.state);
    try {
        main.intake->start();
    } catch (const std::exception& error) {
        // Without the thread the window still shows the empty cube.
        platform::debugOutput(std::string("Intake thread could not be started: ") + error.what() + "\n");
    }
    ::SetTimer(window, kRedrawTimer, kRedrawPeriodMs, nullptr);
    ::SetTimer(window, kPacingTimer, kPacingPeriodMs, nullptr);
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    return 0;
}

void onDestroy(MainWindow& main, HWND window) {
    // The intake thread goes first: nothing it might touch is released
    // while it runs.
    main.intake->stop();
    freeMenuItemRecords(main.menuBar);
    main.menuBar = nullptr;  // the menu goes with the window
    destroyWindowIcons(main.icons);
    ::KillTimer(window, kRedrawTimer);
    ::KillTimer(window, kPacingTimer);
    deleteMenuBarBrushes();
    resetDarkMode();
    releaseGlResources(window, main.gl, main.renderer);
    main.intake->detach();
    ::PostQuitMessage(0);
}

void onSize(MainWindow& main, HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    if (main.gl.glContext != nullptr && ::wglMakeCurrent(main.gl.deviceContext, main.gl.glContext))
        ::glViewport(0, 0, client.right - client.left, client.bottom - client.top);
    invalidate(window);
}

void onPaint(MainWindow& main, HWND window) {
    PAINTSTRUCT paint{};
    ::BeginPaint(window, &paint);
    // EndPaint even when the frame throws, or the paint would never end.
    struct PaintEnd {
        HWND window;
        PAINTSTRUCT* paint;
        ~PaintEnd() { ::EndPaint(window, paint); }
    } paintEnd{window, &paint};
    RECT client{};
    ::GetClientRect(window, &client);
    if (main.gl.glContext != nullptr) {
        const HDC deviceContext = main.gl.deviceContext;
        main.renderer.drawFrame(*main.state, client.right - client.left, client.bottom - client.top,
                                [deviceContext] { ::SwapBuffers(deviceContext); });
    }
}

LRESULT handleMessage(MainWindow& main, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Camera& camera = main.state->camera;
    switch (message) {
    case WM_CREATE: return onCreate(main, window);
    case WM_DESTROY: onDestroy(main, window); return 0;
    case WM_SIZE: onSize(main, window); return 0;
    case WM_PAINT: onPaint(main, window); return 0;
    case WM_ERASEBKGND: return 1;  // the frame covers the whole client area
    case WM_SHOWWINDOW:
        if (wParam) {
            if (main.state->stayOnTop)
                placeTopmost(main, window, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
            ::DrawMenuBar(window);
            applyWindowIcons(window, main.instance, main.icons);
        }
        return defaultProcessing(window, message, wParam, lParam);
    case WM_WINDOWPOSCHANGED: {
        const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (main.state->stayOnTop && position != nullptr && (position->flags & SWP_NOZORDER) == 0)
            placeTopmost(main, window, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        return defaultProcessing(window, message, wParam, lParam);
    }
    case kDpiChanged: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        if (suggested != nullptr)
            ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                           suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kRedrawTimer) {
            invalidate(window);
        } else if (wParam == kPacingTimer) {
            main.state->redrawRequested.store(true);
            invalidate(window);
        }
        return 0;
    case WM_KEYDOWN: return 0;  // no keyboard commands; system keys arrive as WM_SYSKEYDOWN
    case WM_LBUTTONDOWN:
        pressLeft(camera, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        ::SetCapture(window);
        return 0;
    case WM_MOUSEMOVE:
        if (movePointer(camera, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)))
            invalidate(window);
        return 0;
    case WM_LBUTTONUP:
        releaseLeft(camera);
        ::ReleaseCapture();
        return 0;
    case WM_LBUTTONDBLCLK:
        if (resetView(camera))
            invalidate(window);
        return 0;
    case WM_MOUSEWHEEL:
        if (wheelStep(camera, GET_WHEEL_DELTA_WPARAM(wParam)))
            invalidate(window);
        return 0;
    case WM_COMMAND:
        if (main.settings != nullptr)
            handleMenuCommand(window, *main.state, *main.settings, LOWORD(wParam));
        return 0;
    case WM_CONTEXTMENU: showContextMenu(window, main.menuBar, lParam); return 0;
    case WM_INITMENUPOPUP: onInitMenuPopup(); return 0;
    case WM_DRAWITEM: drawMenuItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_MEASUREITEM: measureMenuItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)); return TRUE;
    default: return defaultProcessing(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create != nullptr)
            ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    MainWindow* main = mainOf(window);
    // Before WM_NCCREATE only WM_GETMINMAXINFO arrives; it needs no state.
    if (message == WM_GETMINMAXINFO) {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        if (limits != nullptr)
            limits->ptMinTrackSize = POINT{kMinimumTrackSize, kMinimumTrackSize};
        return 0;
    }
    if (main == nullptr || main->state == nullptr || main->intake == nullptr)
        return defaultProcessing(window, message, wParam, lParam);
    // No exception may cross back into the system's code.
    try {
        return handleMessage(*main, window, message, wParam, lParam);
    } catch (const std::exception& error) {
        platform::debugOutput(std::string("Vantorel: ") + error.what() + "\n");
    } catch (...) {
        platform::debugOutput("Vantorel: unknown exception\n");
    }
    return message == WM_CREATE ? -1 : 0;
}

HWND findViewerWindow() { return ::FindWindowA(kWindowClassName, nullptr); }

}  // namespace

bool registerMainWindowClass(MainWindow& main) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = main.instance;
    windowClass.hIcon = loadClassIcon(main.instance, main.icons);
    windowClass.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = kWindowClassName;
    return ::RegisterClassA(&windowClass) != 0;
}

HWND createMainWindow(MainWindow& main) {
    return ::CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             kWindowWidth, kWindowHeight, nullptr, nullptr, main.instance, &main);
}

bool FindWindowWaker::requestRedraw() {
    const HWND window = findViewerWindow();
    if (window == nullptr)
        return false;
    ::InvalidateRect(window, nullptr, FALSE);
    return true;
}

bool FindWindowWaker::requestClose() {
    const HWND window = findViewerWindow();
    if (window == nullptr)
        return false;
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    return true;
}

}  // namespace orvalis::viewer::win32
