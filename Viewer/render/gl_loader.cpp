#include "render/gl_loader.h"

#include <cstdio>

#include "orvalis/platform/dialog.h"

namespace orvalis::viewer {

namespace {

// Base names of the entry points tried as plain, ARB, EXT, in load order.
constexpr std::array<const char*, static_cast<std::size_t>(GlEntry::VertexAttribDivisor)> kPlainArbExt = {
    "glGenBuffers",
    "glDeleteBuffers",
    "glBindBuffer",
    "glBufferData",
    "glBufferSubData",
    "glCreateShader",
    "glShaderSource",
    "glCompileShader",
    "glGetShaderiv",
    "glGetShaderInfoLog",
    "glCreateProgram",
    "glAttachShader",
    "glLinkProgram",
    "glGetProgramiv",
    "glGetProgramInfoLog",
    "glUseProgram",
    "glDeleteShader",
    "glDeleteProgram",
    "glGetUniformLocation",
    "glUniformMatrix4fv",
    "glUniform1f",
    "glUniform3f",
    "glEnableVertexAttribArray",
    "glVertexAttribPointer",
    "glBindAttribLocation",
};

}  // namespace

std::vector<std::string> glEntryNames(GlEntry entry) {
    const auto index = static_cast<std::size_t>(entry);
    if (index < kPlainArbExt.size()) {
        const std::string base = kPlainArbExt[index];
        return {base, base + "ARB", base + "EXT"};
    }
    switch (entry) {
    case GlEntry::VertexAttribDivisor: return {"glVertexAttribDivisorARB", "glVertexAttribDivisor"};
    case GlEntry::DrawElementsInstanced:
        return {"glDrawElementsInstancedARB", "glDrawElementsInstanced", "glDrawElementsInstancedEXT"};
    case GlEntry::GenVertexArrays: return {"glGenVertexArrays"};
    case GlEntry::DeleteVertexArrays: return {"glDeleteVertexArrays"};
    case GlEntry::BindVertexArray: return {"glBindVertexArray"};
    default: return {};
    }
}

GlEntryTable loadGlFunctions(const GlLookup& lookup, GlCapabilities& caps) {
    GlEntryTable table;
    if (lookup) {
        for (std::size_t i = 0; i < kGlEntryCount; ++i) {
            for (const std::string& name : glEntryNames(static_cast<GlEntry>(i))) {
                if (GlProc proc = lookup(name.c_str()); proc != nullptr) {
                    table.procs[i] = proc;
                    break;
                }
            }
        }
    }

    caps.hasVbo = table.has(GlEntry::GenBuffers) && table.has(GlEntry::BindBuffer) && table.has(GlEntry::BufferData);
    caps.hasShaders = table.has(GlEntry::CreateShader) && table.has(GlEntry::CreateProgram) &&
                      table.has(GlEntry::LinkProgram) && table.has(GlEntry::UseProgram);
    caps.hasDivisor = table.has(GlEntry::VertexAttribDivisor);
    caps.hasDrawInstanced = table.has(GlEntry::DrawElementsInstanced);
    caps.hasInstancing = caps.hasDivisor && caps.hasDrawInstanced;

    char line[512];
    std::snprintf(line, sizeof line,
                  "GL Extensions: VBO=%d, Shaders=%d, Instancing=%d (Divisor=%d, DrawInstanced=%d)\n",
                  caps.hasVbo ? 1 : 0, caps.hasShaders ? 1 : 0, caps.hasInstancing ? 1 : 0, caps.hasDivisor ? 1 : 0,
                  caps.hasDrawInstanced ? 1 : 0);
    platform::debugOutput(line);
    return table;
}

}  // namespace orvalis::viewer
