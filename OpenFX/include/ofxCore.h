/* OpenFX core: the plug-in structure, the host structure, status codes,
   generic actions and properties, and the basic geometric types.
   Written for Orvalis from the published OpenFX standard. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Symbols the host looks up in the binary: C linkage, exported. */
#ifdef __cplusplus
#define OFX_EXTERN_C extern "C"
#else
#define OFX_EXTERN_C
#endif
#if defined(_WIN32)
#define OfxExport OFX_EXTERN_C __declspec(dllexport)
#else
#define OfxExport OFX_EXTERN_C __attribute__((visibility("default")))
#endif

/* Opaque handles; only the host knows what lies behind them. */
typedef struct OfxPropertySetStruct* OfxPropertySetHandle;

/* Status of every suite function and action (a plain int). */
typedef int OfxStatus;

/* Time on the effect's time line, in frames. */
typedef double OfxTime;

/* What the host hands the plug-in: its own property set and the suite fetcher. */
typedef struct OfxHost {
    OfxPropertySetHandle host;
    /* Returns the suite of that name and version, or null where the host has none. */
    const void* (*fetchSuite)(OfxPropertySetHandle host, const char* suiteName, int suiteVersion);
} OfxHost;

/* The single entry point through which the host sends every action. */
typedef OfxStatus(OfxPluginEntryPoint)(const char* action, const void* handle, OfxPropertySetHandle inArgs,
                                       OfxPropertySetHandle outArgs);

/* What a binary tells the host about each of its plug-ins. */
typedef struct OfxPlugin {
    const char* pluginApi; /* e.g. kOfxImageEffectPluginApi */
    int apiVersion;
    const char* pluginIdentifier; /* reverse domain name, no blanks */
    unsigned int pluginVersionMajor;
    unsigned int pluginVersionMinor;
    void (*setHost)(OfxHost* host);
    OfxPluginEntryPoint* mainEntry;
} OfxPlugin;

/* Entry points every binary exports. */
typedef int (*OfxGetNumberOfPluginsFunc)(void);
typedef OfxPlugin* (*OfxGetPluginFunc)(int nth);

/* Integer and double points, ranges and rectangles (x1,y1 inclusive; x2,y2 exclusive). */
typedef struct OfxPointI {
    int x, y;
} OfxPointI;
typedef struct OfxPointD {
    double x, y;
} OfxPointD;
typedef struct OfxRangeI {
    int min, max;
} OfxRangeI;
typedef struct OfxRangeD {
    double min, max;
} OfxRangeD;
typedef struct OfxRectI {
    int x1, y1, x2, y2;
} OfxRectI;
typedef struct OfxRectD {
    double x1, y1, x2, y2;
} OfxRectD;

/* Status codes. */
#define kOfxStatOK 0
#define kOfxStatFailed ((int)1)
#define kOfxStatErrFatal ((int)2)
#define kOfxStatErrUnknown ((int)3)
#define kOfxStatErrMissingHostFeature ((int)4)
#define kOfxStatErrUnsupported ((int)5)
#define kOfxStatErrExists ((int)6)
#define kOfxStatErrFormat ((int)7)
#define kOfxStatErrMemory ((int)8)
#define kOfxStatErrBadHandle ((int)9)
#define kOfxStatErrBadIndex ((int)10)
#define kOfxStatErrValue ((int)11)
#define kOfxStatReplyYes ((int)12)
#define kOfxStatReplyNo ((int)13)
#define kOfxStatReplyDefault ((int)14)

/* Generic actions. */
#define kOfxActionLoad "OfxActionLoad"
#define kOfxActionDescribe "OfxActionDescribe"
#define kOfxActionUnload "OfxActionUnload"
#define kOfxActionPurgeCaches "OfxActionPurgeCaches"
#define kOfxActionSyncPrivateData "OfxActionSyncPrivateData"
#define kOfxActionCreateInstance "OfxActionCreateInstance"
#define kOfxActionDestroyInstance "OfxActionDestroyInstance"
#define kOfxActionInstanceChanged "OfxActionInstanceChanged"
#define kOfxActionBeginInstanceChanged "OfxActionBeginInstanceChanged"
#define kOfxActionEndInstanceChanged "OfxActionEndInstanceChanged"
#define kOfxActionBeginInstanceEdit "OfxActionBeginInstanceEdit"
#define kOfxActionEndInstanceEdit "OfxActionEndInstanceEdit"

/* Generic properties. */
#define kOfxPropAPIVersion "OfxPropAPIVersion"
#define kOfxPropTime "OfxPropTime"
#define kOfxPropIsInteractive "OfxPropIsInteractive"
#define kOfxPropPluginDescription "OfxPropPluginDescription"
#define kOfxPropChangeReason "OfxPropChangeReason"
#define kOfxPropEffectInstance "OfxPropEffectInstance"
#define kOfxPropHostOSHandle "OfxPropHostOSHandle"
#define kOfxPropType "OfxPropType"
#define kOfxPropName "OfxPropName"
#define kOfxPropVersion "OfxPropVersion"
#define kOfxPropVersionLabel "OfxPropVersionLabel"
#define kOfxPropLabel "OfxPropLabel"
#define kOfxPropShortLabel "OfxPropShortLabel"
#define kOfxPropLongLabel "OfxPropLongLabel"
#define kOfxPropInstanceData "OfxPropInstanceData"
#define kOfxPropIcon "OfxPropIcon"

/* Change reasons (values of kOfxPropChangeReason). */
#define kOfxChangeUserEdited "OfxChangeUserEdited"
#define kOfxChangePluginEdited "OfxChangePluginEdited"
#define kOfxChangeTime "OfxChangeTime"

/* Values of kOfxPropType for the host's own property set. */
#define kOfxTypeImageEffectHost "OfxTypeImageEffectHost"

/* The layout a host built elsewhere expects on x64: each suite is a table of
   function pointers in the documented order. Checked where each struct is
   declared so that a moved member cannot compile. */
#if defined(__cplusplus)
#define OFX_ABI_CHECK(cond) static_assert(cond, #cond)
#else
#define OFX_ABI_CHECK(cond) _Static_assert(cond, #cond)
#endif
#define OFX_ABI_SLOT(index) ((index) * sizeof(void*))

OFX_ABI_CHECK(offsetof(OfxPlugin, pluginApi) == 0 && offsetof(OfxPlugin, apiVersion) == 8);
OFX_ABI_CHECK(offsetof(OfxPlugin, pluginIdentifier) == 16 && offsetof(OfxPlugin, pluginVersionMajor) == 24);
OFX_ABI_CHECK(offsetof(OfxPlugin, pluginVersionMinor) == 28 && offsetof(OfxPlugin, setHost) == 32);
OFX_ABI_CHECK(offsetof(OfxPlugin, mainEntry) == 40 && sizeof(OfxPlugin) == 48);
OFX_ABI_CHECK(offsetof(OfxHost, host) == 0 && offsetof(OfxHost, fetchSuite) == 8 && sizeof(OfxHost) == 16);
OFX_ABI_CHECK(sizeof(OfxRectI) == 16 && offsetof(OfxRectI, y2) == 12);
OFX_ABI_CHECK(sizeof(OfxRectD) == 32 && offsetof(OfxRectD, x2) == 16);
OFX_ABI_CHECK(sizeof(OfxPointD) == 16 && offsetof(OfxPointD, y) == 8);
OFX_ABI_CHECK(sizeof(OfxPointI) == 8 && sizeof(OfxRangeD) == 16);

#ifdef __cplusplus
}
#endif
