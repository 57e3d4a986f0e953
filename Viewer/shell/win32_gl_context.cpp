// WGL context creation: a dummy window's legacy context only to reach the
// ARB entry points, then the real pixel format and context on the main
// window, each step falling back to the plainer one.
#include "win32_gl_context.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "orvalis/platform/dialog.h"
#include "render/capabilities.h"
#include "win32_label_text.h"

namespace orvalis::viewer::win32 {
namespace {

// WGL_ARB_pixel_format, WGL_ARB_multisample, WGL_ARB_create_context(_profile).
constexpr int kWglDrawToWindow = 0x2001;
constexpr int kWglSupportOpenGl = 0x2010;
constexpr int kWglDoubleBuffer = 0x2011;
constexpr int kWglPixelType = 0x2013;
constexpr int kWglTypeRgba = 0x202B;
constexpr int kWglColorBits = 0x2014;
constexpr int kWglDepthBits = 0x2022;
constexpr int kWglStencilBits = 0x2023;
constexpr int kWglSampleBuffers = 0x2041;
constexpr int kWglSamples = 0x2042;
constexpr int kWglContextMajorVersion = 0x2091;
constexpr int kWglContextMinorVersion = 0x2092;
constexpr int kWglContextProfileMask = 0x9126;
constexpr int kWglContextCompatibilityProfileBit = 0x0002;

using ChoosePixelFormatArbFn = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*, UINT*);
using CreateContextAttribsArbFn = HGLRC(WINAPI*)(HDC, HGLRC, const int*);

// Process-wide, written only on the main thread while a context is made.
bool gDummyClassRegistered = false;
ChoosePixelFormatArbFn gChoosePixelFormatArb = nullptr;
CreateContextAttribsArbFn gCreateContextAttribsArb = nullptr;

constexpr char kDummyClassName[] = "OrvalisDummyGL";

PIXELFORMATDESCRIPTOR plainPixelFormat() noexcept {
    PIXELFORMATDESCRIPTOR descriptor{};
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 32;
    descriptor.cDepthBits = 24;
    descriptor.cStencilBits = 8;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

void registerDummyClassOnce(HINSTANCE instance) {
    if (gDummyClassRegistered)
        return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kDummyClassName;
    // A class left over by an earlier, failed attempt counts as registered.
    if (::RegisterClassA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        gDummyClassRegistered = true;
}

// The ARB entry points need a current context; a throw-away window lends
// its own, so the main window's pixel format stays unset until chosen.
struct DummyWindow {
    HWND window = nullptr;
    HDC deviceContext = nullptr;
    HGLRC glContext = nullptr;

    void open(HINSTANCE instance) {
        registerDummyClassOnce(instance);
        window = ::CreateWindowExA(0, kDummyClassName, "Dummy", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                   instance, nullptr);
        if (window != nullptr)
            deviceContext = ::GetDC(window);
        if (deviceContext == nullptr)
            return;
        const PIXELFORMATDESCRIPTOR descriptor = plainPixelFormat();
        const int format = ::ChoosePixelFormat(deviceContext, &descriptor);
        if (format == 0 || !::SetPixelFormat(deviceContext, format, &descriptor))
            return;
        glContext = ::wglCreateContext(deviceContext);
        if (glContext == nullptr || !::wglMakeCurrent(deviceContext, glContext))
            return;
        gCreateContextAttribsArb =
            reinterpret_cast<CreateContextAttribsArbFn>(lookupGlProc("wglCreateContextAttribsARB"));
        gChoosePixelFormatArb = reinterpret_cast<ChoosePixelFormatArbFn>(lookupGlProc("wglChoosePixelFormatARB"));
    }

    void close() {
        ::wglMakeCurrent(nullptr, nullptr);
        if (glContext != nullptr)
            ::wglDeleteContext(glContext);
        if (deviceContext != nullptr)
            ::ReleaseDC(window, deviceContext);
        if (window != nullptr)
            ::DestroyWindow(window);
        *this = {};
    }
};

// The first multisampled format offered with 8, 4 or 2 samples; 0 if none.
int chooseMultisampledFormat(HDC deviceContext) {
    if (gChoosePixelFormatArb == nullptr)
        return 0;
    for (const int samples : {8, 4, 2}) {
        const int attributes[] = {kWglDrawToWindow,
                                  1,
                                  kWglSupportOpenGl,
                                  1,
                                  kWglDoubleBuffer,
                                  1,
                                  kWglPixelType,
                                  kWglTypeRgba,
                                  kWglColorBits,
                                  32,
                                  kWglDepthBits,
                                  24,
                                  kWglStencilBits,
                                  8,
                                  kWglSampleBuffers,
                                  1,
                                  kWglSamples,
                                  samples,
                                  0};
        int format = 0;
        UINT count = 0;
        if (gChoosePixelFormatArb(deviceContext, attributes, nullptr, 1, &format, &count) && count >= 1) {
            char line[64];
            std::snprintf(line, sizeof line, "WGL: Selected %dx MSAA pixel format %d\n", samples, format);
            platform::debugOutput(line);
            return format;
        }
    }
    return 0;
}

HGLRC createArbContext(HDC deviceContext) {
    if (gCreateContextAttribsArb == nullptr)
        return nullptr;
    const int compatibility32[] = {kWglContextMajorVersion,
                                   3,
                                   kWglContextMinorVersion,
                                   2,
                                   kWglContextProfileMask,
                                   kWglContextCompatibilityProfileBit,
                                   0};
    HGLRC context = gCreateContextAttribsArb(deviceContext, nullptr, compatibility32);
    if (context != nullptr) {
        platform::debugOutput("Created OpenGL 3.2 Compatibility Profile context with MSAA\n");
        return context;
    }
    const int version30[] = {kWglContextMajorVersion, 3, kWglContextMinorVersion, 0, 0};
    context = gCreateContextAttribsArb(deviceContext, nullptr, version30);
    if (context != nullptr)
        platform::debugOutput("Created OpenGL 3.0 context with MSAA\n");
    return context;
}

void dropDeviceContext(HWND window, WglContext& context) {
    if (context.deviceContext != nullptr)
        ::ReleaseDC(window, context.deviceContext);
    context = {};
}

}  // namespace

GlProc lookupGlProc(const char* name) noexcept {
    if (name == nullptr)
        return nullptr;
    const PROC proc = ::wglGetProcAddress(name);
    const auto value = reinterpret_cast<std::intptr_t>(proc);
    if (value != 0 && value != 1 && value != 2 && value != 3 && value != -1)
        return reinterpret_cast<GlProc>(proc);
    // wglGetProcAddress gives nothing for what opengl32 exports itself.
    return reinterpret_cast<GlProc>(::GetProcAddress(::GetModuleHandleA("opengl32.dll"), name));
}

bool createGlContext(HWND window, WglContext& context, Renderer& renderer) {
    context = {};
    context.deviceContext = ::GetDC(window);
    if (context.deviceContext == nullptr)
        return false;

    DummyWindow dummy;
    dummy.open(::GetModuleHandleA(nullptr));
    int format = chooseMultisampledFormat(context.deviceContext);
    dummy.close();

    const PIXELFORMATDESCRIPTOR descriptor = plainPixelFormat();
    if (format == 0)
        format = ::ChoosePixelFormat(context.deviceContext, &descriptor);
    if (format == 0 || !::SetPixelFormat(context.deviceContext, format, &descriptor)) {
        dropDeviceContext(window, context);
        return false;
    }

    context.glContext = createArbContext(context.deviceContext);
    if (context.glContext == nullptr)
        context.glContext = ::wglCreateContext(context.deviceContext);
    if (context.glContext == nullptr || !::wglMakeCurrent(context.deviceContext, context.glContext)) {
        if (context.glContext != nullptr)
            ::wglDeleteContext(context.glContext);
        dropDeviceContext(window, context);
        return false;
    }

    const GlCapabilities& caps = renderer.detect();
    if (caps.glMajor >= 3) {
        renderer.init([](const char* name) { return lookupGlProc(name); });
        renderer.setLabelRasterizer(makeGdiLabelRasterizer());
        return true;
    }

    platform::debugOutput("ERROR: OpenGL version < 3.0, cannot continue\n");
    const std::string text = openGlRequiredText(caps);
    ::MessageBoxA(window, text.c_str(), kOpenGlRequiredTitle, MB_ICONERROR | MB_OK);
    ::wglMakeCurrent(nullptr, nullptr);
    ::wglDeleteContext(context.glContext);
    dropDeviceContext(window, context);
    return false;
}

void releaseGlResources(HWND window, WglContext& context, Renderer& renderer) {
    if (context.glContext != nullptr) {
        if (::wglMakeCurrent(context.deviceContext, context.glContext))
            renderer.release();
        ::wglMakeCurrent(nullptr, nullptr);
        ::wglDeleteContext(context.glContext);
        context.glContext = nullptr;
    }
    dropDeviceContext(window, context);
}

}  // namespace orvalis::viewer::win32
