// The OFX layer driven through its C entry points by a small in-process host:
// registration, describe, instances, action dispatch and statuses, clips,
// images, parameters and messages, with suites present and absent.
#include <gtest/gtest.h>

#include <cstdarg>
#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "ofxsImageEffect.h"

// The layer's exported entry points, as a host finds them.
OfxExport int OfxGetNumberOfPlugins(void);
OfxExport OfxPlugin* OfxGetPlugin(int nth);

namespace {

// ---------------------------------------------------------------- fake host

using Value = std::variant<int, double, std::string, void*>;

struct Props {
  std::map<std::string, std::vector<Value>> values;
  std::vector<std::string> refused;  // setters on these answer kOfxStatErrUnknown

  template <class T>
  T get(const std::string& name, int index = 0) const {
    return std::get<T>(values.at(name).at(static_cast<size_t>(index)));
  }
  size_t count(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? 0 : it->second.size();
  }
};

OfxPropertySetHandle h(Props* p) { return reinterpret_cast<OfxPropertySetHandle>(p); }
Props* P(OfxPropertySetHandle h) { return reinterpret_cast<Props*>(h); }

template <class T>
OfxStatus setProp(OfxPropertySetHandle ph, const char* name, int index, T value) {
  Props* p = P(ph);
  if (p == nullptr)
    return kOfxStatErrBadHandle;
  for (const auto& r : p->refused)
    if (r == name)
      return kOfxStatErrUnknown;
  if (index < 0)
    return kOfxStatErrBadIndex;
  auto& v = p->values[name];
  if (v.size() <= static_cast<size_t>(index))
    v.resize(static_cast<size_t>(index) + 1, Value(T{}));
  v[static_cast<size_t>(index)] = value;
  return kOfxStatOK;
}

template <class T>
OfxStatus getProp(OfxPropertySetHandle ph, const char* name, int index, T* out) {
  Props* p = P(ph);
  if (p == nullptr)
    return kOfxStatErrBadHandle;
  auto it = p->values.find(name);
  if (it == p->values.end())
    return kOfxStatErrUnknown;
  if (index < 0 || static_cast<size_t>(index) >= it->second.size())
    return kOfxStatErrBadIndex;
  const T* v = std::get_if<T>(&it->second[static_cast<size_t>(index)]);
  if (v == nullptr)
    return kOfxStatErrValue;
  *out = *v;
  return kOfxStatOK;
}

OfxStatus propGetString(OfxPropertySetHandle ph, const char* name, int index, char** out) {
  Props* p = P(ph);
  if (p == nullptr)
    return kOfxStatErrBadHandle;
  auto it = p->values.find(name);
  if (it == p->values.end())
    return kOfxStatErrUnknown;
  if (index < 0 || static_cast<size_t>(index) >= it->second.size())
    return kOfxStatErrBadIndex;
  auto* v = std::get_if<std::string>(&it->second[static_cast<size_t>(index)]);
  if (v == nullptr)
    return kOfxStatErrValue;
  *out = v->data();
  return kOfxStatOK;
}

OfxStatus propGetDimension(OfxPropertySetHandle ph, const char* name, int* count) {
  Props* p = P(ph);
  if (p == nullptr)
    return kOfxStatErrBadHandle;
  auto it = p->values.find(name);
  if (it == p->values.end())
    return kOfxStatErrUnknown;
  *count = static_cast<int>(it->second.size());
  return kOfxStatOK;
}

OfxPropertySuiteV1 makePropertySuite() {
  OfxPropertySuiteV1 s{};
  s.propSetPointer = [](OfxPropertySetHandle p, const char* n, int i, void* v) { return setProp<void*>(p, n, i, v); };
  s.propSetString = [](OfxPropertySetHandle p, const char* n, int i, const char* v) {
    return setProp<std::string>(p, n, i, std::string(v));
  };
  s.propSetDouble = [](OfxPropertySetHandle p, const char* n, int i, double v) { return setProp<double>(p, n, i, v); };
  s.propSetInt = [](OfxPropertySetHandle p, const char* n, int i, int v) { return setProp<int>(p, n, i, v); };
  s.propGetPointer = [](OfxPropertySetHandle p, const char* n, int i, void** v) { return getProp<void*>(p, n, i, v); };
  s.propGetString = &propGetString;
  s.propGetDouble = [](OfxPropertySetHandle p, const char* n, int i, double* v) { return getProp<double>(p, n, i, v); };
  s.propGetInt = [](OfxPropertySetHandle p, const char* n, int i, int* v) { return getProp<int>(p, n, i, v); };
  s.propGetDimension = &propGetDimension;
  return s;
}

struct FakeParam {
  Props props;
  std::string type;
  double value = 0;
};

struct FakeImage {
  Props props;
  std::vector<unsigned char> pixels;
};

struct FakeClip {
  Props props;
  std::unique_ptr<FakeImage> image;  // what clipGetImage hands out; null = no image
  OfxStatus getStatus = kOfxStatOK;
};

struct FakeEffect {
  Props props;
  std::map<std::string, std::unique_ptr<FakeParam>> params;
  std::vector<std::string> paramOrder;
  std::map<std::string, std::unique_ptr<FakeClip>> clips;
  int abortFlag = 0;
};

struct Host {
  std::atomic<int> outstandingImages{0};
  std::vector<std::string> messages;  // "type|id|text|vN"
  bool hasProperty = true, hasImageEffect = true, hasParameter = true, hasMessageV1 = true, hasMessageV2 = true;
};
Host gHost;

void resetHost() {
  gHost.outstandingImages = 0;
  gHost.messages.clear();
  gHost.hasProperty = gHost.hasImageEffect = gHost.hasParameter = gHost.hasMessageV1 = gHost.hasMessageV2 = true;
}

OfxImageEffectHandle h(FakeEffect* e) { return reinterpret_cast<OfxImageEffectHandle>(e); }
FakeEffect* E(OfxImageEffectHandle h) { return reinterpret_cast<FakeEffect*>(h); }
FakeParam* PA(OfxParamHandle h) { return reinterpret_cast<FakeParam*>(h); }

OfxImageEffectSuiteV1 makeImageEffectSuite() {
  OfxImageEffectSuiteV1 s{};
  s.getPropertySet = [](OfxImageEffectHandle e, OfxPropertySetHandle* p) {
    if (e == nullptr)
      return kOfxStatErrBadHandle;
    *p = h(&E(e)->props);
    return kOfxStatOK;
  };
  s.getParamSet = [](OfxImageEffectHandle e, OfxParamSetHandle* ps) {
    *ps = reinterpret_cast<OfxParamSetHandle>(e);
    return kOfxStatOK;
  };
  s.clipDefine = [](OfxImageEffectHandle e, const char* name, OfxPropertySetHandle* p) {
    auto& c = E(e)->clips[name];
    if (!c)
      c = std::make_unique<FakeClip>();
    *p = h(&c->props);
    return kOfxStatOK;
  };
  s.clipGetHandle = [](OfxImageEffectHandle e, const char* name, OfxImageClipHandle* clip, OfxPropertySetHandle* p) {
    auto it = E(e)->clips.find(name);
    if (it == E(e)->clips.end())
      return kOfxStatErrUnknown;
    *clip = reinterpret_cast<OfxImageClipHandle>(it->second.get());
    if (p != nullptr)
      *p = h(&it->second->props);
    return kOfxStatOK;
  };
  s.clipGetImage = [](OfxImageClipHandle clip, OfxTime, const OfxRectD*, OfxPropertySetHandle* img) {
    auto* c = reinterpret_cast<FakeClip*>(clip);
    if (c->getStatus != kOfxStatOK)
      return c->getStatus;
    if (!c->image)
      return kOfxStatFailed;
    ++gHost.outstandingImages;
    *img = h(&c->image->props);
    return kOfxStatOK;
  };
  s.clipReleaseImage = [](OfxPropertySetHandle) {
    --gHost.outstandingImages;
    return kOfxStatOK;
  };
  s.abort = [](OfxImageEffectHandle e) { return E(e)->abortFlag; };
  return s;
}

OfxStatus paramGetValue(OfxParamHandle ph, ...) {
  va_list ap;
  va_start(ap, ph);
  FakeParam* p = PA(ph);
  if (p->type == kOfxParamTypeDouble)
    *va_arg(ap, double*) = p->value;
  else
    *va_arg(ap, int*) = static_cast<int>(p->value);
  va_end(ap);
  return kOfxStatOK;
}

OfxStatus paramGetValueAtTime(OfxParamHandle ph, OfxTime t, ...) {
  va_list ap;
  va_start(ap, t);
  FakeParam* p = PA(ph);
  if (p->type == kOfxParamTypeDouble)
    *va_arg(ap, double*) = p->value + t;  // a time-dependent curve
  else
    *va_arg(ap, int*) = static_cast<int>(p->value + t);
  va_end(ap);
  return kOfxStatOK;
}

OfxStatus paramSetValue(OfxParamHandle ph, ...) {
  va_list ap;
  va_start(ap, ph);
  FakeParam* p = PA(ph);
  if (p->type == kOfxParamTypeDouble)
    p->value = va_arg(ap, double);
  else
    p->value = va_arg(ap, int);
  va_end(ap);
  return kOfxStatOK;
}

OfxParameterSuiteV1 makeParameterSuite() {
  OfxParameterSuiteV1 s{};
  s.paramDefine = [](OfxParamSetHandle ps, const char* type, const char* name, OfxPropertySetHandle* p) {
    auto* e = reinterpret_cast<FakeEffect*>(ps);
    if (e->params.count(name) != 0)
      return kOfxStatErrExists;
    auto param = std::make_unique<FakeParam>();
    param->type = type;
    param->props.values[kOfxParamPropType] = {std::string(type)};
    *p = h(&param->props);
    e->paramOrder.push_back(name);
    e->params[name] = std::move(param);
    return kOfxStatOK;
  };
  s.paramGetHandle = [](OfxParamSetHandle ps, const char* name, OfxParamHandle* param, OfxPropertySetHandle* p) {
    auto* e = reinterpret_cast<FakeEffect*>(ps);
    auto it = e->params.find(name);
    if (it == e->params.end())
      return kOfxStatErrUnknown;
    *param = reinterpret_cast<OfxParamHandle>(it->second.get());
    if (p != nullptr)
      *p = h(&it->second->props);
    return kOfxStatOK;
  };
  s.paramGetValue = &paramGetValue;
  s.paramGetValueAtTime = &paramGetValueAtTime;
  s.paramSetValue = &paramSetValue;
  return s;
}

OfxStatus recordMessage(const char* version, const char* type, const char* id, const char* format, va_list ap) {
  char text[256];
  std::vsnprintf(text, sizeof text, format, ap);
  gHost.messages.push_back(std::string(type) + "|" + id + "|" + text + "|" + version);
  return std::string(type) == kOfxMessageQuestion ? kOfxStatReplyYes : kOfxStatOK;
}

OfxStatus messageV1(void*, const char* type, const char* id, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  const OfxStatus st = recordMessage("v1", type, id, format, ap);
  va_end(ap);
  return st;
}

OfxStatus messageV2(void*, const char* type, const char* id, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  const OfxStatus st = recordMessage("v2", type, id, format, ap);
  va_end(ap);
  return st;
}

OfxPropertySuiteV1 gPropertySuite = makePropertySuite();
OfxImageEffectSuiteV1 gImageEffectSuite = makeImageEffectSuite();
OfxParameterSuiteV1 gParameterSuite = makeParameterSuite();
OfxMessageSuiteV1 gMessageV1{&messageV1};
OfxMessageSuiteV2 gMessageV2{&messageV2, nullptr, nullptr};

const void* fetchSuite(OfxPropertySetHandle, const char* name, int version) {
  const std::string n(name);
  if (n == kOfxPropertySuite && version == 1 && gHost.hasProperty)
    return &gPropertySuite;
  if (n == kOfxImageEffectSuite && version == 1 && gHost.hasImageEffect)
    return &gImageEffectSuite;
  if (n == kOfxParameterSuite && version == 1 && gHost.hasParameter)
    return &gParameterSuite;
  if (n == kOfxMessageSuite && version == 1 && gHost.hasMessageV1)
    return &gMessageV1;
  if (n == kOfxMessageSuite && version == 2 && gHost.hasMessageV2)
    return &gMessageV2;
  return nullptr;
}

Props gHostProps;
OfxHost gOfxHost{h(&gHostProps), &fetchSuite};

// ------------------------------------------------------- the plug-in under test

struct Record {
  int live = 0;
  std::vector<std::string> calls;
  OFX::RenderArguments lastRender{};
  OfxStatus throwInCreate = kOfxStatOK;
  bool throwBadAllocInCreate = false;
  bool throwRuntimeInRender = false;
  OFX::ContextEnum createdContext = OFX::eContextNone;
};
Record gRec;

class TestEffect : public OFX::ImageEffect {
 public:
  TestEffect(OfxImageEffectHandle handle) : ImageEffect(handle) {
    if (gRec.throwInCreate != kOfxStatOK)
      OFX::throwSuiteStatusException(gRec.throwInCreate);
    if (gRec.throwBadAllocInCreate)
      throw std::bad_alloc();
    ++gRec.live;
  }
  ~TestEffect() override { --gRec.live; }
  void render(const OFX::RenderArguments& args) override {
    if (gRec.throwRuntimeInRender)
      throw std::runtime_error("render broke");
    gRec.lastRender = args;
    gRec.calls.push_back("render");
  }
  void beginChanged(OFX::InstanceChangeReason r) override { gRec.calls.push_back("begin:" + std::to_string(r)); }
  void changedParam(const OFX::InstanceChangedArgs& a, const std::string& name) override {
    gRec.calls.push_back("param:" + name + ":" + std::to_string(a.reason) + ":" + std::to_string(a.time));
  }
  void changedClip(const OFX::InstanceChangedArgs&, const std::string& name) override {
    gRec.calls.push_back("clip:" + name);
  }
  void endChanged(OFX::InstanceChangeReason r) override { gRec.calls.push_back("end:" + std::to_string(r)); }
  void syncPrivateData() override { gRec.calls.push_back("sync"); }
};

class TestFactory : public OFX::PluginFactoryHelper<TestFactory> {
 public:
  TestFactory() : PluginFactoryHelper("org.example.LayerTest", 3, 7) {}
  void load() override { gRec.calls.push_back("load"); }
  void describe(OFX::ImageEffectDescriptor& d) override {
    d.setLabels("L", "S", "Long");
    d.setPluginGrouping("Group");
    d.addSupportedContext(OFX::eContextFilter);
    d.addSupportedContext(OFX::eContextGeneral);
    d.addSupportedBitDepth(OFX::eBitDepthUByte);
    d.addSupportedBitDepth(OFX::eBitDepthFloat);
    d.setSupportsTiles(false);
    d.setRenderThreadSafety(OFX::eRenderFullySafe);
  }
  void describeInContext(OFX::ImageEffectDescriptor& d, OFX::ContextEnum) override {
    OFX::ClipDescriptor* src = d.defineClip("Source");
    src->addSupportedComponent(OFX::ePixelComponentRGBA);
    src->setTemporalClipAccess(false);
    OFX::GroupParamDescriptor* group = d.defineGroupParam("grp");
    group->setOpen(true);
    OFX::ChoiceParamDescriptor* choice = d.defineChoiceParam("mode");
    choice->setLabel("Mode");
    choice->setHint("Pick one");
    choice->appendOption("A");
    choice->appendOption("B", "the second");
    choice->setDefault(1);
    choice->setParent(*group);
    OFX::IntParamDescriptor* size = d.defineIntParam("size");
    size->setDefault(30);
    size->setRange(8, 30);
    // Same name again: the first definition, not a second host parameter.
    EXPECT_EQ(d.defineIntParam("size"), size);
    EXPECT_EQ(d.defineDoubleParam("size"), nullptr);
  }
  OFX::ImageEffect* createInstance(OfxImageEffectHandle handle, OFX::ContextEnum context) override {
    gRec.createdContext = context;
    return new TestEffect(handle);
  }
};

}  // namespace

void OFX::Plugin::getPluginIDs(OFX::PluginFactoryArray& ids) {
  static TestFactory factory;
  ids.push_back(&factory);
}

namespace {

// ---------------------------------------------------------------- fixtures

class OfxLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHost();
    gRec = Record{};
    ASSERT_EQ(OfxGetNumberOfPlugins(), 1);
    plugin = OfxGetPlugin(0);
    ASSERT_NE(plugin, nullptr);
    plugin->setHost(&gOfxHost);
  }
  OfxStatus action(const char* name, FakeEffect* effect, Props* in = nullptr, Props* out = nullptr) {
    return plugin->mainEntry(name, effect != nullptr ? h(effect) : nullptr, in != nullptr ? h(in) : nullptr,
                             out != nullptr ? h(out) : nullptr);
  }
  // A described instance in the filter context, as a host makes one.
  void makeInstance(FakeEffect& e) {
    Props in;
    in.values[kOfxImageEffectPropContext] = {std::string(kOfxImageEffectContextFilter)};
    ASSERT_EQ(action(kOfxImageEffectActionDescribeInContext, &e, &in), kOfxStatOK);
    e.props.values[kOfxImageEffectPropContext] = {std::string(kOfxImageEffectContextFilter)};
    ASSERT_EQ(action(kOfxActionCreateInstance, &e), kOfxStatOK);
  }
  TestEffect* instanceOf(FakeEffect& e) {
    return static_cast<TestEffect*>(e.props.get<void*>(kOfxPropInstanceData));
  }

  OfxPlugin* plugin = nullptr;
};

// ---------------------------------------------------------------- tests

TEST_F(OfxLayer, EntryPointsDescribeThePlugin) {
  EXPECT_STREQ(plugin->pluginApi, kOfxImageEffectPluginApi);
  EXPECT_EQ(plugin->apiVersion, 1);
  EXPECT_STREQ(plugin->pluginIdentifier, "org.example.LayerTest");
  EXPECT_EQ(plugin->pluginVersionMajor, 3u);
  EXPECT_EQ(plugin->pluginVersionMinor, 7u);
  EXPECT_EQ(OfxGetPlugin(1), nullptr);
  EXPECT_EQ(OfxGetPlugin(-1), nullptr);
}

TEST_F(OfxLayer, DescribeWritesEffectProperties) {
  FakeEffect e;
  e.props.refused = {kOfxImageEffectPropSupportsTiles};  // a host without tiles: skipped, not fatal
  ASSERT_EQ(action(kOfxActionDescribe, &e), kOfxStatOK);
  EXPECT_EQ(e.props.get<std::string>(kOfxPropShortLabel), "S");
  EXPECT_EQ(e.props.get<std::string>(kOfxPropLongLabel), "Long");
  EXPECT_EQ(e.props.get<std::string>(kOfxImageEffectPluginPropGrouping), "Group");
  ASSERT_EQ(e.props.count(kOfxImageEffectPropSupportedContexts), 2u);
  EXPECT_EQ(e.props.get<std::string>(kOfxImageEffectPropSupportedContexts, 1), kOfxImageEffectContextGeneral);
  EXPECT_EQ(e.props.get<std::string>(kOfxImageEffectPropSupportedPixelDepths, 0), kOfxBitDepthByte);
  EXPECT_EQ(e.props.get<std::string>(kOfxImageEffectPropSupportedPixelDepths, 1), kOfxBitDepthFloat);
  EXPECT_EQ(e.props.get<std::string>(kOfxImageEffectPluginRenderThreadSafety), kOfxImageEffectRenderFullySafe);
}

TEST_F(OfxLayer, DescribeInContextDefinesClipsAndParams) {
  FakeEffect e;
  Props in;
  in.values[kOfxImageEffectPropContext] = {std::string(kOfxImageEffectContextFilter)};
  ASSERT_EQ(action(kOfxImageEffectActionDescribeInContext, &e, &in), kOfxStatOK);
  ASSERT_EQ(e.clips.count("Source"), 1u);
  EXPECT_EQ(e.clips["Source"]->props.get<std::string>(kOfxImageEffectPropSupportedComponents), kOfxImageComponentRGBA);
  EXPECT_EQ(e.clips["Source"]->props.get<int>(kOfxImageEffectPropTemporalClipAccess), 0);
  EXPECT_EQ(e.paramOrder, (std::vector<std::string>{"grp", "mode", "size"}));
  const Props& mode = e.params["mode"]->props;
  EXPECT_EQ(mode.get<std::string>(kOfxPropLabel), "Mode");
  EXPECT_EQ(mode.get<std::string>(kOfxPropShortLabel), "Mode");
  EXPECT_EQ(mode.get<std::string>(kOfxParamPropScriptName), "mode");
  EXPECT_EQ(mode.get<std::string>(kOfxParamPropChoiceOption, 0), "A");
  EXPECT_EQ(mode.get<std::string>(kOfxParamPropChoiceOption, 1), "B");
  EXPECT_EQ(mode.get<std::string>(kOfxParamPropHint), "Pick one\nB: the second");
  EXPECT_EQ(mode.get<std::string>(kOfxParamPropParent), "grp");
  EXPECT_EQ(mode.get<int>(kOfxParamPropDefault), 1);
  EXPECT_EQ(e.params["size"]->props.get<int>(kOfxParamPropMax), 30);
  EXPECT_EQ(e.params["grp"]->props.get<int>(kOfxParamPropGroupOpen), 1);
}

TEST_F(OfxLayer, UnknownActionsAnswerReplyDefault) {
  FakeEffect e;
  EXPECT_EQ(action(kOfxImageEffectActionGetRegionOfDefinition, &e), kOfxStatReplyDefault);
  EXPECT_EQ(action("SomeFutureAction", &e), kOfxStatReplyDefault);
  EXPECT_EQ(action(kOfxActionLoad, nullptr), kOfxStatOK);
  EXPECT_EQ(gRec.calls, std::vector<std::string>{"load"});
  EXPECT_EQ(plugin->mainEntry(nullptr, nullptr, nullptr, nullptr), kOfxStatErrBadHandle);
}

TEST_F(OfxLayer, InstancesLiveFromCreateToDestroy) {
  FakeEffect e;
  makeInstance(e);
  EXPECT_EQ(gRec.live, 1);
  EXPECT_EQ(gRec.createdContext, OFX::eContextFilter);
  TestEffect* effect = instanceOf(e);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->getContext(), OFX::eContextFilter);
  EXPECT_EQ(effect->getHandle(), h(&e));
  EXPECT_EQ(action(kOfxActionDestroyInstance, &e), kOfxStatOK);
  EXPECT_EQ(gRec.live, 0);
  EXPECT_EQ(e.props.get<void*>(kOfxPropInstanceData), nullptr);
  // The instance is gone: later actions on the handle fail instead of reaching freed memory.
  EXPECT_EQ(action(kOfxActionSyncPrivateData, &e), kOfxStatErrBadHandle);
  EXPECT_EQ(action(kOfxActionDestroyInstance, &e), kOfxStatErrBadHandle);
}

TEST_F(OfxLayer, ThrowingConstructorFailsCreateWithItsStatus) {
  FakeEffect e;
  gRec.throwInCreate = kOfxStatErrFormat;
  Props in;
  in.values[kOfxImageEffectPropContext] = {std::string(kOfxImageEffectContextFilter)};
  EXPECT_EQ(action(kOfxActionCreateInstance, &e), kOfxStatErrFormat);
  EXPECT_EQ(e.props.count(kOfxPropInstanceData), 0u);
  gRec.throwInCreate = kOfxStatOK;
  gRec.throwBadAllocInCreate = true;
  EXPECT_EQ(action(kOfxActionCreateInstance, &e), kOfxStatErrMemory);
  EXPECT_EQ(gRec.live, 0);
}

TEST_F(OfxLayer, HostThatCannotKeepTheInstanceGetsNoneLeaked) {
  FakeEffect e;
  e.props.refused = {kOfxPropInstanceData};
  e.props.values[kOfxImageEffectPropContext] = {std::string(kOfxImageEffectContextFilter)};
  EXPECT_NE(action(kOfxActionCreateInstance, &e), kOfxStatOK);
  EXPECT_EQ(gRec.live, 0);
}

TEST_F(OfxLayer, RenderReceivesItsArguments) {
  FakeEffect e;
  makeInstance(e);
  Props in;
  in.values[kOfxPropTime] = {12.5};
  in.values[kOfxImageEffectPropRenderScale] = {0.5, 0.25};
  in.values[kOfxImageEffectPropRenderWindow] = {1, 2, 30, 40};
  in.values[kOfxImageEffectPropFieldToRender] = {std::string(kOfxImageFieldBoth)};
  ASSERT_EQ(action(kOfxImageEffectActionRender, &e, &in), kOfxStatOK);
  EXPECT_EQ(gRec.lastRender.time, 12.5);
  EXPECT_EQ(gRec.lastRender.renderScale.y, 0.25);
  EXPECT_EQ(gRec.lastRender.renderWindow.x2, 30);
  EXPECT_EQ(gRec.lastRender.renderWindow.y2, 40);
  EXPECT_EQ(gRec.lastRender.fieldToRender, kOfxImageFieldBoth);
  gRec.throwRuntimeInRender = true;
  EXPECT_EQ(action(kOfxImageEffectActionRender, &e, &in), kOfxStatFailed);
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, InstanceChangedRoutesParamsAndClips) {
  FakeEffect e;
  makeInstance(e);
  Props in;
  in.values[kOfxPropChangeReason] = {std::string(kOfxChangePluginEdited)};
  in.values[kOfxPropTime] = {2.0};
  in.values[kOfxImageEffectPropRenderScale] = {1.0, 1.0};
  in.values[kOfxPropType] = {std::string(kOfxTypeParameter)};
  in.values[kOfxPropName] = {std::string("mode")};
  EXPECT_EQ(action(kOfxActionBeginInstanceChanged, &e, &in), kOfxStatOK);
  EXPECT_EQ(action(kOfxActionInstanceChanged, &e, &in), kOfxStatOK);
  in.values[kOfxPropType] = {std::string(kOfxTypeClip)};
  in.values[kOfxPropName] = {std::string("Source")};
  EXPECT_EQ(action(kOfxActionInstanceChanged, &e, &in), kOfxStatOK);
  EXPECT_EQ(action(kOfxActionEndInstanceChanged, &e, &in), kOfxStatOK);
  EXPECT_EQ(action(kOfxActionSyncPrivateData, &e), kOfxStatOK);
  const std::vector<std::string> expected{"begin:1", "param:mode:1:" + std::to_string(2.0), "clip:Source", "end:1",
                                          "sync"};
  EXPECT_EQ(gRec.calls, expected);
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, ParamsReadAndWriteThroughTheSuite) {
  FakeEffect e;
  makeInstance(e);
  TestEffect* effect = instanceOf(e);
  e.params["mode"]->value = 1;
  e.params["size"]->value = 17;
  OFX::ChoiceParam* mode = effect->fetchChoiceParam("mode");
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->getValue(), 1);
  EXPECT_EQ(effect->fetchChoiceParam("mode"), mode);  // fetched once, kept
  OFX::IntParam* size = effect->fetchIntParam("size");
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(size->getValueAtTime(3.0), 20);
  size->setValue(9);
  EXPECT_EQ(e.params["size"]->value, 9);
  // Wrong type or missing: null, never a crash.
  EXPECT_EQ(effect->fetchDoubleParam("size"), nullptr);
  EXPECT_EQ(effect->fetchIntParam("nope"), nullptr);
  mode->setEnabled(false);
  mode->setIsSecret(true);
  EXPECT_FALSE(mode->getIsEnable());
  EXPECT_TRUE(mode->getIsSecret());
  EXPECT_EQ(e.params["mode"]->props.get<int>(kOfxParamPropEnabled), 0);
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, DoubleParamUsesDoubleVarargs) {
  FakeEffect e;
  makeInstance(e);
  // A double parameter the describe did not make: the host may have more.
  auto p = std::make_unique<FakeParam>();
  p->type = kOfxParamTypeDouble;
  p->props.values[kOfxParamPropType] = {std::string(kOfxParamTypeDouble)};
  p->value = 4.25;
  e.params["pointSize"] = std::move(p);
  OFX::DoubleParam* d = instanceOf(e)->fetchDoubleParam("pointSize");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->getValue(), 4.25);
  EXPECT_EQ(d->getValueAtTime(1.0), 5.25);
  d->setValue(0.1);
  EXPECT_EQ(e.params["pointSize"]->value, 0.1);
  action(kOfxActionDestroyInstance, &e);
}

// An RGBA float image of w x h at (x0, y0) with the given row bytes.
std::unique_ptr<FakeImage> floatImage(int x0, int y0, int w, int hgt, int rowBytes) {
  auto img = std::make_unique<FakeImage>();
  const int absRow = rowBytes < 0 ? -rowBytes : rowBytes;
  img->pixels.assign(static_cast<size_t>(absRow) * static_cast<size_t>(hgt), 0);
  unsigned char* first = rowBytes < 0 ? img->pixels.data() + static_cast<size_t>(absRow) * (hgt - 1) : img->pixels.data();
  img->props.values[kOfxImagePropData] = {static_cast<void*>(first)};
  img->props.values[kOfxImagePropBounds] = {x0, y0, x0 + w, y0 + hgt};
  img->props.values[kOfxImagePropRowBytes] = {rowBytes};
  img->props.values[kOfxImageEffectPropPixelDepth] = {std::string(kOfxBitDepthFloat)};
  img->props.values[kOfxImageEffectPropComponents] = {std::string(kOfxImageComponentRGBA)};
  img->props.values[kOfxImagePropUniqueIdentifier] = {std::string("frame-7")};
  return img;
}

TEST_F(OfxLayer, ImagesGiveAddressesAndAreReleased) {
  FakeEffect e;
  makeInstance(e);
  e.clips["Source"]->image = floatImage(10, 20, 4, 3, 4 * 16 + 8);  // padded rows
  e.clips["Source"]->props.values[kOfxImageClipPropConnected] = {1};
  OFX::Clip* clip = instanceOf(e)->fetchClip("Source");
  ASSERT_NE(clip, nullptr);
  EXPECT_TRUE(clip->isConnected());
  {
    std::unique_ptr<OFX::Image> img(clip->fetchImage(0.0));
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(gHost.outstandingImages, 1);
    EXPECT_EQ(img->getPixelComponentCount(), 4);
    EXPECT_EQ(img->getPixelDepth(), OFX::eBitDepthFloat);
    EXPECT_EQ(img->getUniqueIdentifier(), "frame-7");
    EXPECT_EQ(img->getRegionOfDefinition().x2, 14);  // absent: the bounds stand in
    auto* base = static_cast<unsigned char*>(img->getPixelData());
    EXPECT_EQ(img->getPixelAddress(10, 20), base);
    EXPECT_EQ(img->getPixelAddress(13, 22), base + 2 * (4 * 16 + 8) + 3 * 16);
    EXPECT_EQ(img->getPixelAddress(14, 20), nullptr);
    EXPECT_EQ(img->getPixelAddress(9, 20), nullptr);
    EXPECT_EQ(img->getPixelAddress(10, 23), nullptr);
  }
  EXPECT_EQ(gHost.outstandingImages, 0);
  EXPECT_EQ(instanceOf(e)->fetchClip("Nope"), nullptr);
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, BottomUpImagesUseNegativeRowBytes) {
  FakeEffect e;
  makeInstance(e);
  e.clips["Source"]->image = floatImage(0, 0, 2, 3, -32);
  std::unique_ptr<OFX::Image> img(instanceOf(e)->fetchClip("Source")->fetchImage(0.0));
  ASSERT_NE(img, nullptr);
  auto* base = static_cast<unsigned char*>(img->getPixelData());
  EXPECT_EQ(img->getPixelAddress(1, 2), base - 64 + 16);
  EXPECT_EQ(img->getPixelAddress(1, 2), e.clips["Source"]->image->pixels.data() + 16);
  img.reset();
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, MissingImagesAndMalformedImages) {
  FakeEffect e;
  makeInstance(e);
  OFX::Clip* clip = instanceOf(e)->fetchClip("Source");
  EXPECT_EQ(clip->fetchImage(0.0), nullptr);  // host has none
  e.clips["Source"]->getStatus = kOfxStatErrMemory;
  EXPECT_EQ(clip->fetchImage(0.0), nullptr);
  e.clips["Source"]->getStatus = kOfxStatOK;
  e.clips["Source"]->image = floatImage(0, 0, 2, 2, 32);
  e.clips["Source"]->image->props.values.erase(kOfxImagePropBounds);
  EXPECT_THROW(clip->fetchImage(0.0), OFX::Exception::Suite);
  EXPECT_EQ(gHost.outstandingImages, 0);  // released although it could not be read
  e.clips["Source"]->image = floatImage(0, 0, 2, 2, 32);
  e.clips["Source"]->image->props.values[kOfxImageEffectPropPixelDepth] = {std::string("OfxBitDepthDouble")};
  std::unique_ptr<OFX::Image> odd(clip->fetchImage(0.0));
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(odd->getPixelDepth(), OFX::eBitDepthCustom);
  EXPECT_EQ(odd->getPixelAddress(0, 0), nullptr);  // unknown size: no address
  odd.reset();
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, MessagesPreferV2AndKeepPercentSigns) {
  FakeEffect e;
  makeInstance(e);
  TestEffect* effect = instanceOf(e);
  EXPECT_EQ(effect->sendMessage(OFX::eMessageError, "id1", "50% done %s"), kOfxStatOK);
  EXPECT_EQ(effect->sendMessage(OFX::eMessageQuestion, "q", "Sure?"), kOfxStatReplyYes);
  ASSERT_EQ(gHost.messages.size(), 2u);
  EXPECT_EQ(gHost.messages[0], std::string(kOfxMessageError) + "|id1|50% done %s|v2");
  action(kOfxActionDestroyInstance, &e);

  gHost.hasMessageV2 = false;
  plugin->setHost(&gOfxHost);
  FakeEffect e1;
  makeInstance(e1);
  EXPECT_EQ(instanceOf(e1)->sendMessage(OFX::eMessageMessage, "", "hi"), kOfxStatOK);
  EXPECT_EQ(gHost.messages.back(), std::string(kOfxMessageMessage) + "||hi|v1");
  action(kOfxActionDestroyInstance, &e1);

  gHost.hasMessageV1 = false;
  plugin->setHost(&gOfxHost);
  FakeEffect e2;
  makeInstance(e2);
  EXPECT_EQ(instanceOf(e2)->sendMessage(OFX::eMessageMessage, "", "lost"), kOfxStatFailed);
  action(kOfxActionDestroyInstance, &e2);
}

// Hosts render one instance from several threads; each render fetches its
// clip, image and parameters.
TEST_F(OfxLayer, ConcurrentRendersShareClipsAndParams) {
  FakeEffect e;
  makeInstance(e);
  e.clips["Source"]->image = floatImage(0, 0, 8, 8, 8 * 16);
  e.params["size"]->value = 12;
  TestEffect* effect = instanceOf(e);
  std::vector<OFX::Clip*> clips(4, nullptr);
  std::vector<OFX::IntParam*> sizes(4, nullptr);
  std::vector<int> values(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        clips[t] = effect->fetchClip("Source");
        sizes[t] = effect->fetchIntParam("size");
        std::unique_ptr<OFX::Image> img(clips[t]->fetchImage(0.0));
        values[t] = sizes[t]->getValue() + (img && img->getPixelAddress(7, 7) != nullptr ? 1 : 0);
      }
    });
  for (auto& th : threads)
    th.join();
  for (size_t t = 0; t < 4; ++t) {
    EXPECT_EQ(clips[t], clips[0]);
    EXPECT_EQ(sizes[t], sizes[0]);
    EXPECT_EQ(values[t], 13);
  }
  EXPECT_EQ(gHost.outstandingImages, 0);
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, AbortAsksTheHost) {
  FakeEffect e;
  makeInstance(e);
  EXPECT_FALSE(instanceOf(e)->abort());
  e.abortFlag = 1;
  EXPECT_TRUE(instanceOf(e)->abort());
  action(kOfxActionDestroyInstance, &e);
}

TEST_F(OfxLayer, MissingSuitesFailWithAStatusNotACrash) {
  FakeEffect e;
  gHost.hasImageEffect = false;
  plugin->setHost(&gOfxHost);
  EXPECT_EQ(action(kOfxActionDescribe, &e), kOfxStatErrMissingHostFeature);
  EXPECT_EQ(action(kOfxActionCreateInstance, &e), kOfxStatErrMissingHostFeature);

  resetHost();
  gHost.hasProperty = false;
  plugin->setHost(&gOfxHost);
  EXPECT_EQ(action(kOfxActionDescribe, &e), kOfxStatErrMissingHostFeature);

  plugin->setHost(nullptr);
  EXPECT_EQ(action(kOfxActionDescribe, &e), kOfxStatErrMissingHostFeature);
  OfxHost noFetcher{h(&gHostProps), nullptr};
  plugin->setHost(&noFetcher);
  EXPECT_EQ(action(kOfxActionDescribe, &e), kOfxStatErrMissingHostFeature);
  EXPECT_EQ(action(kOfxActionLoad, nullptr), kOfxStatOK);  // needs no suite
}

TEST_F(OfxLayer, MissingParameterSuiteFailsDescribeInContextOnly) {
  FakeEffect e;
  gHost.hasParameter = false;
  plugin->setHost(&gOfxHost);
  EXPECT_EQ(action(kOfxActionDescribe, &e), kOfxStatOK);
  Props in;
  in.values[kOfxImageEffectPropContext] = {std::string(kOfxImageEffectContextFilter)};
  EXPECT_EQ(action(kOfxImageEffectActionDescribeInContext, &e, &in), kOfxStatErrMissingHostFeature);
}

}  // namespace
