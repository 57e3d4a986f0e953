// The shader texts: a point-sprite and an instanced-sphere program, each in
// three GLSL generations, and which generation a render path gets.
#pragma once

#include "render/capabilities.h"

namespace orvalis::viewer {

enum class ShaderGeneration { Glsl120, Glsl130, Glsl150 };

// The four texts of one generation, each zero-terminated.
struct ShaderSources {
    const char* spriteVertex;
    const char* spriteFragment;
    const char* sphereVertex;
    const char* sphereFragment;
};

// Core32: 1.50; Compat30: 1.30; Legacy and None: 1.20.
ShaderGeneration shaderGenerationFor(RenderPath path) noexcept;
// The debug line that names the chosen generation ("Selected GLSL ...").
const char* shaderGenerationLine(ShaderGeneration generation) noexcept;
ShaderSources shaderSources(ShaderGeneration generation) noexcept;

}  // namespace orvalis::viewer
