// Render calls of the built plug-in through the host, against a memcpy of
// the frame: the 3D-mode pass-through with its hand-over to the worker, and
// the cube map.
#include "bench_memcpy.h"

#include "ofxhost/host.h"
#include "orvalis/platform/paths.h"

#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

// The bundle built beside the programs folder (build Orvalis first).
std::string bundlePath() {
    static int anchor = 0;
    std::string self = orvalis::platform::modulePath(&anchor);
    self.erase(self.find_last_of("/\\") + 1);
    return self + "../Orvalis.ofx.bundle";
}

ofxhost::Bundle& bundle() {
    static std::unique_ptr<ofxhost::Bundle> loaded = [] {
        std::string error;
        auto b = ofxhost::Bundle::load(bundlePath(), error);
        if (!b) {
            std::cerr << "bench_render: " << error << "\n";
            std::exit(1);
        }
        return b;
    }();
    return *loaded;
}

ofxhost::Depth depthArg(std::int64_t i) {
    return i == 0 ? ofxhost::Depth::UByte : (i == 1 ? ofxhost::Depth::UShort : ofxhost::Depth::Float);
}

// Args: depth (0 byte, 1 short, 2 float), "pluginMode" (0 3D visualization, 1 CubeMap).
void BM_RenderHd(benchmark::State& state) {
    const ofxhost::Depth depth = depthArg(state.range(0));
    const ofxhost::RectI hd{0, 0, 1920, 1080};
    auto instance = bundle().createInstance(0, "OfxImageEffectContextFilter",
                                            {{"pluginMode", {static_cast<double>(state.range(1))}}});
    if (!instance) {
        state.SkipWithError("no instance");
        return;
    }
    auto source = std::make_shared<ofxhost::ImageBuffer>(depth, hd);
    const float grey[4] = {0.4f, 0.5f, 0.6f, 1.0f};
    source->fill(grey);
    auto output = std::make_shared<ofxhost::ImageBuffer>(depth, hd);
    instance->setClipImage("Source", source);
    instance->setClipImage("Output", output);
    const std::size_t bytes = static_cast<std::size_t>(1920) * 1080 * 4 * ofxhost::bytesPerComponent(depth);
    double frame = 0;
    orvalis::bench::runAgainstMemcpy(state, bytes, [&] { instance->render(frame++, hd); });
}
BENCHMARK(BM_RenderHd)->ArgsProduct({{0, 1, 2}, {0, 1}})->UseManualTime();

}  // namespace
