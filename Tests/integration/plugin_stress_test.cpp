// Four host threads render two instances in 3D visualization mode while
// parameters change and a third instance comes and goes; a reader checks
// every cloud it takes from the shared block. No deadlock, no crash, no
// torn cloud.
#include "plugin_support.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <mutex>

#include "block_follower.h"
#include "exchange_colours.h"

using namespace plugin_test;
using ofxhost::Depth;
namespace viewer = orvalis::viewer;

namespace {

// Every cloud is uniform: one colour per source, so that a cloud mixing two
// publishes, or cut short, is told from a whole one.
struct Kind {
    int colour;
    std::vector<std::size_t> counts;  // whole-cloud sizes this source can give
};
const Kind kA{0, {200u * 100u, 180u * 100u}};  // 200 x 100, crop 180 x 100
const Kind kB{1, {160u * 120u}};
const Kind kC{2, {96u * 64u}};

// Empty when the cloud is one source's whole cloud with a point size in range.
std::string problemWith(const orvalis::viewer::IntakeState& state) {
    const int colour = exchange_colours::colourOf(state.points);
    if (colour < kA.colour || colour > kC.colour)
        return "an empty, mixed or unknown cloud";
    const auto& counts = (colour == kA.colour ? kA : colour == kB.colour ? kB : kC).counts;
    if (std::find(counts.begin(), counts.end(), state.points.size()) == counts.end())
        return "count " + std::to_string(state.points.size()) + " does not fit its colour";
    if (!(state.pointSize >= 1.0f && state.pointSize <= 10.0f))
        return "point size " + std::to_string(state.pointSize);
    return {};
}

void connect(ofxhost::Instance& inst, const Kind& kind, ofxhost::RectI bounds) {
    const exchange_colours::Rgb rgb = exchange_colours::of(kind.colour);
    inst.setClipImage("Source", solidImage(Depth::Float, bounds, rgb.r, rgb.g, rgb.b));
    inst.setClipImage("Output", std::make_shared<ofxhost::ImageBuffer>(Depth::Float, bounds));
}

}  // namespace

TEST(PluginStress, RendersEditsAndChurnWithAReader) {
    auto a = newInstance();
    auto b = newInstance();
    BlockReader block;  // opened after both instances hold it
    ASSERT_TRUE(a && b && block.attached());
    connect(*a, kA, {0, 0, 200, 100});
    connect(*b, kB, {0, 0, 160, 120});

    constexpr int kRendersPerThread = 150;
    std::atomic<int> failedActions{0};
    const auto check = [&](OfxStatus s) { failedActions.fetch_add(s == kOfxStatOK ? 0 : 1); };
    std::atomic<int> clouds{0};
    std::mutex failureMutex;
    std::vector<std::string> failures;
    BlockFollower reader(block.view(), [&](const viewer::IntakeState& state) {
        clouds.fetch_add(1);
        if (const std::string why = problemWith(state); !why.empty()) {
            std::lock_guard lock(failureMutex);
            failures.push_back(why + " at sequence " + std::to_string(state.lastSequence));
        }
    });

    // The host hands every render of an instance the same output buffer, so
    // the two threads of one instance take turns; the two instances, their
    // workers, the edits and the churn all run at once.
    std::mutex outputOfA, outputOfB;
    std::vector<std::thread> renderers;
    for (int t = 0; t < 4; ++t) {
        ofxhost::Instance* inst = t < 2 ? a.get() : b.get();
        std::mutex* output = t < 2 ? &outputOfA : &outputOfB;
        const ofxhost::RectI window = t < 2 ? ofxhost::RectI{0, 0, 200, 100} : ofxhost::RectI{0, 0, 160, 120};
        renderers.emplace_back([&, inst, output, window] {
            for (int i = 0; i < kRendersPerThread; ++i) {
                {
                    std::lock_guard lock(*output);
                    check(inst->render(i, window));
                }
                // Paced like playback, so the worker publishes many of them.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }

    std::thread editor([&] {
        for (int i = 0; i < 400; ++i) {
            ofxhost::Instance& inst = i % 2 ? *a : *b;
            switch (i % 5) {
            case 0: check(inst.setValue("pointSize", {1.0 + (i % 90) / 10.0})); break;
            case 1: check(inst.setValue("frameRate", {static_cast<double>(i % 5)})); break;
            case 2: check(a->setValue("cropToCubeMap", {static_cast<double>((i / 5) % 2)})); break;
            case 3: check(b->setValue("pluginMode", {static_cast<double>((i / 5) % 2)})); break;
            case 4: check(inst.syncPrivateData()); break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    std::thread churn([&] {
        for (int i = 0; i < 12; ++i) {
            auto c = bundle().createInstance(0, kFilter);
            if (!c) {
                check(kOfxStatFailed);
                continue;
            }
            connect(*c, kC, {0, 0, 96, 64});
            for (int f = 0; f < 5; ++f)
                check(c->render(f, {0, 0, 96, 64}));
            check(c->syncPrivateData());
            check(c->setValue("pointSize", {2.0}));
        }  // destroyed while its worker may still hold a job
    });

    for (auto& r : renderers) {
        r.join();
    }
    editor.join();
    churn.join();
    // One more cloud after the storm: once every claim is older than 240 ms
    // the next render takes the viewer and its cloud must reach the reader.
    ASSERT_EQ(b->setValue("pluginMode", {0}), kOfxStatOK);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int before = clouds.load();
    ASSERT_EQ(a->render(1000, {0, 0, 200, 100}), kOfxStatOK);
    EXPECT_TRUE(waitFor([&] { return clouds.load() > before; })) << "the last cloud never arrived";
    waitFor([&] { return a->outstandingImages() == 0 && b->outstandingImages() == 0; });

    std::cout << "clouds taken: " << clouds.load() << "\n";
    EXPECT_EQ(failedActions.load(), 0);
    EXPECT_EQ(reader.regressions(), 0);
    std::lock_guard lock(failureMutex);
    EXPECT_TRUE(failures.empty()) << failures.size() << " bad clouds, first: " << failures.front();
    EXPECT_EQ(a->outstandingImages(), 0);
    EXPECT_EQ(b->outstandingImages(), 0);
}
