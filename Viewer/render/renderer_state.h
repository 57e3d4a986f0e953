// Everything the renderer made: GL names, uniform locations, capacities and
// the looked-up entry points. Internal to Viewer/render (the overlay reads
// and writes its part).
#pragma once

#include <cstdint>
#include <memory>

#include "render/capabilities.h"
#include "render/gl_api.h"
#include "render/label_text.h"
#include "render/shader_sources.h"

namespace orvalis::viewer {

// The point-sprite program and its uniforms (-1 where the driver has none).
struct SpriteProgram {
    GLuint program = 0;
    GLint uMVP = -1;
    GLint uPointSize = -1;
    GLint uHighlightOutOfRange = -1;
};

// The instanced-sphere program and its uniforms.
struct SphereProgram {
    GLuint program = 0;
    GLint uMVP = -1;
    GLint uScale = -1;
    GLint uLightingEnabled = -1;
    GLint uAmbient = -1;
    GLint uDiffuse = -1;
    GLint uAmbient2 = -1;
    GLint uDiffuse2 = -1;
    GLint uLightDir2 = -1;
    GLint uHighlightOutOfRange = -1;
};

// The gamut badge's label textures and the scale they were made for.
struct OverlayState {
    GLuint inGamutTexture = 0;
    GLuint outOfGamutTexture = 0;
    std::int32_t inGamutLabelWidth = 0;
    std::int32_t inGamutLabelHeight = 0;
    std::int32_t outOfGamutLabelWidth = 0;
    std::int32_t outOfGamutLabelHeight = 0;
    float labelScale = 0.0f;
};

struct RendererState {
    GlCapabilities caps;
    GlApi gl;
    ShaderGeneration generation = ShaderGeneration::Glsl120;
    bool vboEnabled = false;

    GLuint pointBuffer = 0;
    std::uint64_t pointBufferCapacity = 0;  // bytes; only grows
    GLuint sphereVertexBuffer = 0;
    GLuint sphereNormalBuffer = 0;
    GLuint sphereIndexBuffer = 0;
    std::int32_t sphereIndexCount = 0;
    GLuint instanceBuffer = 0;
    std::uint64_t instanceBufferCapacity = 0;  // bytes; only grows
    GLuint sphereVertexArray = 0;
    GLuint spriteVertexArray = 0;

    SpriteProgram sprite;
    SphereProgram sphere;
    OverlayState overlay;
    // The platform's text for the labels, given by the shell; outlives
    // contexts (release leaves it). Null: badges without labels.
    std::unique_ptr<LabelRasterizer> labelRasterizer;
};

}  // namespace orvalis::viewer
