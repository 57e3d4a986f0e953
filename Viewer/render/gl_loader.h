// The GL entry points newer than 1.1, looked up at run time by name with
// their ARB and EXT fallbacks. Plain pointers and names only: the typed
// view lives in gl_api.h, so the fallback order is tested without GL.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "render/capabilities.h"

namespace orvalis::viewer {

// Resolves a GL entry point by name (wglGetProcAddress, glfwGetProcAddress);
// null when the driver has none.
using GlProc = void (*)();
using GlLookup = std::function<GlProc(const char* name)>;

// Every looked-up entry point, in load order.
enum class GlEntry : std::size_t {
    GenBuffers,
    DeleteBuffers,
    BindBuffer,
    BufferData,
    BufferSubData,
    CreateShader,
    ShaderSource,
    CompileShader,
    GetShaderiv,
    GetShaderInfoLog,
    CreateProgram,
    AttachShader,
    LinkProgram,
    GetProgramiv,
    GetProgramInfoLog,
    UseProgram,
    DeleteShader,
    DeleteProgram,
    GetUniformLocation,
    UniformMatrix4fv,
    Uniform1f,
    Uniform3f,
    EnableVertexAttribArray,
    VertexAttribPointer,
    BindAttribLocation,
    VertexAttribDivisor,
    DrawElementsInstanced,
    GenVertexArrays,
    DeleteVertexArrays,
    BindVertexArray,
    Count
};
inline constexpr std::size_t kGlEntryCount = static_cast<std::size_t>(GlEntry::Count);

// The names tried for one entry point, first to last.
std::vector<std::string> glEntryNames(GlEntry entry);

// The resolved pointers; null where no name resolved.
struct GlEntryTable {
    std::array<GlProc, kGlEntryCount> procs{};

    GlProc operator[](GlEntry entry) const noexcept { return procs[static_cast<std::size_t>(entry)]; }
    bool has(GlEntry entry) const noexcept { return (*this)[entry] != nullptr; }
};

// loadGlFunctions: resolves every entry point through `lookup` (which may be
// empty: then nothing resolves), sets the five entry-point flags of `caps`
// and writes the "GL Extensions:" debug line.
GlEntryTable loadGlFunctions(const GlLookup& lookup, GlCapabilities& caps);

}  // namespace orvalis::viewer
