/* OpenFX multi-thread suite: host threads and mutexes. */
#pragma once

#include "ofxCore.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kOfxMultiThreadSuite "OfxMultiThreadSuite"

typedef struct OfxMutex* OfxMutexHandle;

/* Called once per spawned thread; threadIndex runs from 0 to threadMax - 1. */
typedef void(OfxThreadFunctionV1)(unsigned int threadIndex, unsigned int threadMax, void* customArg);

typedef struct OfxMultiThreadSuiteV1 {
    OfxStatus (*multiThread)(OfxThreadFunctionV1 func, unsigned int nThreads, void* customArg);
    OfxStatus (*multiThreadNumCPUs)(unsigned int* nCPUs);
    OfxStatus (*multiThreadIndex)(unsigned int* threadIndex);
    int (*multiThreadIsSpawnedThread)(void);
    OfxStatus (*mutexCreate)(OfxMutexHandle* mutex, int lockCount);
    OfxStatus (*mutexDestroy)(const OfxMutexHandle mutex);
    OfxStatus (*mutexLock)(const OfxMutexHandle mutex);
    OfxStatus (*mutexUnLock)(const OfxMutexHandle mutex);
    OfxStatus (*mutexTryLock)(const OfxMutexHandle mutex);
} OfxMultiThreadSuiteV1;

OFX_ABI_CHECK(offsetof(OfxMultiThreadSuiteV1, multiThread) == OFX_ABI_SLOT(0));
OFX_ABI_CHECK(offsetof(OfxMultiThreadSuiteV1, multiThreadNumCPUs) == OFX_ABI_SLOT(1));
OFX_ABI_CHECK(offsetof(OfxMultiThreadSuiteV1, multiThreadIsSpawnedThread) == OFX_ABI_SLOT(3));
OFX_ABI_CHECK(offsetof(OfxMultiThreadSuiteV1, mutexCreate) == OFX_ABI_SLOT(4));
OFX_ABI_CHECK(offsetof(OfxMultiThreadSuiteV1, mutexUnLock) == OFX_ABI_SLOT(7));
OFX_ABI_CHECK(offsetof(OfxMultiThreadSuiteV1, mutexTryLock) == OFX_ABI_SLOT(8));
OFX_ABI_CHECK(sizeof(OfxMultiThreadSuiteV1) == OFX_ABI_SLOT(9));

#ifdef __cplusplus
}
#endif
