// Helpers for the tests that drive the built Orvalis bundle through the
// host: loading it once per process, images, the shared block as a reader
// sees it, and waiting for the worker's publish.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Shared/exchange.h"
#include "Tests/support/beside_program.h"
#include "Tests/support/polling.h"
#include "Tests/support/run_program.h"
#include "ofxhost/host.h"
#include "orvalis/platform/shared_memory.h"

#ifndef ORVALIS_BUNDLE_RELATIVE
#error "ORVALIS_BUNDLE_RELATIVE must name the built bundle relative to the test programs"
#endif

namespace plugin_test {

using orvalis::exchange::BlockView;
namespace off = orvalis::exchange::offset;

inline constexpr char kFilter[] = "OfxImageEffectContextFilter";
inline constexpr char kGeneral[] = "OfxImageEffectContextGeneral";

// The built bundle (the test programs live in a folder beside it).
inline std::string bundlePath() { return test_support::besideThisProgram(ORVALIS_BUNDLE_RELATIVE); }

// The bundle, loaded once per test process and unloaded when the tests are
// done (before static destruction, where the host's own statics may already
// be gone).
inline std::unique_ptr<ofxhost::Bundle>& bundleSlot() {
    static std::unique_ptr<ofxhost::Bundle> slot;
    return slot;
}

inline ofxhost::Bundle& bundle() {
    auto& slot = bundleSlot();
    if (!slot) {
        std::string error;
        slot = ofxhost::Bundle::load(bundlePath(), error);
        if (!slot) {
            ADD_FAILURE() << "cannot load " << bundlePath() << ": " << error;
            std::abort();
        }
    }
    return *slot;
}

class BundleEnvironment : public ::testing::Environment {
public:
    void TearDown() override { bundleSlot().reset(); }
};
inline const bool kBundleEnvironmentAdded = (::testing::AddGlobalTestEnvironment(new BundleEnvironment), true);

// A new instance in the filter context; throws, and so fails the test, when
// there is none.
inline std::unique_ptr<ofxhost::Instance> newInstance(const std::map<std::string, std::vector<double>>& restored = {}) {
    auto instance = bundle().createInstance(0, kFilter, restored);
    if (!instance)
        throw std::runtime_error("no instance: " + bundle().lastError());
    return instance;
}

// A uniform RGBA image.
inline std::shared_ptr<ofxhost::ImageBuffer> solidImage(ofxhost::Depth depth, ofxhost::RectI bounds, float r, float g,
                                                        float b, float a = 1.0f) {
    auto image = std::make_shared<ofxhost::ImageBuffer>(depth, bounds);
    const float rgba[4] = {r, g, b, a};
    image->fill(rgba);
    return image;
}

// The shared block as a second holder (a viewer) sees it; empty when no
// instance has it.
class BlockReader {
public:
    BlockReader()
        : memory_(orvalis::platform::SharedMemory::open(orvalis::exchange::kBlockName, orvalis::exchange::kBlockSize)) {
    }
    bool attached() const { return memory_ != nullptr; }
    BlockView view() const { return BlockView(memory_->data()); }
    std::uint64_t owner() const { return view().u64(off::ownerInstance).load(); }
    std::uint32_t pluginCount() const { return view().u32(off::pluginCount).load(); }
    std::uint64_t sequence() const { return view().u64(off::sequence).load(std::memory_order_acquire); }

private:
    std::unique_ptr<orvalis::platform::SharedMemory> memory_;
};

// Polls with a deadline that only bounds a hang.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds deadline = std::chrono::seconds(90)) {
    return test_support::eventually(condition, deadline, std::chrono::milliseconds(2));
}

// The instance number of `instance`, learnt by letting it claim the viewer
// (syncPrivateData in 3D visualization mode names it in the block).
inline std::uint64_t instanceNumber(ofxhost::Instance& instance, const BlockReader& block) {
    EXPECT_EQ(instance.syncPrivateData(), kOfxStatOK);
    return block.owner();
}

}  // namespace plugin_test
