// Sampling a frame into points, rendering the cube map and the 3D-mode
// pass-through copy, each against a memcpy of the frame's bytes.
#include "bench_memcpy.h"

#include "effect/parameters.h"
#include "pixels/cube_map.h"
#include "pixels/pixel_copy.h"
#include "pixels/sampling.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace orvalis::plugin;

// An RGBA frame of noise at the given depth, rows tightly packed.
struct Frame {
    Frame(int w, int h, PixelDepth depth) : bytes(static_cast<std::size_t>(w) * h * bytesPerPixel(depth)) {
        view = MutablePixelView{bytes.data(), 0, 0, w, h, static_cast<std::ptrdiff_t>(w) * bytesPerPixel(depth), depth};
        std::mt19937 rng(1234);
        std::uniform_real_distribution<float> unit(0.05f, 1.0f);
        const std::size_t n = static_cast<std::size_t>(w) * h * 4;
        for (std::size_t i = 0; i < n; ++i) {
            const float v = unit(rng);
            switch (depth) {
            case PixelDepth::UShort: {
                const auto s = static_cast<std::uint16_t>(v * 65535.0f);
                std::memcpy(bytes.data() + i * 2, &s, 2);
                break;
            }
            case PixelDepth::Float: std::memcpy(bytes.data() + i * 4, &v, 4); break;
            default: bytes[i] = static_cast<unsigned char>(v * 255.0f); break;
            }
        }
    }
    PixelView source() const { return readOnly(view); }

    std::vector<unsigned char> bytes;
    MutablePixelView view;
};

PixelDepth depthArg(std::int64_t i) {
    return i == 0 ? PixelDepth::UByte : (i == 1 ? PixelDepth::UShort : PixelDepth::Float);
}

// Args: depth (0 byte, 1 short, 2 float), height (1080 or 2160), "downsample" option.
void BM_JobSampling(benchmark::State& state) {
    const int h = static_cast<int>(state.range(1));
    const Frame frame(h * 16 / 9, h, depthArg(state.range(0)));
    const PixelView src = frame.source();
    const int option = static_cast<int>(state.range(2));
    std::size_t points = 0;
    orvalis::bench::runAgainstMemcpy(state, frame.bytes.size(), [&] {
        const PointRecordList records = samplePoints(src, false, orvalis::plugin::pointCapForDownsample(option));
        points = records.size();
        benchmark::DoNotOptimize(records.data());
    });
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_JobSampling)
    ->ArgNames({"depth", "height", "option"})
    ->ArgsProduct({{0, 1, 2}, {1080, 2160}, {2, 0}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Args: depth. A 1920 x 1080 output over a source of the same depth.
void BM_CubeMapRender(benchmark::State& state) {
    const PixelDepth depth = depthArg(state.range(0));
    const Frame src(1920, 1080, depth);
    Frame out(1920, 1080, depth);
    const PixelView source = src.source();
    orvalis::bench::runAgainstMemcpy(state, out.bytes.size(), [&] {
        renderCubeMap(out.view, &source, RenderWindow{0, 0, 1920, 1080}, 30);
        benchmark::ClobberMemory();
    });
}
BENCHMARK(BM_CubeMapRender)->ArgName("depth")->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Args: depth. The 3D-mode pass-through of a 1920 x 1080 frame.
void BM_PassThroughCopy(benchmark::State& state) {
    const PixelDepth depth = depthArg(state.range(0));
    const Frame src(1920, 1080, depth);
    Frame out(1920, 1080, depth);
    const PixelView source = src.source();
    orvalis::bench::runAgainstMemcpy(state, out.bytes.size(), [&] {
        copyPixels(source, out.view);
        benchmark::ClobberMemory();
    });
}
BENCHMARK(BM_PassThroughCopy)->ArgName("depth")->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
