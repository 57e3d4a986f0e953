// The Linux shell's main window: a GLFW window with its OpenGL context, its
// icons, its input and its event loop. Only GLFW calls live here; the rules
// they feed are shared code.
#pragma once

#include <string>

#include "app/menu_layout.h"
#include "app/settings.h"
#include "app/shell_events.h"
#include "app/viewer_state.h"
#include "render/menu_draw.h"
#include "render/renderer.h"

struct GLFWwindow;

namespace orvalis::viewer {

// Window class and title, as the plug-in looks the viewer up.
inline constexpr char kWindowClass[] = "OrvalisViewer";
inline constexpr char kWindowInstance[] = "vantorel";
inline constexpr char kWindowTitle[] = "Vantorel";

// Outer size and minimum outer size in pixels, as on Windows.
inline constexpr int kWindowWidth = 540;
inline constexpr int kWindowHeight = 560;
inline constexpr int kMinWindowSize = 400;

// createGlContext for the Linux shell: creates the hidden main window with a
// current context, trying 3.2 compatibility, then 3.0, then a plain context,
// each with 8, 4 and 2 samples (the plain one also without). Null when no
// window with a context could be made.
GLFWwindow* createMainWindow(bool stayOnTop);

// Asks the window manager for a dark title bar (_GTK_THEME_VARIANT "dark");
// before the window is shown, as window managers read it when they frame it.
void requestDarkTitleBar(GLFWwindow* window);

// The menu text's character height: the stock GUI font's 11 pixels at
// 96 dpi, grown with the window's content scale.
int menuTextPixelHeight(GLFWwindow* window);

// Sets the outer size and minimum, counting the frame the window manager
// adds (none without one).
void applyOuterSize(GLFWwindow* window);

// applyWindowIcons: the icon file beside the bundle, 32 and 16 pixels;
// leaves the window's icons as they are when it is unusable.
void applyWindowIcons(GLFWwindow* window, const std::string& executablePath);

// The main-thread side of the running window: what the callbacks change.
struct ShellContext {
    ViewerState& state;
    LeftButton leftButton;
    bool invalidated = true;  // the next turn of the loop redraws
    // Where the last pointer event put the pointer, in client pixels.
    double cursorX = 0.0;
    double cursorY = 0.0;
    bool cursorKnown = false;
    // The View menu across the top of the client area (null: no menu, the
    // scene has the whole area), how it is drawn, and where its commands
    // store the settings.
    MenuLayout* menu = nullptr;
    MenuDrawer* menuDrawer = nullptr;
    SettingsStore* settings = nullptr;
};

// Installs the input, size and refresh callbacks; the context must outlive
// the window.
void installCallbacks(GLFWwindow* window, ShellContext& context);

// Takes the window's destruction by another X client as a close, so that
// the viewer still shuts down in order (exit code 0). Once per process.
void closeWhenDestroyedElsewhere(GLFWwindow* window);

// Makes SIGTERM and SIGINT ask the window to close, so that a viewer ended
// from a terminal or a script still shuts down in order (exit code 0).
void closeOnTerminationSignals();

// The message loop with the two redraw periods, until the window is asked
// to close (by the user, the waker or a termination signal).
void runEventLoop(GLFWwindow* window, ShellContext& context, LoopWaker& waker, Renderer& renderer);

}  // namespace orvalis::viewer
