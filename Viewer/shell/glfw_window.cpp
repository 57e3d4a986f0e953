#include "shell/glfw_window.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/icon_file.h"
#include "app/intake.h"
#include "app/view_menu.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/dialog.h"
#include "orvalis/platform/paths.h"

// Last: Xlib's macros (None, Bool, ...) must not reach the headers above.
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

namespace orvalis::viewer {

namespace {

// One context request: version 0 is a plain context (no version asked).
struct ContextRequest {
    int major;
    int minor;
    bool compatibilityProfile;
    int samples;
    const char* createdLine;
};

// The order of the Windows path: 3.2 compatibility, 3.0, then whatever the
// driver gives, each with the largest sample count that works.
constexpr ContextRequest kRequests[] = {
    {3, 2, true, 8, "Created OpenGL 3.2 Compatibility Profile context with MSAA\n"},
    {3, 2, true, 4, "Created OpenGL 3.2 Compatibility Profile context with MSAA\n"},
    {3, 2, true, 2, "Created OpenGL 3.2 Compatibility Profile context with MSAA\n"},
    {3, 0, false, 8, "Created OpenGL 3.0 context with MSAA\n"},
    {3, 0, false, 4, "Created OpenGL 3.0 context with MSAA\n"},
    {3, 0, false, 2, "Created OpenGL 3.0 context with MSAA\n"},
    {0, 0, false, 8, nullptr},
    {0, 0, false, 4, nullptr},
    {0, 0, false, 2, nullptr},
    {0, 0, false, 0, nullptr},
};

GLFWwindow* tryCreate(const ContextRequest& request, bool stayOnTop) {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_FLOATING, stayOnTop ? GLFW_TRUE : GLFW_FALSE);
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
    glfwWindowHint(GLFW_SAMPLES, request.samples);
    if (request.major != 0) {
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, request.major);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, request.minor);
    }
    if (request.compatibilityProfile) {
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_COMPAT_PROFILE);
    }
    glfwWindowHintString(GLFW_X11_CLASS_NAME, kWindowClass);
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, kWindowInstance);
    return glfwCreateWindow(kWindowWidth, kWindowHeight, kWindowTitle, nullptr, nullptr);
}

// Set from a signal handler: lock-free, so safe there. The loop wakes at
// least every 8 ms and looks at it.
std::atomic<bool> terminationSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onTerminationSignal(int /*signal*/) { terminationSignalled.store(true); }

// Another client may destroy the window (xdotool windowclose does). Xlib's
// default answer to the errors that follow is exit(1); the viewer takes the
// first one about its window as a close instead and ignores the rest of the
// shutdown's errors.
std::atomic<unsigned long> watchedWindow{0};
std::atomic<bool> windowLost{false};
XErrorHandler previousErrorHandler = nullptr;

int onXError(Display* display, XErrorEvent* error) {
    const bool aboutOurWindow = error->resourceid == watchedWindow.load() &&
                                (error->error_code == BadWindow || error->error_code == BadDrawable);
    if (aboutOurWindow && !windowLost.exchange(true)) {
        platform::debugOutput("X11: The window was destroyed by another client\n");
    }
    if (windowLost.load()) {
        return 0;
    }
    return previousErrorHandler != nullptr ? previousErrorHandler(display, error) : 0;
}

ShellContext* contextOf(GLFWwindow* window) { return static_cast<ShellContext*>(glfwGetWindowUserPointer(window)); }

// The scene's rows start below the menu bar.
int sceneTop(const ShellContext& context) noexcept { return context.menu != nullptr ? context.menu->barHeight() : 0; }

// Where the last pointer event put the pointer; asking the server at a
// button event would give where it has moved on to since.
void lastPointer(GLFWwindow* window, ShellContext& context, double& x, double& y) {
    x = context.cursorX;
    y = context.cursorY;
    if (!context.cursorKnown) {
        glfwGetCursorPos(window, &x, &y);
    }
}

// What the menu did: a chosen command runs and the window follows it.
void applyMenuResponse(GLFWwindow* window, ShellContext& context, const MenuResponse& response) {
    if (response.redraw) {
        context.invalidated = true;
    }
    if (response.command == 0 || context.settings == nullptr) {
        return;
    }
    const CommandEffect effect = onMenuCommand(context.state, response.command, *context.settings);
    if (effect.stayOnTopChanged) {
        glfwSetWindowAttrib(window, GLFW_FLOATING, context.state.stayOnTop ? GLFW_TRUE : GLFW_FALSE);
    }
    // The check marks change with every command, so the menu bar is redrawn
    // even where the scene does not change.
    context.invalidated = true;
}

void onMouseButton(GLFWwindow* window, int button, int action, int /*mods*/) {
    ShellContext* context = contextOf(window);
    if (context == nullptr) {
        return;
    }
    double x = 0.0;
    double y = 0.0;
    lastPointer(window, *context, x, y);
    const std::int32_t px = clientPixel(x);
    const std::int32_t py = clientPixel(y);
    MenuLayout* menu = context->menu;

    if (button == GLFW_MOUSE_BUTTON_RIGHT) {
        if (menu != nullptr) {
            applyMenuResponse(window, *context,
                              action == GLFW_PRESS ? menu->rightPress(px, py) : menu->rightRelease(px, py));
        }
        return;
    }
    if (button != GLFW_MOUSE_BUTTON_LEFT) {
        return;
    }
    Camera& camera = context->state.camera;
    if (action == GLFW_PRESS) {
        if (menu != nullptr) {
            const MenuResponse response = menu->leftPress(px, py);
            applyMenuResponse(window, *context, response);
            if (response.consumed) {
                return;
            }
        }
        const auto ms = static_cast<std::int64_t>(std::floor(glfwGetTime() * 1000.0));
        if (context->leftButton.press(camera, ms, px, py - sceneTop(*context))) {
            context->invalidated = true;
        }
    } else if (action == GLFW_RELEASE) {
        if (menu != nullptr) {
            applyMenuResponse(window, *context, menu->leftRelease(px, py));
        }
        // A drag that began in the scene ends whatever the menu did.
        context->leftButton.release(camera);
    }
}

// X11 keeps sending motion to the window that took the press while the
// button is held, also outside it, so the drag goes on there.
void onCursorPos(GLFWwindow* window, double x, double y) {
    ShellContext* context = contextOf(window);
    if (context == nullptr) {
        return;
    }
    context->cursorX = x;
    context->cursorY = y;
    context->cursorKnown = true;
    const std::int32_t px = clientPixel(x);
    const std::int32_t py = clientPixel(y);
    if (context->menu != nullptr) {
        const MenuResponse response = context->menu->pointerMove(px, py);
        applyMenuResponse(window, *context, response);
        if (response.consumed) {
            return;
        }
    }
    if (movePointer(context->state.camera, px, py - sceneTop(*context))) {
        context->invalidated = true;
    }
}

void onCursorEnter(GLFWwindow* window, int entered) {
    ShellContext* context = contextOf(window);
    if (context != nullptr && context->menu != nullptr && entered == GLFW_FALSE) {
        applyMenuResponse(window, *context, context->menu->pointerLeave());
    }
}

// The menu's keys: Escape closes it, the arrows and Enter work the open
// popup, Shift+F10 and the menu key open it at the pointer.
void onKey(GLFWwindow* window, int key, int /*scancode*/, int action, int mods) {
    ShellContext* context = contextOf(window);
    if (context == nullptr || context->menu == nullptr || action == GLFW_RELEASE) {
        return;
    }
    MenuLayout& menu = *context->menu;
    MenuResponse response;
    switch (key) {
    case GLFW_KEY_ESCAPE: response = menu.escape(); break;
    case GLFW_KEY_UP: response = menu.moveHot(-1); break;
    case GLFW_KEY_DOWN: response = menu.moveHot(1); break;
    case GLFW_KEY_ENTER:
    case GLFW_KEY_KP_ENTER:
        if (action == GLFW_PRESS) {
            response = menu.chooseHot();
        }
        break;
    case GLFW_KEY_F10:
    case GLFW_KEY_MENU:
        if (action == GLFW_PRESS && (key == GLFW_KEY_MENU || (mods & GLFW_MOD_SHIFT) != 0)) {
            double x = 0.0;
            double y = 0.0;
            glfwGetCursorPos(window, &x, &y);
            response = menu.openAt(clientPixel(x), clientPixel(y));
        }
        break;
    default: break;
    }
    applyMenuResponse(window, *context, response);
}

// A menu closes when its window loses the focus.
void onFocus(GLFWwindow* window, int focused) {
    ShellContext* context = contextOf(window);
    if (context != nullptr && context->menu != nullptr && focused == GLFW_FALSE) {
        applyMenuResponse(window, *context, context->menu->close());
    }
}

void onWindowSize(GLFWwindow* window, int width, int height) {
    ShellContext* context = contextOf(window);
    if (context != nullptr && context->menu != nullptr) {
        context->menu->resize(width, height);
        context->invalidated = true;
    }
}

void onScroll(GLFWwindow* window, double /*xOffset*/, double yOffset) {
    ShellContext* context = contextOf(window);
    if (context != nullptr && scrollStep(context->state.camera, yOffset)) {
        context->invalidated = true;
    }
}

void onFramebufferSize(GLFWwindow* window, int /*width*/, int /*height*/) {
    if (ShellContext* context = contextOf(window)) {
        context->invalidated = true;
    }
}

void onRefresh(GLFWwindow* window) {
    if (ShellContext* context = contextOf(window)) {
        context->invalidated = true;
    }
}

void drawNow(GLFWwindow* window, ShellContext& context, Renderer& renderer) {
    if (windowLost.load()) {
        return;
    }
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (width <= 0 || height <= 0) {
        return;  // minimised: nothing to paint, as Windows sends no WM_PAINT
    }
    MenuLayout* menu = context.menu;
    if (menu == nullptr || context.menuDrawer == nullptr) {
        renderer.drawFrame(context.state, width, height, [window] { glfwSwapBuffers(window); });
        return;
    }
    int windowWidth = 0;
    int windowHeight = 0;
    glfwGetWindowSize(window, &windowWidth, &windowHeight);
    menu->resize(windowWidth, windowHeight);
    // The scene keeps the rows below the bar (the bottom of the framebuffer,
    // where GL counts from); the menu is drawn over the whole frame last.
    const int sceneHeight = std::max(1, height - menu->barHeight());
    renderer.drawFrame(context.state, width, sceneHeight, [&] {
        context.menuDrawer->draw(*menu, viewMenuItems(context.state), width, height);
        glfwSwapBuffers(window);
    });
}

}  // namespace

GLFWwindow* createMainWindow(bool stayOnTop) {
    for (const ContextRequest& request : kRequests) {
        GLFWwindow* window = tryCreate(request, stayOnTop);
        if (window == nullptr) {
            continue;
        }
        glfwMakeContextCurrent(window);
        if (glfwGetCurrentContext() != window) {
            glfwDestroyWindow(window);
            continue;
        }
        if (request.samples > 0) {
            char line[64];
            std::snprintf(line, sizeof line, "GLFW: Asked for %dx MSAA\n", request.samples);
            platform::debugOutput(line);
        }
        if (request.createdLine != nullptr) {
            platform::debugOutput(request.createdLine);
        }
        return window;
    }
    return nullptr;
}

void requestDarkTitleBar(GLFWwindow* window) {
    Display* display = glfwGetX11Display();
    const Window x11Window = glfwGetX11Window(window);
    if (display == nullptr || x11Window == 0) {
        return;
    }
    const Atom variant = XInternAtom(display, "_GTK_THEME_VARIANT", False);
    const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
    static constexpr unsigned char kDark[] = {'d', 'a', 'r', 'k'};
    XChangeProperty(display, x11Window, variant, utf8String, 8, PropModeReplace, kDark, static_cast<int>(sizeof kDark));
    XFlush(display);
}

int menuTextPixelHeight(GLFWwindow* window) {
    float xScale = 1.0f;
    float yScale = 1.0f;
    glfwGetWindowContentScale(window, &xScale, &yScale);
    if (!(yScale >= 1.0f && yScale <= 8.0f)) {
        yScale = 1.0f;
    }
    return static_cast<int>(std::lround(11.0f * yScale));
}

void applyOuterSize(GLFWwindow* window) {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    glfwGetWindowFrameSize(window, &left, &top, &right, &bottom);
    const int frameWidth = std::max(0, left + right);
    const int frameHeight = std::max(0, top + bottom);
    glfwSetWindowSizeLimits(window, std::max(1, kMinWindowSize - frameWidth), std::max(1, kMinWindowSize - frameHeight),
                            GLFW_DONT_CARE, GLFW_DONT_CARE);
    glfwSetWindowSize(window, std::max(1, kWindowWidth - frameWidth), std::max(1, kWindowHeight - frameHeight));
}

void applyWindowIcons(GLFWwindow* window, const std::string& executablePath) {
    if (executablePath.empty()) {
        return;
    }
    const std::string path = iconFilePath(executablePath, '/');
    if (!platform::pathExists(path)) {
        platform::debugOutput("Icon file not found: " + path + "\n");
        return;
    }
    platform::debugOutput("Icon file found: " + path + "\n");
    const std::optional<IconImage> big = loadIconFile(path, 32);
    platform::debugOutput(big ? "Successfully loaded big icon from file\n" : "Failed to load big icon from file\n");
    const std::optional<IconImage> small = loadIconFile(path, 16);
    platform::debugOutput(small ? "Successfully loaded small icon from file\n"
                                : "Failed to load small icon from file\n");

    GLFWimage images[2];
    int count = 0;
    for (const std::optional<IconImage>* icon : {&big, &small}) {
        if (*icon) {
            // GLFW copies the pixels and does not write them.
            images[count++] = {(*icon)->width, (*icon)->height, const_cast<unsigned char*>((*icon)->rgba.data())};
        }
    }
    if (count > 0) {
        glfwSetWindowIcon(window, count, images);
    }
}

void installCallbacks(GLFWwindow* window, ShellContext& context) {
    glfwSetWindowUserPointer(window, &context);
    glfwSetMouseButtonCallback(window, onMouseButton);
    glfwSetCursorPosCallback(window, onCursorPos);
    glfwSetScrollCallback(window, onScroll);
    glfwSetFramebufferSizeCallback(window, onFramebufferSize);
    glfwSetWindowRefreshCallback(window, onRefresh);
    glfwSetCursorEnterCallback(window, onCursorEnter);
    glfwSetKeyCallback(window, onKey);
    glfwSetWindowFocusCallback(window, onFocus);
    glfwSetWindowSizeCallback(window, onWindowSize);
}

void closeWhenDestroyedElsewhere(GLFWwindow* window) {
    const Window x11Window = glfwGetX11Window(window);
    if (x11Window == 0 || watchedWindow.exchange(x11Window) != 0) {
        return;
    }
    previousErrorHandler = XSetErrorHandler(onXError);
}

void closeOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT}) {
        if (sigaction(signal, &action, nullptr) != 0) {
            platform::debugOutput("POSIX: Failed to install a termination signal handler\n");
        }
    }
}

void runEventLoop(GLFWwindow* window, ShellContext& context, LoopWaker& waker, Renderer& renderer) {
    RedrawPacer pacer(platform::steadyNanoseconds());
    while (!glfwWindowShouldClose(window)) {
        const std::int64_t waitNs = pacer.waitNanoseconds(platform::steadyNanoseconds());
        glfwWaitEventsTimeout(static_cast<double>(waitNs) / 1e9);

        const LoopWaker::Requests requests = waker.take();
        if (requests.close || terminationSignalled.load() || windowLost.load()) {
            glfwSetWindowShouldClose(window, GLFW_TRUE);
            break;
        }
        const RedrawPacer::Due due = pacer.poll(platform::steadyNanoseconds());
        if (due.requestRedraw) {
            context.state.redrawRequested.store(true);
        }
        if (requests.redraw || due.redraw || context.invalidated) {
            context.invalidated = false;
            drawNow(window, context, renderer);
        }
    }
}

}  // namespace orvalis::viewer
