// Vantorel on Linux: the start-up and shutdown order of the Windows program,
// with GLFW for the window, the context and the event loop.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "app/intake.h"
#include "app/menu_layout.h"
#include "app/settings.h"
#include "app/shell_events.h"
#include "app/view_menu.h"
#include "app/viewer_state.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/dialog.h"
#include "orvalis/platform/paths.h"
#include "render/capabilities.h"
#include "render/freetype_label_text.h"
#include "render/menu_draw.h"
#include "render/renderer.h"
#include "shell/glfw_window.h"

namespace orvalis::viewer {
namespace {

constexpr int kExitNoWindow = 2;

// The viewer's single state object, there before main runs.
ViewerState viewerState;

void onGlfwError(int code, const char* description) {
    platform::debugOutput("GLFW: error " + std::to_string(code) + ": " + (description != nullptr ? description : "") +
                          "\n");
}

void refuseOldOpenGl(const GlCapabilities& caps) {
    platform::debugOutput("ERROR: OpenGL version < 3.0, cannot continue\n");
    const std::string text = openGlRequiredText(caps);
    if (!platform::showMessageBox(text, kOpenGlRequiredTitle, platform::MessageIcon::Error)) {
        std::fprintf(stderr, "%s\n\n%s\n", kOpenGlRequiredTitle, text.c_str());
    }
}

int run() {
    ViewerState& state = viewerState;
    // Settings first, before anything else uses them.
    const std::unique_ptr<SettingsStore> settings = userSettingsStore();
    loadSettings(state, *settings);

    Intake::Options options;
    options.fallbackPath = Intake::defaultFallbackPath();
    LoopWaker waker([] { glfwPostEmptyEvent(); });
    Intake intake(state, waker, systemIntakeClock(), options);
    intake.attach();

    glfwSetErrorCallback(onGlfwError);
    if (glfwInit() != GLFW_TRUE) {
        std::fprintf(stderr, "Vantorel: cannot open a window (no X display, or GLFW could not start)\n");
        intake.detach();
        return kExitNoWindow;
    }
    GLFWwindow* window = createMainWindow(state.stayOnTop);
    if (window == nullptr) {
        std::fprintf(stderr, "Vantorel: cannot create a window with an OpenGL context\n");
        glfwTerminate();
        intake.detach();
        return kExitNoWindow;
    }

    Renderer renderer;
    const GlCapabilities& caps = renderer.detect();
    if (caps.glMajor < 3) {
        refuseOldOpenGl(caps);
        glfwDestroyWindow(window);
        glfwTerminate();
        intake.detach();
        return kExitNoWindow;
    }
    renderer.init([](const char* name) -> GlProc { return glfwGetProcAddress(name); });
    renderer.setLabelRasterizer(makeFreeTypeLabelRasterizer());

    // The menu bar and dark chrome.
    state.stayOnTop = true;
    const std::unique_ptr<LabelRasterizer> menuText = makeFreeTypeLabelRasterizer();
    MenuDrawer menuDrawer(menuText.get(), menuTextPixelHeight(window));
    const std::array<MenuItem, kMenuItemCount> items = viewMenuItems(state);
    MenuLayout menu(menuDrawer.measure(items), {items[0].id, items[1].id, items[2].id, items[3].id});
    requestDarkTitleBar(window);
    ShellContext context{state, {}};
    context.menu = &menu;
    context.menuDrawer = &menuDrawer;
    context.settings = settings.get();
    installCallbacks(window, context);
    closeOnTerminationSignals();
    closeWhenDestroyedElsewhere(window);
    waker.open();
    intake.start();

    const std::string executable = platform::modulePath(reinterpret_cast<const void*>(&onGlfwError));
    glfwSetWindowTitle(window, kWindowTitle);
    applyWindowIcons(window, executable);
    applyOuterSize(window);
    glfwShowWindow(window);
    // The frame is known for certain only once the window manager has
    // framed the mapped window.
    applyOuterSize(window);

    state.pollRateHz.store(kMaxPollRateHz);
    state.lastRedrawTime.store(platform::steadyNanoseconds());
    state.redrawRequested.store(false);

    runEventLoop(window, context, waker, renderer);

    intake.stop();
    waker.close();
    menuDrawer.release();
    renderer.release();
    glfwDestroyWindow(window);
    glfwTerminate();
    intake.detach();
    return 0;
}

}  // namespace
}  // namespace orvalis::viewer

int main() { return orvalis::viewer::run(); }
