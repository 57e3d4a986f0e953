// Another process on the shared block, for the tests that start, stop and
// kill them:
//   exchange_host host <bundle> <ms> <colour> <W>x<H> <8|16|float> <downsample> [stop file]
//     a host: one instance of the bundle rendering a uniform frame of its
//     colour 60 times a second for <ms> or until the stop file appears
//     (or it is killed), then it ends normally (instances destroyed).
//     Exit 0 when every render succeeded. Colour -1 only holds the instance.
//   exchange_host view <colour> <ms>
//     a viewer: attaches the block as the viewer does (trying again while
//     there is none) and follows it with the read step; exit 0 once it took
//     a whole cloud of <colour>, 1 when none came within <ms>, 2 on a mixed
//     cloud, 3 when it never found a block.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/exchange_reader.h"
#include "exchange_colours.h"
#include "ofxhost/host.h"

namespace {

using Clock = std::chrono::steady_clock;

int host(int argc, char** argv) {
    const std::string stopFile = argc > 8 ? argv[8] : "";
    const auto lifetime = std::chrono::milliseconds(std::atoll(argv[3]));
    const int colour = std::atoi(argv[4]);
    int width = 0, height = 0;
    if (std::sscanf(argv[5], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)
        return 2;
    const auto depth = ofxhost::parseDepth(argv[6]);
    if (!depth)
        return 2;

    std::string error;
    auto bundle = ofxhost::Bundle::load(argv[2], error);
    if (!bundle) {
        std::fprintf(stderr, "exchange_host: %s\n", error.c_str());
        return 3;
    }
    auto instance = bundle->createInstance(0);
    if (!instance || instance->setValue("downsample", {std::atof(argv[7])}) != kOfxStatOK)
        return 4;

    const ofxhost::RectI bounds{0, 0, width, height};
    auto source = std::make_shared<ofxhost::ImageBuffer>(*depth, bounds);
    const exchange_colours::Rgb rgb = exchange_colours::of(colour);
    const float rgba[4] = {rgb.r, rgb.g, rgb.b, 1.0f};
    source->fill(rgba);
    auto output = std::make_shared<ofxhost::ImageBuffer>(*depth, bounds);
    instance->setClipImage("Source", source);
    instance->setClipImage("Output", output);

    int failed = 0;
    const auto start = Clock::now();
    auto next = start;
    auto stopped = [&] {
        std::error_code ignored;
        return !stopFile.empty() && std::filesystem::exists(stopFile, ignored);
    };
    for (double t = 0; Clock::now() - start < lifetime && !stopped(); t += 1) {
        if (colour >= 0 && instance->render(t, bounds) != kOfxStatOK)
            ++failed;
        next += std::chrono::microseconds(16'667);
        std::this_thread::sleep_until(next);
    }
    instance.reset();
    bundle.reset();
    return failed == 0 ? 0 : 5;
}

int view(char** argv) {
    const int colour = std::atoi(argv[2]);
    const auto until = Clock::now() + std::chrono::milliseconds(std::atoll(argv[3]));
    auto block = orvalis::viewer::ViewerBlock::open();
    while (!block && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        block = orvalis::viewer::ViewerBlock::open();
    }
    if (!block)
        return 3;
    orvalis::viewer::IntakeState state;
    while (Clock::now() < until) {
        if (!orvalis::viewer::readBlockStep(block->view(), state)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        const int seen = exchange_colours::colourOf(state.points);
        if (seen == exchange_colours::kMixed)
            return 2;
        if (seen == colour)
            return 0;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "host" && (argc == 8 || argc == 9))
        return host(argc, argv);
    if (mode == "view" && argc == 4)
        return view(argv);
    std::fprintf(stderr,
                 "usage: exchange_host host <bundle> <ms> <colour> <W>x<H> <8|16|float> <downsample> [stop]\n"
                 "       exchange_host view <colour> <ms>\n");
    return 2;
}
