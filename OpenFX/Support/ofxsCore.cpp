// Status exceptions and the enum <-> string forms of the C API.
#include "ofxsCore.h"

#include <cstdio>

namespace OFX {

namespace Exception {

Suite::Suite(OfxStatus s) : status_(s) {
    what_ = "OFX suite error: ";
    what_ += mapStatusToString(s);
    what_ += " (" + std::to_string(s) + ")";
}

OfxStatus Suite::status() const { return status_; }

const char* Suite::what() const noexcept { return what_.c_str(); }

}  // namespace Exception

void throwSuiteStatusException(OfxStatus stat) { throw Exception::Suite(stat); }

const char* mapStatusToString(OfxStatus stat) {
    switch (stat) {
    case kOfxStatOK: return "kOfxStatOK";
    case kOfxStatFailed: return "kOfxStatFailed";
    case kOfxStatErrFatal: return "kOfxStatErrFatal";
    case kOfxStatErrUnknown: return "kOfxStatErrUnknown";
    case kOfxStatErrMissingHostFeature: return "kOfxStatErrMissingHostFeature";
    case kOfxStatErrUnsupported: return "kOfxStatErrUnsupported";
    case kOfxStatErrExists: return "kOfxStatErrExists";
    case kOfxStatErrFormat: return "kOfxStatErrFormat";
    case kOfxStatErrMemory: return "kOfxStatErrMemory";
    case kOfxStatErrBadHandle: return "kOfxStatErrBadHandle";
    case kOfxStatErrBadIndex: return "kOfxStatErrBadIndex";
    case kOfxStatErrValue: return "kOfxStatErrValue";
    case kOfxStatReplyYes: return "kOfxStatReplyYes";
    case kOfxStatReplyNo: return "kOfxStatReplyNo";
    case kOfxStatReplyDefault: return "kOfxStatReplyDefault";
    default: return "unknown status";
    }
}

namespace {

template <class E, std::size_t N>
struct Table {
    struct Row {
        E value;
        const char* text;
    };
    Row rows[N];

    const char* toString(E value, const char* fallback) const {
        for (const Row& r : rows)
            if (r.value == value)
                return r.text;
        return fallback;
    }
    E toEnum(std::string_view text, E fallback) const {
        for (const Row& r : rows)
            if (text == r.text)
                return r.value;
        return fallback;
    }
};

constexpr Table<ContextEnum, 6> kContexts{{
    {eContextGenerator, kOfxImageEffectContextGenerator},
    {eContextFilter, kOfxImageEffectContextFilter},
    {eContextTransition, kOfxImageEffectContextTransition},
    {eContextPaint, kOfxImageEffectContextPaint},
    {eContextGeneral, kOfxImageEffectContextGeneral},
    {eContextRetimer, kOfxImageEffectContextRetimer},
}};

constexpr Table<BitDepthEnum, 5> kDepths{{
    {eBitDepthNone, kOfxBitDepthNone},
    {eBitDepthUByte, kOfxBitDepthByte},
    {eBitDepthUShort, kOfxBitDepthShort},
    {eBitDepthHalf, kOfxBitDepthHalf},
    {eBitDepthFloat, kOfxBitDepthFloat},
}};

constexpr Table<PixelComponentEnum, 4> kComponents{{
    {ePixelComponentNone, kOfxImageComponentNone},
    {ePixelComponentRGBA, kOfxImageComponentRGBA},
    {ePixelComponentRGB, kOfxImageComponentRGB},
    {ePixelComponentAlpha, kOfxImageComponentAlpha},
}};

constexpr Table<RenderSafetyEnum, 3> kSafety{{
    {eRenderUnsafe, kOfxImageEffectRenderUnsafe},
    {eRenderInstanceSafe, kOfxImageEffectRenderInstanceSafe},
    {eRenderFullySafe, kOfxImageEffectRenderFullySafe},
}};

constexpr Table<InstanceChangeReason, 3> kReasons{{
    {eChangeUserEdit, kOfxChangeUserEdited},
    {eChangePluginEdit, kOfxChangePluginEdited},
    {eChangeTime, kOfxChangeTime},
}};

constexpr Table<MessageTypeEnum, 6> kMessages{{
    {eMessageFatal, kOfxMessageFatal},
    {eMessageError, kOfxMessageError},
    {eMessageMessage, kOfxMessageMessage},
    {eMessageLog, kOfxMessageLog},
    {eMessageQuestion, kOfxMessageQuestion},
    {eMessageWarning, kOfxMessageWarning},
}};

}  // namespace

// An enum value outside the table (a cast integer) maps to the "none" string
// rather than to nothing, so no caller ever hands a null string to the host.
const char* mapContextEnumToString(ContextEnum c) { return kContexts.toString(c, ""); }
ContextEnum mapContextStringToEnum(std::string_view s) { return kContexts.toEnum(s, eContextNone); }
const char* mapBitDepthEnumToString(BitDepthEnum d) { return kDepths.toString(d, kOfxBitDepthNone); }
BitDepthEnum mapBitDepthStringToEnum(std::string_view s) { return kDepths.toEnum(s, eBitDepthCustom); }
const char* mapPixelComponentEnumToString(PixelComponentEnum c) {
    return kComponents.toString(c, kOfxImageComponentNone);
}
PixelComponentEnum mapPixelComponentStringToEnum(std::string_view s) {
    return kComponents.toEnum(s, ePixelComponentCustom);
}
const char* mapRenderSafetyEnumToString(RenderSafetyEnum s) { return kSafety.toString(s, kOfxImageEffectRenderUnsafe); }
RenderSafetyEnum mapRenderSafetyStringToEnum(std::string_view s) { return kSafety.toEnum(s, eRenderUnsafe); }
const char* mapChangeReasonEnumToString(InstanceChangeReason r) { return kReasons.toString(r, kOfxChangeUserEdited); }
InstanceChangeReason mapChangeReasonStringToEnum(std::string_view s) { return kReasons.toEnum(s, eChangeUserEdit); }
const char* mapMessageTypeEnumToString(MessageTypeEnum t) { return kMessages.toString(t, kOfxMessageMessage); }

int bitDepthBytes(BitDepthEnum depth) {
    switch (depth) {
    case eBitDepthUByte: return 1;
    case eBitDepthUShort: return 2;
    case eBitDepthHalf: return 2;
    case eBitDepthFloat: return 4;
    default: return 0;
    }
}

int pixelComponentCount(PixelComponentEnum components) {
    switch (components) {
    case ePixelComponentRGBA: return 4;
    case ePixelComponentRGB: return 3;
    case ePixelComponentAlpha: return 1;
    default: return 0;
    }
}

}  // namespace OFX
