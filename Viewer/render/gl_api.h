// The looked-up entry points with their GL types, for the renderer's own
// files. Every pointer may be null; callers check before use.
#pragma once

#include <type_traits>

#include "render/gl_headers.h"
#include "render/gl_loader.h"

namespace orvalis::viewer {

struct GlApi {
    PFNGLGENBUFFERSPROC GenBuffers = nullptr;
    PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
    PFNGLBINDBUFFERPROC BindBuffer = nullptr;
    PFNGLBUFFERDATAPROC BufferData = nullptr;
    PFNGLBUFFERSUBDATAPROC BufferSubData = nullptr;
    PFNGLCREATESHADERPROC CreateShader = nullptr;
    PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
    PFNGLCOMPILESHADERPROC CompileShader = nullptr;
    PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
    PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
    PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
    PFNGLATTACHSHADERPROC AttachShader = nullptr;
    PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
    PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
    PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog = nullptr;
    PFNGLUSEPROGRAMPROC UseProgram = nullptr;
    PFNGLDELETESHADERPROC DeleteShader = nullptr;
    PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
    PFNGLUNIFORMMATRIX4FVPROC UniformMatrix4fv = nullptr;
    PFNGLUNIFORM1FPROC Uniform1f = nullptr;
    PFNGLUNIFORM3FPROC Uniform3f = nullptr;
    PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray = nullptr;
    PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer = nullptr;
    PFNGLBINDATTRIBLOCATIONPROC BindAttribLocation = nullptr;
    PFNGLVERTEXATTRIBDIVISORPROC VertexAttribDivisor = nullptr;
    PFNGLDRAWELEMENTSINSTANCEDPROC DrawElementsInstanced = nullptr;
    PFNGLGENVERTEXARRAYSPROC GenVertexArrays = nullptr;
    PFNGLDELETEVERTEXARRAYSPROC DeleteVertexArrays = nullptr;
    PFNGLBINDVERTEXARRAYPROC BindVertexArray = nullptr;
    // Not in the looked-up table: used only where a sprite frame has no
    // vertex array and must switch its attribute arrays off again.
    PFNGLDISABLEVERTEXATTRIBARRAYPROC DisableVertexAttribArray = nullptr;

    // The typed view of a loaded table.
    static GlApi from(const GlEntryTable& table) noexcept {
        GlApi api;
        auto take = [&](auto& slot, GlEntry entry) {
            // void (*)() is the generic function pointer: casting from it is
            // what the loader contract means.
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(table[entry]);
        };
        take(api.GenBuffers, GlEntry::GenBuffers);
        take(api.DeleteBuffers, GlEntry::DeleteBuffers);
        take(api.BindBuffer, GlEntry::BindBuffer);
        take(api.BufferData, GlEntry::BufferData);
        take(api.BufferSubData, GlEntry::BufferSubData);
        take(api.CreateShader, GlEntry::CreateShader);
        take(api.ShaderSource, GlEntry::ShaderSource);
        take(api.CompileShader, GlEntry::CompileShader);
        take(api.GetShaderiv, GlEntry::GetShaderiv);
        take(api.GetShaderInfoLog, GlEntry::GetShaderInfoLog);
        take(api.CreateProgram, GlEntry::CreateProgram);
        take(api.AttachShader, GlEntry::AttachShader);
        take(api.LinkProgram, GlEntry::LinkProgram);
        take(api.GetProgramiv, GlEntry::GetProgramiv);
        take(api.GetProgramInfoLog, GlEntry::GetProgramInfoLog);
        take(api.UseProgram, GlEntry::UseProgram);
        take(api.DeleteShader, GlEntry::DeleteShader);
        take(api.DeleteProgram, GlEntry::DeleteProgram);
        take(api.GetUniformLocation, GlEntry::GetUniformLocation);
        take(api.UniformMatrix4fv, GlEntry::UniformMatrix4fv);
        take(api.Uniform1f, GlEntry::Uniform1f);
        take(api.Uniform3f, GlEntry::Uniform3f);
        take(api.EnableVertexAttribArray, GlEntry::EnableVertexAttribArray);
        take(api.VertexAttribPointer, GlEntry::VertexAttribPointer);
        take(api.BindAttribLocation, GlEntry::BindAttribLocation);
        take(api.VertexAttribDivisor, GlEntry::VertexAttribDivisor);
        take(api.DrawElementsInstanced, GlEntry::DrawElementsInstanced);
        take(api.GenVertexArrays, GlEntry::GenVertexArrays);
        take(api.DeleteVertexArrays, GlEntry::DeleteVertexArrays);
        take(api.BindVertexArray, GlEntry::BindVertexArray);
        return api;
    }
};

}  // namespace orvalis::viewer
