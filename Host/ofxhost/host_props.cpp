// Which properties each kind of host object carries, with their defaults.
#include <string>

#include "objects.h"

// Standard names not (yet) in our C API headers.
#ifndef kOfxImageEffectPluginPropFilePath
#define kOfxImageEffectPluginPropFilePath "OfxImageEffectPluginPropFilePath"
#endif
#ifndef kOfxImageEffectPropOpenGLRenderSupported
#define kOfxImageEffectPropOpenGLRenderSupported "OfxImageEffectPropOpenGLRenderSupported"
#endif
#ifndef kOfxImageEffectPropRenderQualityDraft
#define kOfxImageEffectPropRenderQualityDraft "OfxImageEffectPropRenderQualityDraft"
#endif

namespace ofxhost::detail {

namespace {

void defineLabels(PropertySet& p, const std::string& name) {
    p.defineString(kOfxPropName, {name});
    p.defineString(kOfxPropLabel, {name});
    // Empty until the plug-in sets them; readers fall back to the label.
    p.defineString(kOfxPropShortLabel, {""});
    p.defineString(kOfxPropLongLabel, {""});
}

}  // namespace

void defineHostProps(PropertySet& p) {
    p.defineString(kOfxPropType, {kOfxTypeImageEffectHost});
    p.defineString(kOfxPropName, {"com.orvalis.host"});
    p.defineString(kOfxPropLabel, {"Orvalis Host"});
    p.defineInt(kOfxPropAPIVersion, {1, 4}, -1);
    p.defineInt(kOfxPropVersion, {0, 1, 6}, -1);
    p.defineString(kOfxPropVersionLabel, {"0.1.6"});
    p.definePointer(kOfxPropHostOSHandle, {nullptr});
    p.defineInt(kOfxImageEffectHostPropIsBackground, {1});
    p.defineInt(kOfxImageEffectPropSupportsOverlays, {0});
    p.defineInt(kOfxImageEffectPropSupportsMultiResolution, {1});
    p.defineInt(kOfxImageEffectPropSupportsTiles, {1});
    p.defineInt(kOfxImageEffectPropTemporalClipAccess, {1});
    p.defineInt(kOfxImageEffectPropSupportsMultipleClipDepths, {0});
    p.defineInt(kOfxImageEffectPropSupportsMultipleClipPARs, {0});
    p.defineInt(kOfxImageEffectPropSetableFrameRate, {0});
    p.defineInt(kOfxImageEffectPropSetableFielding, {0});
    p.defineString(kOfxImageEffectPropSupportedComponents, {kOfxImageComponentRGBA}, -1);
    p.defineString(kOfxImageEffectPropSupportedContexts, {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral},
                   -1);
    p.defineString(kOfxImageEffectPropSupportedPixelDepths, {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat},
                   -1);
    p.defineString(kOfxImageEffectHostPropNativeOrigin, {"OfxImageEffectHostPropNativeOriginBottomLeft"});
    p.defineString(kOfxImageEffectPropOpenGLRenderSupported, {"false"});
    p.defineInt(kOfxParamHostPropSupportsCustomAnimation, {0});
    p.defineInt(kOfxParamHostPropSupportsStringAnimation, {0});
    p.defineInt(kOfxParamHostPropSupportsBooleanAnimation, {0});
    p.defineInt(kOfxParamHostPropSupportsChoiceAnimation, {0});
    p.defineInt(kOfxParamHostPropSupportsCustomInteract, {0});
    p.defineInt(kOfxParamHostPropSupportsParametricAnimation, {0});
    p.defineInt(kOfxParamHostPropMaxParameters, {-1});
    p.defineInt(kOfxParamHostPropMaxPages, {0});
    p.defineInt(kOfxParamHostPropPageRowColumnCount, {0, 0});
}

void defineEffectDescriptorProps(PropertySet& p, const std::string& bundlePath, const OfxPlugin* plugin) {
    p.defineString(kOfxPropType, {kOfxTypeImageEffect});
    defineLabels(p, plugin && plugin->pluginIdentifier ? plugin->pluginIdentifier : "");
    p.defineInt(kOfxPropVersion, {}, -1);
    p.defineString(kOfxPropVersionLabel, {""});
    p.defineString(kOfxPropPluginDescription, {""});
    p.defineString(kOfxPropIcon, {"", ""});
    p.defineString(kOfxImageEffectPropSupportedContexts, {}, -1);
    p.defineString(kOfxImageEffectPropSupportedPixelDepths, {}, -1);
    p.defineString(kOfxImageEffectPluginPropGrouping, {""});
    p.defineInt(kOfxImageEffectPluginPropSingleInstance, {0});
    p.defineString(kOfxImageEffectPluginRenderThreadSafety, {kOfxImageEffectRenderInstanceSafe});
    p.defineInt(kOfxImageEffectPluginPropHostFrameThreading, {1});
    p.definePointer(kOfxImageEffectPluginPropOverlayInteractV1, {nullptr});
    p.defineInt(kOfxImageEffectPropSupportsMultiResolution, {1});
    p.defineInt(kOfxImageEffectPropSupportsTiles, {1});
    p.defineInt(kOfxImageEffectPropTemporalClipAccess, {0});
    p.defineInt(kOfxImageEffectPluginPropFieldRenderTwiceAlways, {1});
    p.defineInt(kOfxImageEffectPropSupportsMultipleClipDepths, {0});
    p.defineInt(kOfxImageEffectPropSupportsMultipleClipPARs, {0});
    p.defineString(kOfxImageEffectPropClipPreferencesSlaveParam, {}, -1);
    p.defineString(kOfxImageEffectPluginPropFilePath, {bundlePath});
    p.defineString(kOfxImageEffectPropOpenGLRenderSupported, {"false"});
}

void defineEffectInstanceProps(PropertySet& p, const std::string& context, const OfxPlugin* plugin) {
    p.assignStrings(kOfxPropType, {kOfxTypeImageEffectInstance});
    p.defineString(kOfxImageEffectPropContext, {context});
    p.definePointer(kOfxPropInstanceData, {nullptr});
    p.definePointer(kOfxImageEffectPropPluginHandle, {const_cast<OfxPlugin*>(plugin)});
    p.defineInt(kOfxPropIsInteractive, {0});
    p.defineDouble(kOfxImageEffectPropProjectSize, {1920.0, 1080.0});
    p.defineDouble(kOfxImageEffectPropProjectOffset, {0.0, 0.0});
    p.defineDouble(kOfxImageEffectPropProjectExtent, {1920.0, 1080.0});
    p.defineDouble(kOfxImageEffectPropProjectPixelAspectRatio, {1.0});
    p.defineDouble(kOfxImageEffectInstancePropEffectDuration, {1.0});
    p.defineInt(kOfxImageEffectInstancePropSequentialRender, {0});
    p.defineDouble(kOfxImageEffectPropFrameRate, {25.0});
    p.defineInt(kOfxImageEffectPropRenderQualityDraft, {0});
}

void defineClipDescriptorProps(PropertySet& p, const std::string& name) {
    p.defineString(kOfxPropType, {kOfxTypeClip});
    defineLabels(p, name);
    p.defineString(kOfxImageEffectPropSupportedComponents, {}, -1);
    p.defineInt(kOfxImageEffectPropTemporalClipAccess, {0});
    p.defineInt(kOfxImageClipPropOptional, {0});
    p.defineString(kOfxImageClipPropFieldExtraction, {kOfxImageFieldDoubled});
    p.defineInt(kOfxImageClipPropIsMask, {0});
    p.defineInt(kOfxImageEffectPropSupportsTiles, {1});
}

void defineClipInstanceProps(PropertySet& p) {
    p.defineString(kOfxImageEffectPropPixelDepth, {kOfxBitDepthNone});
    p.defineString(kOfxImageEffectPropComponents, {kOfxImageComponentRGBA});
    p.defineString(kOfxImageClipPropUnmappedPixelDepth, {kOfxBitDepthNone});
    p.defineString(kOfxImageClipPropUnmappedComponents, {kOfxImageComponentRGBA});
    p.defineString(kOfxImageEffectPropPreMultiplication, {kOfxImagePreMultiplied});
    p.defineDouble(kOfxImagePropPixelAspectRatio, {1.0});
    p.defineDouble(kOfxImageEffectPropFrameRate, {25.0});
    p.defineDouble(kOfxImageEffectPropFrameRange, {0.0, 0.0});
    p.defineString(kOfxImageClipPropFieldOrder, {kOfxImageFieldNone});
    p.defineInt(kOfxImageClipPropConnected, {0});
    p.defineDouble(kOfxImageEffectPropUnmappedFrameRange, {0.0, 0.0});
    p.defineDouble(kOfxImageEffectPropUnmappedFrameRate, {25.0});
    p.defineInt(kOfxImageClipPropContinuousSamples, {0});
}

std::optional<ParamShape> paramShape(const std::string& type) {
    if (type == kOfxParamTypeInteger || type == kOfxParamTypeBoolean || type == kOfxParamTypeChoice)
        return ParamShape{1, true, false};
    if (type == kOfxParamTypeDouble)
        return ParamShape{1, false, false};
    if (type == kOfxParamTypeInteger2D)
        return ParamShape{2, true, false};
    if (type == kOfxParamTypeInteger3D)
        return ParamShape{3, true, false};
    if (type == kOfxParamTypeDouble2D)
        return ParamShape{2, false, false};
    if (type == kOfxParamTypeDouble3D || type == kOfxParamTypeRGB)
        return ParamShape{3, false, false};
    if (type == kOfxParamTypeRGBA)
        return ParamShape{4, false, false};
    if (type == kOfxParamTypeString || type == kOfxParamTypeCustom)
        return ParamShape{1, false, true};
    if (type == kOfxParamTypeGroup || type == kOfxParamTypePage || type == kOfxParamTypePushButton)
        return ParamShape{0, false, false};
    return std::nullopt;  // parametric parameters need a suite this host does not offer
}

bool defineParamDescriptorProps(PropertySet& p, const std::string& type, const std::string& name) {
    const auto shape = paramShape(type);
    if (!shape)
        return false;
    p.defineString(kOfxPropType, {kOfxTypeParameter});
    defineLabels(p, name);
    p.defineString(kOfxParamPropType, {type});
    p.defineString(kOfxParamPropScriptName, {name});
    p.defineString(kOfxParamPropHint, {""});
    p.defineString(kOfxParamPropParent, {""});
    p.defineInt(kOfxParamPropSecret, {0});
    p.defineInt(kOfxParamPropEnabled, {1});
    p.definePointer(kOfxParamPropDataPtr, {nullptr});
    p.defineString(kOfxPropIcon, {"", ""});
    p.definePointer(kOfxParamPropInteractV1, {nullptr});
    p.defineDouble(kOfxParamPropInteractSize, {0.0, 0.0});
    p.defineDouble(kOfxParamPropInteractSizeAspect, {1.0});
    p.defineInt(kOfxParamPropInteractMinimumSize, {10, 10});
    p.defineInt(kOfxParamPropInteractPreferedSize, {10, 10});

    if (type == kOfxParamTypeGroup) {
        p.defineInt(kOfxParamPropGroupOpen, {1});
        return true;
    }
    if (type == kOfxParamTypePage) {
        p.defineString(kOfxParamPropPageChild, {}, -1);
        return true;
    }
    // Everything below holds a value, or (a push button) may trigger a change.
    p.defineInt(kOfxParamPropEvaluateOnChange, {1});
    p.defineInt(kOfxParamPropPluginMayWrite, {0});
    p.defineInt(kOfxParamPropCanUndo, {1});
    if (type == kOfxParamTypePushButton)
        return true;

    const int n = shape->dimension;
    p.defineInt(kOfxParamPropAnimates, {type == kOfxParamTypeString || type == kOfxParamTypeCustom ? 0 : 1});
    p.defineInt(kOfxParamPropIsAnimating, {0});
    p.defineInt(kOfxParamPropIsAutoKeying, {0});
    p.defineInt(kOfxParamPropPersistant, {1});
    p.defineString(kOfxParamPropCacheInvalidation, {kOfxParamInvalidateValueChange});

    if (shape->text) {
        p.defineString(kOfxParamPropDefault, {""});
        if (type == kOfxParamTypeString) {
            p.defineString(kOfxParamPropStringMode, {kOfxParamStringIsSingleLine});
            p.defineInt(kOfxParamPropStringFilePathExists, {1});
        }
        return true;
    }
    if (type == kOfxParamTypeBoolean) {
        p.defineInt(kOfxParamPropDefault, {0});
        return true;
    }
    if (type == kOfxParamTypeChoice) {
        p.defineInt(kOfxParamPropDefault, {0});
        p.defineString(kOfxParamPropChoiceOption, {}, -1);
        p.defineInt(kOfxParamPropChoiceOrder, {}, -1);
        return true;
    }
    if (shape->integer) {
        p.defineInt(kOfxParamPropDefault, std::vector<int>(static_cast<std::size_t>(n), 0));
        p.defineInt(kOfxParamPropMin, std::vector<int>(static_cast<std::size_t>(n), -2147483647 - 1));
        p.defineInt(kOfxParamPropMax, std::vector<int>(static_cast<std::size_t>(n), 2147483647));
        p.defineInt(kOfxParamPropDisplayMin, std::vector<int>(static_cast<std::size_t>(n), -2147483647 - 1));
        p.defineInt(kOfxParamPropDisplayMax, std::vector<int>(static_cast<std::size_t>(n), 2147483647));
        if (n > 1)
            p.defineString(kOfxParamPropDimensionLabel,
                           n == 2 ? std::vector<std::string>{"x", "y"} : std::vector<std::string>{"x", "y", "z"});
        return true;
    }
    // Double-valued: double, 2D, 3D, RGB, RGBA.
    const bool colour = type == kOfxParamTypeRGB || type == kOfxParamTypeRGBA;
    p.defineDouble(kOfxParamPropDefault, std::vector<double>(static_cast<std::size_t>(n), 0.0));
    p.defineDouble(kOfxParamPropMin,
                   std::vector<double>(static_cast<std::size_t>(n), colour ? 0.0 : -1.7976931348623157e308));
    p.defineDouble(kOfxParamPropMax,
                   std::vector<double>(static_cast<std::size_t>(n), colour ? 1.0 : 1.7976931348623157e308));
    p.defineDouble(kOfxParamPropDisplayMin,
                   std::vector<double>(static_cast<std::size_t>(n), colour ? 0.0 : -1.7976931348623157e308));
    p.defineDouble(kOfxParamPropDisplayMax,
                   std::vector<double>(static_cast<std::size_t>(n), colour ? 1.0 : 1.7976931348623157e308));
    if (!colour) {
        p.defineDouble(kOfxParamPropIncrement, {1.0});
        p.defineInt(kOfxParamPropDigits, {2});
        p.defineString(kOfxParamPropDoubleType, {kOfxParamDoubleTypePlain});
        p.defineString(kOfxParamPropDefaultCoordinateSystem, {"OfxParamCoordinatesCanonical"});
        if (type == kOfxParamTypeDouble)
            p.defineInt(kOfxParamPropShowTimeMarker, {0});
    }
    if (n > 1)
        p.defineString(kOfxParamPropDimensionLabel, type == kOfxParamTypeRGBA
                                                        ? std::vector<std::string>{"r", "g", "b", "a"}
                                                    : type == kOfxParamTypeRGB ? std::vector<std::string>{"r", "g", "b"}
                                                    : n == 2                   ? std::vector<std::string>{"x", "y"}
                                                             : std::vector<std::string>{"x", "y", "z"});
    return true;
}

void defineImageProps(PropertySet& p, ImageBuffer& image, double scaleX, double scaleY) {
    const RectI b = image.bounds();
    p.defineString(kOfxPropType, {kOfxTypeImage});
    p.definePointer(kOfxImagePropData, {image.data()});
    p.defineInt(kOfxImagePropBounds, {b.x1, b.y1, b.x2, b.y2});
    p.defineInt(kOfxImagePropRegionOfDefinition, {b.x1, b.y1, b.x2, b.y2});
    p.defineInt(kOfxImagePropRowBytes, {image.rowBytes()});
    p.defineString(kOfxImageEffectPropPixelDepth, {depthName(image.depth())});
    p.defineString(kOfxImageEffectPropComponents, {kOfxImageComponentRGBA});
    p.defineString(kOfxImageEffectPropPreMultiplication, {kOfxImagePreMultiplied});
    p.defineString(kOfxImagePropUniqueIdentifier, {image.uniqueIdentifier});
    p.defineDouble(kOfxImageEffectPropRenderScale, {scaleX, scaleY});
    p.defineDouble(kOfxImagePropPixelAspectRatio, {1.0});
    p.defineString(kOfxImagePropField, {kOfxImageFieldNone});
}

}  // namespace ofxhost::detail
