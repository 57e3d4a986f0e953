/* OpenFX message suite: messages from the plug-in to the user. */
#pragma once

#include "ofxCore.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kOfxMessageSuite "OfxMessageSuite"

/* Message types. */
#define kOfxMessageFatal "OfxMessageFatal"
#define kOfxMessageError "OfxMessageError"
#define kOfxMessageWarning "OfxMessageWarning"
#define kOfxMessageMessage "OfxMessageMessage"
#define kOfxMessageLog "OfxMessageLog"
#define kOfxMessageQuestion "OfxMessageQuestion"

/* handle: the effect (descriptor or instance) or null; format is printf-style.
   A question answers kOfxStatReplyYes or kOfxStatReplyNo. */
typedef struct OfxMessageSuiteV1 {
    OfxStatus (*message)(void* handle, const char* messageType, const char* messageId, const char* format, ...);
} OfxMessageSuiteV1;

/* Extends V1 without moving its member: a host may hand out one struct for both. */
typedef struct OfxMessageSuiteV2 {
    OfxStatus (*message)(void* handle, const char* messageType, const char* messageId, const char* format, ...);
    OfxStatus (*setPersistentMessage)(void* handle, const char* messageType, const char* messageId, const char* format,
                                      ...);
    OfxStatus (*clearPersistentMessage)(void* handle);
} OfxMessageSuiteV2;

/* A host may hand out one V2 table for both versions: message must stay first. */
OFX_ABI_CHECK(offsetof(OfxMessageSuiteV1, message) == 0 && sizeof(OfxMessageSuiteV1) == OFX_ABI_SLOT(1));
OFX_ABI_CHECK(offsetof(OfxMessageSuiteV2, message) == 0);
OFX_ABI_CHECK(offsetof(OfxMessageSuiteV2, setPersistentMessage) == OFX_ABI_SLOT(1));
OFX_ABI_CHECK(offsetof(OfxMessageSuiteV2, clearPersistentMessage) == OFX_ABI_SLOT(2));
OFX_ABI_CHECK(sizeof(OfxMessageSuiteV2) == OFX_ABI_SLOT(3));

#ifdef __cplusplus
}
#endif
