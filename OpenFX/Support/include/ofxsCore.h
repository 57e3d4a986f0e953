// OFX C++ layer: enums, status exceptions and the string forms the C API uses.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "ofxCore.h"
#include "ofxImageEffect.h"
#include "ofxMessage.h"
#include "ofxParam.h"
#include "ofxProperty.h"

namespace OFX {

// The contexts an effect can be described and instantiated in.
enum ContextEnum {
    eContextNone,
    eContextGenerator,
    eContextFilter,
    eContextTransition,
    eContextPaint,
    eContextGeneral,
    eContextRetimer
};
// Pixel depths; eBitDepthCustom stands for any depth string we do not know.
enum BitDepthEnum { eBitDepthNone, eBitDepthUByte, eBitDepthUShort, eBitDepthHalf, eBitDepthFloat, eBitDepthCustom };
// Pixel components; ePixelComponentCustom stands for any components string we do not know.
enum PixelComponentEnum {
    ePixelComponentNone,
    ePixelComponentRGBA,
    ePixelComponentRGB,
    ePixelComponentAlpha,
    ePixelComponentCustom
};
// How many render calls the host may make at once.
enum RenderSafetyEnum { eRenderUnsafe, eRenderInstanceSafe, eRenderFullySafe };
// Why an instance changed (kOfxPropChangeReason).
enum InstanceChangeReason { eChangeUserEdit, eChangePluginEdit, eChangeTime };
// Kinds of message for the host's message suite.
enum MessageTypeEnum { eMessageFatal, eMessageError, eMessageMessage, eMessageLog, eMessageQuestion, eMessageWarning };

namespace Exception {
// A failed suite call or action; the dispatcher turns it into its status.
class Suite : public std::exception {
public:
    explicit Suite(OfxStatus s);
    // The status the action answers with.
    OfxStatus status() const;
    const char* what() const noexcept override;

private:
    OfxStatus status_;
    std::string what_;
};
}  // namespace Exception

// Throws Exception::Suite with that status.
[[noreturn]] void throwSuiteStatusException(OfxStatus stat);

// The status's name ("kOfxStatErrFormat"), or "unknown status" for values outside the standard.
const char* mapStatusToString(OfxStatus stat);

// String forms of the enums. The to-enum functions answer the "None" or
// "Custom" value (or eChangeUserEdit / eRenderUnsafe) for strings they do not know.
const char* mapContextEnumToString(ContextEnum context);
ContextEnum mapContextStringToEnum(std::string_view context);
const char* mapBitDepthEnumToString(BitDepthEnum depth);
BitDepthEnum mapBitDepthStringToEnum(std::string_view depth);
const char* mapPixelComponentEnumToString(PixelComponentEnum components);
PixelComponentEnum mapPixelComponentStringToEnum(std::string_view components);
const char* mapRenderSafetyEnumToString(RenderSafetyEnum safety);
RenderSafetyEnum mapRenderSafetyStringToEnum(std::string_view safety);
const char* mapChangeReasonEnumToString(InstanceChangeReason reason);
InstanceChangeReason mapChangeReasonStringToEnum(std::string_view reason);
const char* mapMessageTypeEnumToString(MessageTypeEnum type);

// Bytes of one component of that depth; 0 for None and Custom.
int bitDepthBytes(BitDepthEnum depth);
// Components per pixel; 0 for None and Custom.
int pixelComponentCount(PixelComponentEnum components);

}  // namespace OFX
