// Another process on a shared block, for the tests that start, stop and
// kill them:
//   exchange_host host <bundle> <ms> <colour> <W>x<H> <8|16|float> <downsample> <stop file>
//     a host: one instance of the bundle rendering a uniform frame of its
//     colour 60 times a second for <ms> or until the stop file appears
//     (or it is killed), then it ends normally (instances destroyed).
//     Exit 0 when every render succeeded. Colour -1 only holds the instance.
//   exchange_host view <colour> <ms>
//     a viewer: attaches the block as the viewer does (trying again while
//     there is none) and follows it with the read step; exit 0 once it took
//     a whole cloud of <colour>, 1 when none came within <ms>, 2 on a mixed
//     cloud, 3 when it never found a block.
//   exchange_host publish <block name> <ms>
//     a plug-in's writer alone: publishes into the named block as fast as it
//     can, each cloud marked with its sequence number (exchange_cloud.h).
//     Exit 0 when it published any.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/exchange_reader.h"
#include "exchange_cloud.h"
#include "exchange_colours.h"
#include "link/exchange_writer.h"
#include "ofxhost/host.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/process.h"

namespace {

using Clock = std::chrono::steady_clock;

int host(char** argv) {
    const std::string stopFile = argv[8];
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
        return std::filesystem::exists(stopFile, ignored);
    };
    for (double t = 0; Clock::now() - start < lifetime && !stopped(); t += 1) {
        if (colour >= 0 && instance->render(t, bounds) != kOfxStatOK)
            ++failed;
        next += std::chrono::microseconds(16'667);
        std::this_thread::sleep_until(next);
    }
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

int publish(char** argv) {
    using namespace orvalis;
    plugin::BlockAttachment block = plugin::attachBlock(argv[2]);
    if (!block.attached())
        return 3;
    const exchange::BlockView view = *block.view();
    const std::uint32_t processId = platform::currentProcessId();
    plugin::setOwner(view, 1, processId);
    std::atomic<std::uint64_t> counter{1};
    std::vector<exchange::PointRecord> cloud;
    std::uint64_t published = 0;
    const std::int64_t end = platform::steadyMilliseconds() + std::atoll(argv[3]);
    while (platform::steadyMilliseconds() < end && plugin::isOwner(view, 1, processId)) {
        const plugin::BlockWriterLock lock(view, processId, plugin::kPublishPatience, platform::processAlive);
        if (!lock.held())
            continue;
        const std::uint64_t sequence = plugin::nextSequence(counter, plugin::previousBlockSequence(view));
        exchange_cloud::fillCloud(cloud, sequence);
        plugin::publishToBlock(view, cloud, exchange_cloud::cloudPointSize(sequence), sequence);
        ++published;
    }
    plugin::clearOwnerIf(view, 1, processId);
    std::printf("published %llu clouds\n", static_cast<unsigned long long>(published));
    return published > 0 ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "host" && argc == 9)
        return host(argv);
    if (mode == "view" && argc == 4)
        return view(argv);
    if (mode == "publish" && argc == 4)
        return publish(argv);
    std::fprintf(stderr, "exchange_host: no such mode, or the wrong arguments for it (see its source)\n");
    return 2;
}
