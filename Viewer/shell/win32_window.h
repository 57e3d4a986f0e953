// The viewer's main window: its class, its window procedure, and the way
// the intake thread reaches it.
#pragma once

#include "app/intake.h"
#include "app/settings.h"
#include "app/viewer_state.h"
#include "render/renderer.h"
#include "win32_gl_context.h"
#include "win32_icons.h"
#include "win32_system.h"

namespace orvalis::viewer::win32 {

inline constexpr char kWindowClassName[] = "OrvalisViewer";
inline constexpr char kWindowTitle[] = "Vantorel";
inline constexpr int kWindowWidth = 540;
inline constexpr int kWindowHeight = 560;
inline constexpr int kMinimumTrackSize = 400;
inline constexpr UINT_PTR kRedrawTimer = 100;  // every 8 ms
inline constexpr UINT_PTR kPacingTimer = 200;  // every 16 ms, raises redrawRequested
inline constexpr UINT kRedrawPeriodMs = 8;
inline constexpr UINT kPacingPeriodMs = 16;

// Everything the window procedure works on. It lives in WinMain for the
// whole message loop; the window finds it through GWLP_USERDATA.
struct MainWindow {
    HINSTANCE instance = nullptr;
    ViewerState* state = nullptr;
    Intake* intake = nullptr;
    Renderer renderer;
    WglContext gl;
    WindowIcons icons;
    bool inTopmostUpdate = false;       // our own SetWindowPos must not recurse
    SettingsStore* settings = nullptr;  // where the View menu saves its settings
    HMENU menuBar = nullptr;            // the View menu's bar, once built
};

// Registers "OrvalisViewer" (CS_DBLCLKS, arrow cursor, no brush) with the
// class icon of loadClassIcon. False when registration failed.
bool registerMainWindowClass(MainWindow& main);

// The 540 x 560 "Vantorel" window at the default position; WM_CREATE runs
// inside. Null when creation failed, including every GL context failure.
HWND createMainWindow(MainWindow& main);

// The intake thread's way to the window: looked up by class name on every
// call, so the thread keeps no window handle.
class FindWindowWaker final : public WindowWaker {
public:
    // InvalidateRect(window, NULL, FALSE). False when there is no window.
    bool requestRedraw() override;
    // PostMessageA(window, WM_CLOSE). False when there is no window.
    bool requestClose() override;
};

}  // namespace orvalis::viewer::win32
