// The system's OpenGL headers, for the renderer's own files only. On
// Windows gl.h would pull in <windows.h> unless the two calling-convention
// macros are already there; the renderer needs nothing else from it.
#pragma once

#if defined(_WIN32) && !defined(WINGDIAPI)
#define WINGDIAPI __declspec(dllimport)
#define ORVALIS_GL_OWN_WINGDIAPI 1
#endif
#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define ORVALIS_GL_OWN_APIENTRY 1
#endif

#include <GL/gl.h>
#include <GL/glext.h>

// A file that includes <windows.h> afterwards gets the system's definitions.
#ifdef ORVALIS_GL_OWN_WINGDIAPI
#undef WINGDIAPI
#undef ORVALIS_GL_OWN_WINGDIAPI
#endif
#ifdef ORVALIS_GL_OWN_APIENTRY
#undef APIENTRY
#undef ORVALIS_GL_OWN_APIENTRY
#endif
