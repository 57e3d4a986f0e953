// The viewer's two costs per cloud, each against a memcpy of the cloud's
// bytes: the intake's copy out of the shared block, and one frame of the
// renderer on a hidden GLFW window (sphere and sprite paths). The frame
// benchmarks need a display: run under xvfb-run on a machine without one.
#include "bench_memcpy.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/exchange_reader.h"
#include "app/viewer_state.h"
#include "link/exchange_writer.h"
#include "orvalis/platform/process.h"
#include "orvalis/platform/shared_memory.h"
#include "render/renderer.h"

namespace {

using namespace orvalis;
using exchange::PointRecord;

// A cloud spread through the cube, with a few points outside it, as a
// graded frame gives.
std::vector<PointRecord> cloud(std::size_t n) {
    std::vector<PointRecord> points(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float u = static_cast<float>(i % 1009) / 1008.0f;
        const float v = static_cast<float>(i % 997) / 996.0f;
        const float w = static_cast<float>(i % 983) / 982.0f;
        points[i] = {u, v, w * 1.0005f, w, v, u, {0, 0}};
    }
    return points;
}

// ---- intake --------------------------------------------------------------------

// Arg: points in the published cloud. Each iteration takes a new sequence
// number, so the read step copies the whole buffer as the intake does.
void BM_IntakeCopy(benchmark::State& state) {
    const std::string name = "OrvalisBenchViewer." + std::to_string(platform::currentProcessId());
    auto memory = platform::SharedMemory::createOrOpen(name, exchange::kBlockSize);
    if (memory == nullptr) {
        state.SkipWithError("no shared block");
        return;
    }
    const exchange::BlockView view(memory->data());
    const auto points = cloud(static_cast<std::size_t>(state.range(0)));
    std::uint64_t sequence = 2;
    plugin::publishToBlock(view, points, 4.0f, sequence);
    viewer::IntakeState intake;
    viewer::readBlockStep(view, intake);  // the block's pages are mapped once, not per read
    bool allTaken = true;
    bench::runAgainstMemcpy(state, points.size() * sizeof(PointRecord), [&] {
        view.u64(exchange::offset::sequence).store(++sequence, std::memory_order_release);
        allTaken = viewer::readBlockStep(view, intake) && allTaken;
    });
    if (!allTaken || intake.points.size() != points.size()) {
        state.SkipWithError("a read step took nothing");
    }
}
BENCHMARK(BM_IntakeCopy)->Arg(100'000)->Arg(1'000'000)->UseManualTime();

// ---- one frame -------------------------------------------------------------------

// A hidden window with the context the shell asks for first (3.2
// compatibility), then 3.0; null without a display.
struct HiddenWindow {
    HiddenWindow() {
        if (glfwInit() != GLFW_TRUE) {
            return;
        }
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 2);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_COMPAT_PROFILE);
        window = glfwCreateWindow(kWidth, kHeight, "bench_viewer", nullptr, nullptr);
        if (window == nullptr) {
            glfwDefaultWindowHints();
            glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
            glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
            glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
            window = glfwCreateWindow(kWidth, kHeight, "bench_viewer", nullptr, nullptr);
        }
        if (window == nullptr) {
            return;
        }
        glfwMakeContextCurrent(window);
        glfwSwapInterval(0);  // time the frame, not the display's refresh
        finish = reinterpret_cast<void (*)()>(glfwGetProcAddress("glFinish"));
    }
    ~HiddenWindow() {
        if (window != nullptr) {
            glfwDestroyWindow(window);
        }
        glfwTerminate();
    }
    static constexpr int kWidth = 524;  // the client area of a 540 x 560 window
    static constexpr int kHeight = 521;
    GLFWwindow* window = nullptr;
    void (*finish)() = nullptr;
};

HiddenWindow& hiddenWindow() {
    static HiddenWindow window;
    return window;
}

// The renderer on the hidden window; with forceSprites the divisor entry
// points resolve to nothing, so instancing is off and every cloud takes
// the sprite path.
std::unique_ptr<viewer::Renderer> makeRenderer(bool forceSprites) {
    auto renderer = std::make_unique<viewer::Renderer>();
    viewer::GlLookup lookup = [forceSprites](const char* name) -> viewer::GlProc {
        if (forceSprites && std::strstr(name, "VertexAttribDivisor") != nullptr) {
            return nullptr;
        }
        return glfwGetProcAddress(name);
    };
    renderer->init(lookup);
    return renderer;
}

void reportRenderer(const viewer::GlCapabilities& caps) {
    static bool reported = false;
    if (!reported) {
        reported = true;
        std::fprintf(stderr, "GL renderer: %s | %s | GL %s\n", caps.rendererText, caps.vendorText, caps.versionText);
    }
}

// Args: points in the cloud, path (0 sphere, 1 sprite). The frame is
// finished (glFinish) inside the timing, so the GPU's work counts.
void BM_DrawFrame(benchmark::State& state) {
    HiddenWindow& window = hiddenWindow();
    if (window.window == nullptr || window.finish == nullptr) {
        state.SkipWithError("no GL window (run under xvfb-run)");
        return;
    }
    const bool sprites = state.range(1) == 1;
    auto renderer = makeRenderer(sprites);
    const viewer::GlCapabilities& caps = renderer->capabilities();
    reportRenderer(caps);
    if (!sprites && !caps.hasInstancing) {
        state.SkipWithError("no instancing: the sphere path is not taken");
        return;
    }
    auto viewerState = std::make_unique<viewer::ViewerState>();
    viewerState->intake.points = cloud(static_cast<std::size_t>(state.range(0)));
    viewerState->intake.pointSize = 4.0f;
    const std::size_t bytes = viewerState->intake.points.size() * sizeof(PointRecord);
    bench::runAgainstMemcpy(state, bytes, [&] {
        renderer->drawFrame(*viewerState, HiddenWindow::kWidth, HiddenWindow::kHeight,
                            [&] { glfwSwapBuffers(window.window); });
        window.finish();
    });
    renderer->release();
    state.SetLabel(sprites ? "sprite" : "sphere");
}
BENCHMARK(BM_DrawFrame)
    ->ArgsProduct({{50'000, 100'000, 1'000'000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
