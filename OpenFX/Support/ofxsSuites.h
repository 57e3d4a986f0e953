// The host's suites as fetched by setHost. Each accessor throws
// Exception::Suite(kOfxStatErrMissingHostFeature) when the host lacks the suite.
#pragma once

#include "ofxMemory.h"
#include "ofxMultiThread.h"
#include "ofxsCore.h"
#include "ofxsProperty.h"

namespace OFX::Private {

const OfxPropertySuiteV1& propertySuite();
const OfxImageEffectSuiteV1& imageEffectSuite();
const OfxParameterSuiteV1& parameterSuite();
const OfxMemorySuiteV1& memorySuite();
const OfxMultiThreadSuiteV1& multiThreadSuite();

// The message suite: V2 when the host has it, else V1 (whose only member V2
// shares); null when it has neither.
struct MessageSuite {
    const OfxMessageSuiteV2* v2 = nullptr;
    const OfxMessageSuiteV1* v1 = nullptr;
};
MessageSuite messageSuite();

// Runs f and turns whatever it throws into a status: Exception::Suite gives its
// own status, std::bad_alloc kOfxStatErrMemory, anything else kOfxStatFailed.
template <class F>
OfxStatus guarded(const char* what, F&& f) noexcept;

// The suite member itself, or Exception::Suite(kOfxStatErrMissingHostFeature)
// where the host left that slot empty.
template <class Fn>
Fn need(Fn fn) {
    if (fn == nullptr)
        throwSuiteStatusException(kOfxStatErrMissingHostFeature);
    return fn;
}

// The property set of an effect (descriptor or instance); throws
// Exception::Suite when the handle is null or the host gives none.
PropertySet effectPropertySet(OfxImageEffectHandle handle);

// Logs a failure of that action (no throw).
void logFailure(const char* what, OfxStatus status, const char* detail) noexcept;

}  // namespace OFX::Private

#include <new>

template <class F>
OfxStatus OFX::Private::guarded(const char* what, F&& f) noexcept {
    try {
        return f();
    } catch (const OFX::Exception::Suite& e) {
        logFailure(what, e.status(), e.what());
        return e.status();
    } catch (const std::bad_alloc&) {
        logFailure(what, kOfxStatErrMemory, "out of memory");
        return kOfxStatErrMemory;
    } catch (const std::exception& e) {
        logFailure(what, kOfxStatFailed, e.what());
        return kOfxStatFailed;
    } catch (...) {
        logFailure(what, kOfxStatFailed, "unknown exception");
        return kOfxStatFailed;
    }
}
