// The host driving the probe effect, written on our OFX layer: description,
// parameter values and change notifications, images of every depth and row
// layout, concurrent renders and failures inside the effect; a fault in
// either the host or the layer shows here. Then the suites as any plug-in
// sees them: fetching, handles that are not the host's, and threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "ofxImageEffect.h"
#include "ofxMessage.h"
#include "ofxMultiThread.h"
#include "ofxProperty.h"
#include "ofxhost/host.h"
#include "ofxhost/property_set.h"

namespace {

using namespace ofxhost;

// The "changed" / "begin" / "end" records, in order, as "id:text".
std::vector<std::string> changeLog(const Instance& instance) {
    std::vector<std::string> log;
    for (const auto& m : instance.messages())
        if (m.id == "begin" || m.id == "end" || m.id == "changed")
            log.push_back(m.id + ":" + m.text);
    return log;
}

// The text of the first message with this id; empty when there is none.
std::string said(const Instance& instance, const std::string& id) {
    for (const auto& m : instance.messages())
        if (m.id == id)
            return m.text;
    return {};
}

std::string firstError(const Instance& instance) {
    for (const auto& m : instance.messages())
        if (m.type == kOfxMessageError)
            return m.text;
    return {};
}

// Fills a source with a pattern that differs per pixel and channel.
std::shared_ptr<ImageBuffer> patterned(Depth depth, RectI bounds, int padding = 0, bool bottomUp = false) {
    auto image = std::make_shared<ImageBuffer>(depth, bounds, padding, bottomUp);
    for (int y = bounds.y1; y < bounds.y2; ++y)
        for (int x = bounds.x1; x < bounds.x2; ++x) {
            const float rgba[4] = {float(x - bounds.x1) / 40.0f, float(y - bounds.y1) / 30.0f, 0.25f, 1.0f};
            image->setPixel(x, y, rgba);
        }
    return image;
}

// The probe bundle, loaded for each test, and its instances.
class Host : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        bundle = Bundle::load(HOST_PROBE_BUNDLE, error);
        ASSERT_TRUE(bundle) << error;
    }
    // Throws, and so fails the test, when the host refuses the instance.
    std::unique_ptr<Instance> create(const std::map<std::string, std::vector<double>>& values = {}) {
        auto instance = bundle->createInstance(0, kOfxImageEffectContextFilter, values);
        if (!instance)
            throw std::runtime_error("no instance: " + bundle->lastError());
        return instance;
    }
    // Connects a patterned source and an empty output of the same bounds;
    // returns the output.
    static std::shared_ptr<ImageBuffer> connect(Instance& instance, Depth depth, RectI bounds,
                                                std::shared_ptr<ImageBuffer> src = nullptr) {
        auto dst = std::make_shared<ImageBuffer>(depth, bounds);
        instance.setClipImage("Source", src ? src : patterned(depth, bounds));
        instance.setClipImage("Output", dst);
        return dst;
    }
    std::unique_ptr<Bundle> bundle;
};

// What neither the tool's text nor the Orvalis bundle's description shows.
TEST_F(Host, DescribeReportsWhatTheToolsTextDoesNotShow) {
    const PluginDescription d = bundle->describe(0);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.longLabel, "Host Probe (long)");
    EXPECT_FALSE(d.singleInstance || d.hostFrameThreading || d.multiResolution || d.tiles);
    ASSERT_EQ(d.params.size(), 10u);
    ASSERT_EQ(d.params[6].name, "note");
    EXPECT_EQ(d.params[6].defaultString, "hello");
    EXPECT_EQ(d.params[6].shortLabel, "Note");  // unset short and long labels fall back to the label
    EXPECT_EQ(d.params[6].longLabel, "Note");

    EXPECT_NE(bundle->describe(0, kOfxImageEffectContextGenerator).error, "");
    EXPECT_EQ(bundle->createInstance(0, kOfxImageEffectContextGenerator), nullptr);
    EXPECT_NE(bundle->lastError().find("context"), std::string::npos);
}

TEST_F(Host, RestoredValuesArePresentBeforeCreation) {
    auto instance = create({{"count", {7}}, {"gain", {2.5}}, {"mode", {1}}});
    EXPECT_EQ(said(*instance, "created"), "count=7 gain=2.5 flag=1 mode=1 note=hello");
    EXPECT_TRUE(instance->value("nonexistent").empty());
}

TEST_F(Host, FailedCreationsSayWhy) {
    const struct {
        const char* param;
        double value;
        const char* reason;
    } cases[] = {{"nosuch", 1, "nosuch"},
                 {"mode", 3, "mode"},
                 {"trap", 1, "kOfxStatErrFormat"},   // the constructor threw a status
                 {"trap", 2, "kOfxStatErrMemory"}};  // the constructor ran out of memory
    for (const auto& c : cases) {
        EXPECT_EQ(bundle->createInstance(0, kOfxImageEffectContextFilter, {{c.param, {c.value}}}), nullptr) << c.param;
        EXPECT_NE(bundle->lastError().find(c.reason), std::string::npos) << bundle->lastError();
    }
}

TEST_F(Host, UserEditsAreClampedAndReportedAsUserEdits) {
    auto instance = create();
    EXPECT_EQ(instance->setValue("count", {42}), kOfxStatOK);
    EXPECT_EQ(instance->value("count"), std::vector<double>{10});  // clamped to the range
    EXPECT_EQ(changeLog(*instance), (std::vector<std::string>{"begin:OfxChangeUserEdited",
                                                              "changed:OfxTypeParameter count OfxChangeUserEdited",
                                                              "end:OfxChangeUserEdited"}));
    EXPECT_EQ(instance->setValue("mode", {5}), kOfxStatErrValue);
    EXPECT_EQ(instance->setValue("count", {1, 2}), kOfxStatErrValue);
    EXPECT_EQ(instance->setValue("nosuch", {1}), kOfxStatErrUnknown);
}

TEST_F(Host, PluginEditsComeBackToTheHost) {
    auto instance = create();
    EXPECT_EQ(instance->pressButton("bump"), kOfxStatOK);
    EXPECT_EQ(instance->value("count"), std::vector<double>{6});
    EXPECT_EQ(
        changeLog(*instance),
        (std::vector<std::string>{"begin:OfxChangeUserEdited", "changed:OfxTypeParameter bump OfxChangeUserEdited",
                                  "begin:OfxChangePluginEdited", "changed:OfxTypeParameter count OfxChangePluginEdited",
                                  "end:OfxChangePluginEdited", "end:OfxChangeUserEdited"}));
    EXPECT_EQ(instance->pressButton("count"), kOfxStatErrValue);  // not a button
    EXPECT_TRUE(instance->secret("hidden"));                      // as described
    // Sync lets the plug-in write its parameters.
    EXPECT_EQ(instance->syncPrivateData(), kOfxStatOK);
    EXPECT_EQ(instance->stringValue("note"), "synced");
}

struct Layout {
    Depth depth;
    int padding;
    bool srcBottomUp, dstBottomUp;
};

class HostRenderLayouts : public Host, public ::testing::WithParamInterface<Layout> {};

TEST_P(HostRenderLayouts, CopiesEveryPixelAndReleasesEveryImage) {
    const Layout layout = GetParam();
    auto instance = create();
    const RectI bounds{10, -5, 50, 25};  // an origin off zero catches bounds mistakes
    auto src = patterned(layout.depth, bounds, layout.padding, layout.srcBottomUp);
    src->uniqueIdentifier = "frame-1";
    auto dst = std::make_shared<ImageBuffer>(layout.depth, bounds, layout.padding + 8, layout.dstBottomUp);
    instance->setClipImage("Source", src);
    instance->setClipImage("Output", dst);
    // Time, scale and field reach the effect and its images (the effect checks them).
    ASSERT_EQ(instance->render(12.5, bounds, 0.5, 0.25), kOfxStatOK) << firstError(*instance);
    EXPECT_EQ(instance->outstandingImages(), 0);
    const auto rowBytes = static_cast<std::size_t>(40 * 4 * bytesPerComponent(layout.depth));
    for (int y = bounds.y1; y < bounds.y2; ++y)
        ASSERT_EQ(std::memcmp(src->pixelAddress(bounds.x1, y), dst->pixelAddress(bounds.x1, y), rowBytes), 0)
            << "row " << y;
    EXPECT_EQ(instance->messages().back().text,
              std::string("source frame-1 t=12.5 scale=0.5,0.25 field=") + kOfxImageFieldNone);
}

INSTANTIATE_TEST_SUITE_P(AllDepthsAndRowLayouts, HostRenderLayouts,
                         ::testing::Values(Layout{Depth::UByte, 0, false, false}, Layout{Depth::UByte, 12, true, false},
                                           Layout{Depth::UShort, 6, false, true}, Layout{Depth::UShort, 0, true, true},
                                           Layout{Depth::Float, 16, false, false},
                                           Layout{Depth::Float, 4, true, false}));

// (A clip without an image is the Orvalis pass-through test's.)
TEST_F(Host, ThrowingRendersAreFailuresNotCrashes) {
    const RectI bounds{0, 0, 4, 4};
    auto throwing = create({{"trap", {3}}});
    connect(*throwing, Depth::Float, bounds);
    EXPECT_EQ(throwing->render(0.0, bounds), kOfxStatFailed);
}

TEST_F(Host, UnreleasedImagesAreCountedAndFreedWithTheInstance) {
    const RectI bounds{0, 0, 8, 8};
    auto instance = create({{"leak", {1}}});
    auto src = patterned(Depth::UShort, bounds);
    connect(*instance, Depth::UShort, bounds, src);
    ASSERT_EQ(instance->render(0.0, bounds), kOfxStatOK);
    ASSERT_EQ(instance->render(0.0, bounds), kOfxStatOK);
    EXPECT_EQ(instance->outstandingImages(), 2);
    EXPECT_EQ(src.use_count(), 4);  // this test, the clip and the two fetched images
    instance.reset();               // the leaked images go with the instance
    EXPECT_EQ(src.use_count(), 1);
}

TEST_F(Host, FourThreadsRenderOneInstanceAtOnce) {
    auto instance = create();
    auto src = patterned(Depth::Float, RectI{0, 0, 64, 64});
    auto dst = connect(*instance, Depth::Float, RectI{0, 0, 64, 64}, src);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i)
                if (instance->render(double(i), RectI{0, t * 16, 64, t * 16 + 16}) != kOfxStatOK)
                    ++failures;
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0) << firstError(*instance);
    EXPECT_EQ(instance->outstandingImages(), 0);
    EXPECT_EQ(std::ranges::count(instance->messages(), std::string("render"), &MessageRecord::id), 40);
    for (int y = 0; y < 64; ++y)
        ASSERT_EQ(std::memcmp(src->pixelAddress(0, y), dst->pixelAddress(0, y), 64 * 16), 0) << "row " << y;
}

TEST_F(Host, InstancesKeepTheirOwnValuesAndMessagesAndMayOutliveTheBundle) {
    auto a = create({{"count", {2}}});
    auto b = create({{"count", {4}}});
    EXPECT_NE(a->handle(), b->handle());
    a->pressButton("bump");
    EXPECT_EQ(a->value("count"), std::vector<double>{3});
    EXPECT_EQ(b->value("count"), std::vector<double>{4});
    for (const auto& m : b->messages())
        EXPECT_EQ(m.id.find("changed"), std::string::npos);
    // Percent signs are kept; a question gets the host's reply.
    EXPECT_EQ(said(*a, "percent"), "50% done %s");
    EXPECT_EQ(said(*a, "question"), "Sure?");
    EXPECT_EQ(said(*a, "reply"), "kOfxStatReplyNo");
    bundle.reset();  // the binary stays loaded for the instances
    EXPECT_EQ(b->setValue("count", {5}), kOfxStatOK);
    EXPECT_EQ(b->value("count"), std::vector<double>{5});
}

TEST_F(Host, TheBinaryItselfLoadsAsWellAsTheBundle) {
    std::string error;
    auto direct = Bundle::load(bundle->binaryPath(), error);
    ASSERT_TRUE(direct) << error;
    EXPECT_EQ(direct->describe(0).identifier, "com.orvalis.test.HostProbe");
    // One binary, one plug-in state: loaded once, not once per bundle object.
    auto a = create();
    auto b = direct->createInstance(0);
    ASSERT_TRUE(b);
    EXPECT_EQ(said(*a, "loads"), "1");
    EXPECT_EQ(said(*b, "loads"), "1");
}

// ---- the suites as any plug-in sees them

const OfxHost* host() { return ofxhost::hostStruct(); }

template <typename Suite>
const Suite* suite(const char* name, int version) {
    return static_cast<const Suite*>(host()->fetchSuite(host()->host, name, version));
}

// The suites the layer fetches are there, or the probe would not load; what
// must be refused is not. (The host's own property values are a table in
// host_props.cpp; here only how they are read.)
TEST(HostSuites, FetchRefusesUnknownNamesAndVersions) {
    EXPECT_EQ(suite<void>(kOfxPropertySuite, 2), nullptr);
    EXPECT_EQ(suite<void>("OfxInteractSuite", 1), nullptr);
    EXPECT_EQ(suite<void>(nullptr, 1), nullptr);
}

// Options and other lists grow one string at a time; anything that is not
// one of the host's sets is refused, not read.
TEST(HostPropertySet, VariableDimensionsGrowAndForeignHandlesAreRefused) {
    ofxhost::detail::PropertySet set;
    set.defineString("List", {}, -1);
    EXPECT_EQ(set.setString("List", 0, "a", true), kOfxStatOK);
    EXPECT_EQ(set.setString("List", 1, "b", true), kOfxStatOK);
    EXPECT_EQ(set.strings("List"), (std::vector<std::string>{"a", "b"}));
    char* s = nullptr;
    EXPECT_EQ(set.getString("List", 2, &s), kOfxStatErrBadIndex);
    // Through the suites, as a plug-in hands them over.
    const auto* props = suite<OfxPropertySuiteV1>(kOfxPropertySuite, 1);
    const auto* effect = suite<OfxImageEffectSuiteV1>(kOfxImageEffectSuite, 1);
    ASSERT_TRUE(props && effect);
    int notASet = 0, v = 0;
    const auto foreign = reinterpret_cast<OfxPropertySetHandle>(&notASet);
    for (OfxPropertySetHandle h : {foreign, static_cast<OfxPropertySetHandle>(nullptr)})
        EXPECT_EQ(props->propGetInt(h, kOfxImageEffectPropSupportsTiles, 0, &v), kOfxStatErrBadHandle);
    EXPECT_EQ(effect->clipReleaseImage(foreign), kOfxStatErrBadHandle);
}

struct ThreadRecord {
    std::mutex mutex;
    std::set<unsigned> indices;
    std::atomic<int> spawned{0};
    const OfxMultiThreadSuiteV1* threads = nullptr;
};

// The count each index is given is the probe's bands' (its renders).
void recordThread(unsigned index, unsigned, void* arg) {
    auto* r = static_cast<ThreadRecord*>(arg);
    unsigned reported = 99;
    r->threads->multiThreadIndex(&reported);
    r->spawned += r->threads->multiThreadIsSpawnedThread();
    std::lock_guard lock(r->mutex);
    if (reported == index)
        r->indices.insert(index);
}

TEST(HostMultiThread, RunsEveryIndexOnItsOwnThread) {
    const auto* threads = suite<OfxMultiThreadSuiteV1>(kOfxMultiThreadSuite, 1);
    ASSERT_TRUE(threads);
    ThreadRecord r;
    r.threads = threads;
    ASSERT_EQ(threads->multiThread(recordThread, 5, &r), kOfxStatOK);
    EXPECT_EQ(r.indices, (std::set<unsigned>{0, 1, 2, 3, 4}));
    EXPECT_EQ(r.spawned.load(), 5);
    EXPECT_EQ(threads->multiThreadIsSpawnedThread(), 0);
    unsigned cpus = 0;
    EXPECT_EQ(threads->multiThreadNumCPUs(&cpus), kOfxStatOK);
    EXPECT_GE(cpus, 1u);
}

}  // namespace
