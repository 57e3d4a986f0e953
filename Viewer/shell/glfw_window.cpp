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

ShellContext* contextOf(GLFWwindow* window) {
    return static_cast<ShellContext*>(glfwGetWindowUserPointer(window));
}

void onMouseButton(GLFWwindow* window, int button, int action, int /*mods*/) {
    ShellContext* context = contextOf(window);
    if (context == nullptr || button != GLFW_MOUSE_BUTTON_LEFT) {
        return;
    }
    Camera& camera = context->state.camera;
    if (action == GLFW_PRESS) {
        // The press happened where the last pointer event left the pointer;
        // asking the server now would give where it has moved on to since.
        double x = context->cursorX;
        double y = context->cursorY;
        if (!context->cursorKnown) {
            glfwGetCursorPos(window, &x, &y);
        }
        const auto ms = static_cast<std::int64_t>(std::floor(glfwGetTime() * 1000.0));
        if (context->leftButton.press(camera, ms, clientPixel(x), clientPixel(y))) {
            context->invalidated = true;
        }
    } else if (action == GLFW_RELEASE) {
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
    if (movePointer(context->state.camera, clientPixel(x), clientPixel(y))) {
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

void drawNow(GLFWwindow* window, ViewerState& state, Renderer& renderer) {
    if (windowLost.load()) {
        return;
    }
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (width <= 0 || height <= 0) {
        return;  // minimised: nothing to paint, as Windows sends no WM_PAINT
    }
    renderer.drawFrame(state, width, height, [window] { glfwSwapBuffers(window); });
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

void applyOuterSize(GLFWwindow* window) {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    glfwGetWindowFrameSize(window, &left, &top, &right, &bottom);
    const int frameWidth = std::max(0, left + right);
    const int frameHeight = std::max(0, top + bottom);
    glfwSetWindowSizeLimits(window, std::max(1, kMinWindowSize - frameWidth),
                            std::max(1, kMinWindowSize - frameHeight), GLFW_DONT_CARE, GLFW_DONT_CARE);
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
    // No key callback: the viewer has no keyboard commands.
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
            drawNow(window, context.state, renderer);
        }
    }
}

}  // namespace orvalis::viewer
