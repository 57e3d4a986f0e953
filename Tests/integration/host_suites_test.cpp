// The suites as a plug-in sees them: fetching by name and version, the host's
// own properties, property-set rules and the multi-thread suite.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <mutex>
#include <set>

#include "ofxImageEffect.h"
#include "ofxMemory.h"
#include "ofxMessage.h"
#include "ofxMultiThread.h"
#include "ofxParam.h"
#include "ofxProperty.h"
#include "ofxhost/host.h"
#include "ofxhost/property_set.h"

namespace {

const OfxHost* host() { return ofxhost::hostStruct(); }

template <typename Suite>
const Suite* suite(const char* name, int version) {
  return static_cast<const Suite*>(host()->fetchSuite(host()->host, name, version));
}

TEST(HostSuites, FetchAnswersByNameAndVersion) {
  EXPECT_NE(suite<OfxPropertySuiteV1>(kOfxPropertySuite, 1), nullptr);
  EXPECT_NE(suite<OfxImageEffectSuiteV1>(kOfxImageEffectSuite, 1), nullptr);
  EXPECT_NE(suite<OfxParameterSuiteV1>(kOfxParameterSuite, 1), nullptr);
  EXPECT_NE(suite<OfxMemorySuiteV1>(kOfxMemorySuite, 1), nullptr);
  EXPECT_NE(suite<OfxMultiThreadSuiteV1>(kOfxMultiThreadSuite, 1), nullptr);
  EXPECT_NE(suite<OfxMessageSuiteV1>(kOfxMessageSuite, 1), nullptr);
  EXPECT_NE(suite<OfxMessageSuiteV2>(kOfxMessageSuite, 2), nullptr);
  EXPECT_EQ(suite<void>(kOfxPropertySuite, 2), nullptr);
  EXPECT_EQ(suite<void>("OfxInteractSuite", 1), nullptr);
  EXPECT_EQ(suite<void>(nullptr, 1), nullptr);
}

TEST(HostSuites, HostPropertiesDescribeThisHost) {
  const auto* props = suite<OfxPropertySuiteV1>(kOfxPropertySuite, 1);
  ASSERT_TRUE(props);
  char* s = nullptr;
  ASSERT_EQ(props->propGetString(host()->host, kOfxPropName, 0, &s), kOfxStatOK);
  EXPECT_STREQ(s, "com.orvalis.host");
  ASSERT_EQ(props->propGetString(host()->host, kOfxPropType, 0, &s), kOfxStatOK);
  EXPECT_STREQ(s, kOfxTypeImageEffectHost);
  int n = 0;
  ASSERT_EQ(props->propGetDimension(host()->host, kOfxImageEffectPropSupportedPixelDepths, &n), kOfxStatOK);
  EXPECT_EQ(n, 3);
  int v = -1;
  ASSERT_EQ(props->propGetInt(host()->host, kOfxImageEffectPropSupportsMultipleClipDepths, 0, &v), kOfxStatOK);
  EXPECT_EQ(v, 0);
  ASSERT_EQ(props->propGetInt(host()->host, kOfxImageEffectPropSupportsTiles, 0, &v), kOfxStatOK);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(props->propGetInt(host()->host, kOfxImageEffectPropSupportsMultiResolution, 0, &v), kOfxStatOK);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(props->propGetString(host()->host, kOfxImageEffectPropSupportedComponents, 0, &s), kOfxStatOK);
  EXPECT_STREQ(s, kOfxImageComponentRGBA);
}

TEST(HostSuites, PropertyErrorsFollowTheStandard) {
  const auto* props = suite<OfxPropertySuiteV1>(kOfxPropertySuite, 1);
  ASSERT_TRUE(props);
  int v = 0;
  double d = 0;
  EXPECT_EQ(props->propGetInt(host()->host, "NoSuchProperty", 0, &v), kOfxStatErrUnknown);
  EXPECT_EQ(props->propGetDouble(host()->host, kOfxImageEffectPropSupportsTiles, 0, &d), kOfxStatErrValue);
  EXPECT_EQ(props->propGetInt(host()->host, kOfxImageEffectPropSupportsTiles, 1, &v), kOfxStatErrBadIndex);
  EXPECT_EQ(props->propGetInt(nullptr, kOfxImageEffectPropSupportsTiles, 0, &v), kOfxStatErrBadHandle);
  // The host's set is read-only to plug-ins.
  EXPECT_EQ(props->propSetInt(host()->host, kOfxImageEffectPropSupportsTiles, 0, 0), kOfxStatErrValue);
  EXPECT_EQ(props->propGetInt(host()->host, kOfxImageEffectPropSupportsTiles, 0, &v), kOfxStatOK);
  EXPECT_EQ(v, 1);
}

TEST(HostPropertySet, VariableDimensionsGrowAndResetRestoresDefaults) {
  ofxhost::detail::PropertySet set;
  set.defineString("List", {}, -1);
  set.defineDouble("Pair", {1.0, 2.0});
  EXPECT_EQ(set.setString("List", 0, "a", true), kOfxStatOK);
  EXPECT_EQ(set.setString("List", 1, "b", true), kOfxStatOK);
  int n = 0;
  set.dimension("List", &n);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(set.setDouble("Pair", 2, 5.0, true), kOfxStatErrBadIndex);  // fixed dimension
  const double three[3] = {1, 2, 3};
  EXPECT_EQ(set.setDoubleN("Pair", 3, three, true), kOfxStatErrBadIndex);
  const double two[2] = {7, 8};
  EXPECT_EQ(set.setDoubleN("Pair", 2, two, true), kOfxStatOK);
  EXPECT_EQ(set.numbers("Pair"), (std::vector<double>{7, 8}));
  EXPECT_EQ(set.reset("Pair", true), kOfxStatOK);
  EXPECT_EQ(set.numbers("Pair"), (std::vector<double>{1, 2}));
  const char* three_strings[] = {"x", "y", "z"};
  EXPECT_EQ(set.setStringN("List", 3, three_strings, true), kOfxStatOK);
  EXPECT_EQ(set.strings("List"), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(set.setStringN("List", 1, three_strings, true), kOfxStatOK);
  EXPECT_EQ(set.strings("List"), std::vector<std::string>{"x"});
  char* s = nullptr;
  EXPECT_EQ(set.getString("List", 1, &s), kOfxStatErrBadIndex);
}

TEST(HostPropertySet, ForeignHandlesAreRejected) {
  int notASet = 0;
  EXPECT_EQ(ofxhost::detail::PropertySet::from(reinterpret_cast<OfxPropertySetHandle>(&notASet)), nullptr);
  EXPECT_EQ(ofxhost::detail::PropertySet::from(nullptr), nullptr);
}

struct ThreadRecord {
  std::mutex mutex;
  std::set<unsigned> indices;
  std::atomic<int> spawned{0};
  std::atomic<int> maxSeen{0};
  const OfxMultiThreadSuiteV1* threads = nullptr;
};

void recordThread(unsigned index, unsigned max, void* arg) {
  auto* r = static_cast<ThreadRecord*>(arg);
  unsigned reported = 99;
  r->threads->multiThreadIndex(&reported);
  r->spawned += r->threads->multiThreadIsSpawnedThread();
  r->maxSeen = static_cast<int>(max);
  std::lock_guard lock(r->mutex);
  if (reported == index) r->indices.insert(index);
}

TEST(HostMultiThread, RunsEveryIndexOnItsOwnThread) {
  const auto* threads = suite<OfxMultiThreadSuiteV1>(kOfxMultiThreadSuite, 1);
  ASSERT_TRUE(threads);
  ThreadRecord r;
  r.threads = threads;
  ASSERT_EQ(threads->multiThread(recordThread, 5, &r), kOfxStatOK);
  EXPECT_EQ(r.indices, (std::set<unsigned>{0, 1, 2, 3, 4}));
  EXPECT_EQ(r.spawned.load(), 5);
  EXPECT_EQ(r.maxSeen.load(), 5);
  EXPECT_EQ(threads->multiThreadIsSpawnedThread(), 0);
  unsigned cpus = 0;
  EXPECT_EQ(threads->multiThreadNumCPUs(&cpus), kOfxStatOK);
  EXPECT_GE(cpus, 1u);
}

TEST(HostMultiThread, MutexesAreRecursiveAndRefuseForeignUnlocks) {
  const auto* threads = suite<OfxMultiThreadSuiteV1>(kOfxMultiThreadSuite, 1);
  ASSERT_TRUE(threads);
  OfxMutexHandle m = nullptr;
  ASSERT_EQ(threads->mutexCreate(&m, 1), kOfxStatOK);
  EXPECT_EQ(threads->mutexLock(m), kOfxStatOK);  // second level
  OfxStatus otherTry = kOfxStatOK, otherUnlock = kOfxStatOK;
  std::thread other([&] {
    otherTry = threads->mutexTryLock(m);
    otherUnlock = threads->mutexUnLock(m);
  });
  other.join();
  EXPECT_EQ(otherTry, kOfxStatFailed);
  EXPECT_EQ(otherUnlock, kOfxStatErrBadHandle);
  EXPECT_EQ(threads->mutexUnLock(m), kOfxStatOK);
  EXPECT_EQ(threads->mutexUnLock(m), kOfxStatOK);
  EXPECT_EQ(threads->mutexUnLock(m), kOfxStatErrBadHandle);  // not held any more
  std::thread taker([&] {
    otherTry = threads->mutexTryLock(m);
    if (otherTry == kOfxStatOK) threads->mutexUnLock(m);
  });
  taker.join();
  EXPECT_EQ(otherTry, kOfxStatOK);
  EXPECT_EQ(threads->mutexDestroy(m), kOfxStatOK);
}

TEST(HostMessages, UnattributedMessagesAreKept) {
  const auto* messages = suite<OfxMessageSuiteV2>(kOfxMessageSuite, 2);
  ASSERT_TRUE(messages);
  EXPECT_EQ(messages->message(nullptr, kOfxMessageWarning, "w1", "value %d of %s", 3, "x"), kOfxStatOK);
  EXPECT_EQ(messages->message(nullptr, kOfxMessageQuestion, "q1", "continue?"), kOfxStatReplyNo);
  const auto all = ofxhost::unattributedMessages();
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[all.size() - 2].text, "value 3 of x");
  EXPECT_EQ(all[all.size() - 2].type, kOfxMessageWarning);
  EXPECT_EQ(messages->clearPersistentMessage(nullptr), kOfxStatErrBadHandle);
}

TEST(HostMemory, AllocatesAndFrees) {
  const auto* memory = suite<OfxMemorySuiteV1>(kOfxMemorySuite, 1);
  const auto* effect = suite<OfxImageEffectSuiteV1>(kOfxImageEffectSuite, 1);
  ASSERT_TRUE(memory && effect);
  void* p = nullptr;
  ASSERT_EQ(memory->memoryAlloc(nullptr, 1000, &p), kOfxStatOK);
  std::memset(p, 1, 1000);
  EXPECT_EQ(memory->memoryFree(p), kOfxStatOK);
  OfxImageMemoryHandle h = nullptr;
  ASSERT_EQ(effect->imageMemoryAlloc(nullptr, 64, &h), kOfxStatOK);
  void* data = nullptr;
  ASSERT_EQ(effect->imageMemoryLock(h, &data), kOfxStatOK);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(effect->imageMemoryUnlock(h), kOfxStatOK);
  EXPECT_EQ(effect->imageMemoryFree(h), kOfxStatOK);
  int notMemory = 0;
  EXPECT_EQ(effect->imageMemoryFree(reinterpret_cast<OfxImageMemoryHandle>(&notMemory)), kOfxStatErrBadHandle);
  EXPECT_EQ(effect->clipReleaseImage(reinterpret_cast<OfxPropertySetHandle>(&notMemory)), kOfxStatErrBadHandle);
}

}  // namespace
