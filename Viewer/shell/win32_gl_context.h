// The main window's OpenGL context through WGL: a multisampled pixel format
// and a 3.2 compatibility context where the ARB extensions allow, plainer
// choices where they do not, and the refusal below OpenGL 3.0.
#pragma once

#include "render/renderer.h"
#include "win32_system.h"

namespace orvalis::viewer::win32 {

// The window's device context and its rendering context; both null when
// there is no context.
struct WglContext {
    HDC deviceContext = nullptr;
    HGLRC glContext = nullptr;
};

// createGlContext: true when a context of OpenGL 3.0 or newer is current on
// the window and the renderer is initialised. False otherwise, with both
// handles null; below 3.0 after the user closed the "OpenGL 3.0+ Required"
// box, owned by the window.
bool createGlContext(HWND window, WglContext& context, Renderer& renderer);

// releaseGlResources: the renderer's GL objects, the rendering context and
// the device context. Safe when there is nothing to release.
void releaseGlResources(HWND window, WglContext& context, Renderer& renderer);

// wglGetProcAddress with the driver's failure values (1, 2, 3 and -1) taken
// as null, and opengl32's own exports (the 1.1 functions) as a fallback.
GlProc lookupGlProc(const char* name) noexcept;

}  // namespace orvalis::viewer::win32
