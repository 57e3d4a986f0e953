/* OpenFX memory suite: host-managed general purpose memory. */
#pragma once

#include "ofxCore.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kOfxMemorySuite "OfxMemorySuite"

typedef struct OfxMemorySuiteV1 {
    /* handle: an effect instance or null. */
    OfxStatus (*memoryAlloc)(void* handle, size_t nBytes, void** allocatedData);
    OfxStatus (*memoryFree)(void* allocatedData);
} OfxMemorySuiteV1;

OFX_ABI_CHECK(offsetof(OfxMemorySuiteV1, memoryAlloc) == OFX_ABI_SLOT(0));
OFX_ABI_CHECK(offsetof(OfxMemorySuiteV1, memoryFree) == OFX_ABI_SLOT(1));
OFX_ABI_CHECK(sizeof(OfxMemorySuiteV1) == OFX_ABI_SLOT(2));

#ifdef __cplusplus
}
#endif
