// Plain logic of the OFX layer: string forms of the enums, the mapping of
// exceptions to action statuses, and what the dispatcher answers a host that
// lacks the suites (the real host always has them).
#include <gtest/gtest.h>

#include <string>

#include "ofxsImageEffect.h"
#include "../../OpenFX/Support/ofxsSuites.h"

namespace {

using namespace OFX;

class Minimal : public PluginFactoryHelper<Minimal> {
public:
    Minimal() : PluginFactoryHelper("org.example.Minimal", 1, 0) {}
    void describe(ImageEffectDescriptor&) override {}
    void describeInContext(ImageEffectDescriptor&, ContextEnum) override {}
    ImageEffect* createInstance(OfxImageEffectHandle, ContextEnum) override { return nullptr; }
};

}  // namespace

void OFX::Plugin::getPluginIDs(OFX::PluginFactoryArray& ids) {
    static Minimal factory;
    ids.push_back(&factory);
}

OfxExport OfxPlugin* OfxGetPlugin(int nth);

namespace {

TEST(OfxDispatch, MissingSuitesGiveAStatusNotACrash) {
    OfxPlugin* plugin = OfxGetPlugin(0);
    ASSERT_NE(plugin, nullptr);
    int effect = 0;
    const void* handle = &effect;
    const auto none = [](OfxPropertySetHandle, const char*, int) -> const void* { return nullptr; };
    OfxHost empty{nullptr, none};
    for (OfxHost* host : {&empty, static_cast<OfxHost*>(nullptr)}) {
        plugin->setHost(host);
        EXPECT_EQ(plugin->mainEntry(kOfxActionDescribe, handle, nullptr, nullptr), kOfxStatErrMissingHostFeature);
        EXPECT_EQ(plugin->mainEntry(kOfxActionCreateInstance, handle, nullptr, nullptr), kOfxStatErrMissingHostFeature);
        EXPECT_EQ(plugin->mainEntry(kOfxActionLoad, nullptr, nullptr, nullptr), kOfxStatOK);  // needs no suite
    }
    EXPECT_EQ(plugin->mainEntry(nullptr, nullptr, nullptr, nullptr), kOfxStatErrBadHandle);
}

TEST(OfxEnumStrings, UnknownStringsAndValuesMapToNoneCustomOrText) {
    EXPECT_EQ(mapContextStringToEnum("OfxImageEffectContextNope"), eContextNone);
    EXPECT_EQ(mapContextStringToEnum(""), eContextNone);
    EXPECT_EQ(mapBitDepthStringToEnum("OfxBitDepthDouble"), eBitDepthCustom);
    EXPECT_EQ(mapPixelComponentStringToEnum(kOfxImageComponentYUVA), ePixelComponentCustom);
    EXPECT_EQ(mapChangeReasonStringToEnum("somethingElse"), eChangeUserEdit);
    EXPECT_EQ(mapRenderSafetyStringToEnum("x"), eRenderUnsafe);
    EXPECT_NE(mapBitDepthEnumToString(static_cast<BitDepthEnum>(99)), nullptr);
    EXPECT_NE(mapPixelComponentEnumToString(static_cast<PixelComponentEnum>(99)), nullptr);
    EXPECT_NE(mapMessageTypeEnumToString(static_cast<MessageTypeEnum>(99)), nullptr);
    EXPECT_NE(mapContextEnumToString(eContextNone), nullptr);
    EXPECT_STREQ(mapStatusToString(12345), "unknown status");
    EXPECT_EQ(bitDepthBytes(eBitDepthCustom), 0);
    EXPECT_EQ(pixelComponentCount(ePixelComponentCustom), 0);
}

// A status thrown, out of memory and a runtime error reach the host through
// the probe effect; what it never throws is checked here.
TEST(OfxStatusMapping, AnythingElseThrownIsAFailureAndStatusesPassThrough) {
    EXPECT_EQ(Private::guarded("t", []() -> OfxStatus { throw 42; }), kOfxStatFailed);
    EXPECT_EQ(Private::guarded("t", [] { return kOfxStatReplyDefault; }), kOfxStatReplyDefault);
    const Exception::Suite e(kOfxStatErrBadIndex);
    EXPECT_EQ(e.status(), kOfxStatErrBadIndex);
    EXPECT_NE(std::string(e.what()).find("kOfxStatErrBadIndex"), std::string::npos);
}

}  // namespace
