/* OpenFX property suite: typed, multi-dimensional values on host objects. */
#pragma once

#include "ofxCore.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kOfxPropertySuite "OfxPropertySuite"

/* Member order is the binary interface: never reorder. */
typedef struct OfxPropertySuiteV1 {
    OfxStatus (*propSetPointer)(OfxPropertySetHandle properties, const char* property, int index, void* value);
    OfxStatus (*propSetString)(OfxPropertySetHandle properties, const char* property, int index, const char* value);
    OfxStatus (*propSetDouble)(OfxPropertySetHandle properties, const char* property, int index, double value);
    OfxStatus (*propSetInt)(OfxPropertySetHandle properties, const char* property, int index, int value);
    OfxStatus (*propSetPointerN)(OfxPropertySetHandle properties, const char* property, int count, void* const* value);
    OfxStatus (*propSetStringN)(OfxPropertySetHandle properties, const char* property, int count,
                                const char* const* value);
    OfxStatus (*propSetDoubleN)(OfxPropertySetHandle properties, const char* property, int count, const double* value);
    OfxStatus (*propSetIntN)(OfxPropertySetHandle properties, const char* property, int count, const int* value);
    OfxStatus (*propGetPointer)(OfxPropertySetHandle properties, const char* property, int index, void** value);
    OfxStatus (*propGetString)(OfxPropertySetHandle properties, const char* property, int index, char** value);
    OfxStatus (*propGetDouble)(OfxPropertySetHandle properties, const char* property, int index, double* value);
    OfxStatus (*propGetInt)(OfxPropertySetHandle properties, const char* property, int index, int* value);
    OfxStatus (*propGetPointerN)(OfxPropertySetHandle properties, const char* property, int count, void** value);
    OfxStatus (*propGetStringN)(OfxPropertySetHandle properties, const char* property, int count, char** value);
    OfxStatus (*propGetDoubleN)(OfxPropertySetHandle properties, const char* property, int count, double* value);
    OfxStatus (*propGetIntN)(OfxPropertySetHandle properties, const char* property, int count, int* value);
    /* Back to the property's default value. */
    OfxStatus (*propReset)(OfxPropertySetHandle properties, const char* property);
    /* Number of values the property currently holds. */
    OfxStatus (*propGetDimension)(OfxPropertySetHandle properties, const char* property, int* count);
} OfxPropertySuiteV1;

OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propSetPointer) == OFX_ABI_SLOT(0));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propSetString) == OFX_ABI_SLOT(1));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propSetInt) == OFX_ABI_SLOT(3));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propSetStringN) == OFX_ABI_SLOT(5));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propSetIntN) == OFX_ABI_SLOT(7));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propGetPointer) == OFX_ABI_SLOT(8));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propGetString) == OFX_ABI_SLOT(9));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propGetDouble) == OFX_ABI_SLOT(10));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propGetInt) == OFX_ABI_SLOT(11));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propGetDoubleN) == OFX_ABI_SLOT(14));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propGetIntN) == OFX_ABI_SLOT(15));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propReset) == OFX_ABI_SLOT(16));
OFX_ABI_CHECK(offsetof(OfxPropertySuiteV1, propGetDimension) == OFX_ABI_SLOT(17));
OFX_ABI_CHECK(sizeof(OfxPropertySuiteV1) == OFX_ABI_SLOT(18));

#ifdef __cplusplus
}
#endif
