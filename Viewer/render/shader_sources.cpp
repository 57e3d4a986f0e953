#include "render/shader_sources.h"

namespace orvalis::viewer {

namespace {

// The three generations say the same thing: 1.20 with attribute, varying and
// gl_FragColor; 1.30 and 1.50 with in, out and fragColor. Out of range means
// below -0.0001 or above 1.0001 on any axis.

// GLSL 1.20

constexpr char kSpriteVertex120[] = R"(#version 120
attribute vec3 aPosition;
attribute vec3 aColor;
uniform mat4 uMVP;
uniform float uPointSize;
varying vec3 vColor;
varying float vIsOutOfRange;
void main() {
    gl_Position = uMVP * vec4(aPosition, 1.0);
    gl_PointSize = uPointSize;
    vColor = aColor;
    bool outside = any(lessThan(aPosition, vec3(-0.0001))) || any(greaterThan(aPosition, vec3(1.0001)));
    vIsOutOfRange = outside ? 1.0 : 0.0;
}
)";

constexpr char kSpriteFragment120[] = R"(#version 120
uniform float uHighlightOutOfRange;
varying vec3 vColor;
varying float vIsOutOfRange;
void main() {
    vec2 c = gl_PointCoord - vec2(0.5, 0.5);
    float dist = length(c);
    if (dist > 0.5) {
        discard;
    }
    float alpha = 1.0 - smoothstep(0.4, 0.5, dist);
    vec3 color = vColor;
    if (uHighlightOutOfRange > 0.5 && vIsOutOfRange > 0.5) {
        color = vec3(1.0, 0.0, 0.9);
    }
    gl_FragColor = vec4(color, alpha);
}
)";

constexpr char kSphereVertex120[] = R"(#version 120
#extension GL_ARB_draw_instanced : enable
#extension GL_ARB_instanced_arrays : enable
attribute vec3 aPosition;
attribute vec3 aNormal;
attribute vec3 iPos;
attribute vec3 iColor;
uniform mat4 uMVP;
uniform float uScale;
varying vec3 vColor;
varying vec3 vNormal;
varying float vIsOutOfRange;
void main() {
    vec3 worldPos = aPosition * uScale + iPos;
    gl_Position = uMVP * vec4(worldPos, 1.0);
    vNormal = normalize(aNormal);
    vColor = iColor;
    bool outside = any(lessThan(iPos, vec3(-0.0001))) || any(greaterThan(iPos, vec3(1.0001)));
    vIsOutOfRange = outside ? 1.0 : 0.0;
}
)";

constexpr char kSphereFragment120[] = R"(#version 120
uniform float uLightingEnabled;
uniform float uAmbient;
uniform float uDiffuse;
uniform float uAmbient2;
uniform float uDiffuse2;
uniform vec3 uLightDir2;
uniform float uHighlightOutOfRange;
varying vec3 vColor;
varying vec3 vNormal;
varying float vIsOutOfRange;
void main() {
    bool isOut = vIsOutOfRange > 0.5;
    bool highlighted = uHighlightOutOfRange > 0.5 && isOut;
    vec3 base = highlighted ? vec3(1.0, 0.0, 0.9) : vColor;
    if (uLightingEnabled > 0.5) {
        vec3 N = normalize(vNormal);
        vec3 L1 = normalize(vec3(2.0, 2.0, 2.0));
        float lighting = uAmbient + uDiffuse * max(dot(N, L1), 0.0);
        vec3 L2 = normalize(uLightDir2);
        lighting += uAmbient2 + uDiffuse2 * max(dot(N, L2), 0.0);
        if (highlighted) {
            lighting = max(lighting, 0.85);
        }
        gl_FragColor = vec4(clamp(base * lighting, 0.0, 1.0), 1.0);
    } else {
        gl_FragColor = vec4(base, 1.0);
    }
}
)";

// GLSL 1.30

constexpr char kSpriteVertex130[] = R"(#version 130
in vec3 aPosition;
in vec3 aColor;
uniform mat4 uMVP;
uniform float uPointSize;
out vec3 vColor;
out float vIsOutOfRange;
void main() {
    gl_Position = uMVP * vec4(aPosition, 1.0);
    gl_PointSize = uPointSize;
    vColor = aColor;
    bool outside = any(lessThan(aPosition, vec3(-0.0001))) || any(greaterThan(aPosition, vec3(1.0001)));
    vIsOutOfRange = outside ? 1.0 : 0.0;
}
)";

constexpr char kSpriteFragment130[] = R"(#version 130
uniform float uHighlightOutOfRange;
in vec3 vColor;
in float vIsOutOfRange;
out vec4 fragColor;
void main() {
    vec2 c = gl_PointCoord - vec2(0.5, 0.5);
    float dist = length(c);
    if (dist > 0.5) {
        discard;
    }
    float alpha = 1.0 - smoothstep(0.4, 0.5, dist);
    vec3 color = vColor;
    if (uHighlightOutOfRange > 0.5 && vIsOutOfRange > 0.5) {
        color = vec3(1.0, 0.0, 0.9);
    }
    fragColor = vec4(color, alpha);
}
)";

constexpr char kSphereVertex130[] = R"(#version 130
#extension GL_ARB_draw_instanced : enable
#extension GL_ARB_instanced_arrays : enable
in vec3 aPosition;
in vec3 aNormal;
in vec3 iPos;
in vec3 iColor;
uniform mat4 uMVP;
uniform float uScale;
out vec3 vColor;
out vec3 vNormal;
out float vIsOutOfRange;
void main() {
    vec3 worldPos = aPosition * uScale + iPos;
    gl_Position = uMVP * vec4(worldPos, 1.0);
    vNormal = normalize(aNormal);
    vColor = iColor;
    bool outside = any(lessThan(iPos, vec3(-0.0001))) || any(greaterThan(iPos, vec3(1.0001)));
    vIsOutOfRange = outside ? 1.0 : 0.0;
}
)";

constexpr char kSphereFragment130[] = R"(#version 130
uniform float uLightingEnabled;
uniform float uAmbient;
uniform float uDiffuse;
uniform float uAmbient2;
uniform float uDiffuse2;
uniform vec3 uLightDir2;
uniform float uHighlightOutOfRange;
in vec3 vColor;
in vec3 vNormal;
in float vIsOutOfRange;
out vec4 fragColor;
void main() {
    bool isOut = vIsOutOfRange > 0.5;
    bool highlighted = uHighlightOutOfRange > 0.5 && isOut;
    vec3 base = highlighted ? vec3(1.0, 0.0, 0.9) : vColor;
    if (uLightingEnabled > 0.5) {
        vec3 N = normalize(vNormal);
        vec3 L1 = normalize(vec3(2.0, 2.0, 2.0));
        float lighting = uAmbient + uDiffuse * max(dot(N, L1), 0.0);
        vec3 L2 = normalize(uLightDir2);
        lighting += uAmbient2 + uDiffuse2 * max(dot(N, L2), 0.0);
        if (highlighted) {
            lighting = max(lighting, 0.85);
        }
        fragColor = vec4(clamp(base * lighting, 0.0, 1.0), 1.0);
    } else {
        fragColor = vec4(base, 1.0);
    }
}
)";

// GLSL 1.50

constexpr char kSpriteVertex150[] = R"(#version 150 core
in vec3 aPosition;
in vec3 aColor;
uniform mat4 uMVP;
uniform float uPointSize;
out vec3 vColor;
out float vIsOutOfRange;
void main() {
    gl_Position = uMVP * vec4(aPosition, 1.0);
    gl_PointSize = uPointSize;
    vColor = aColor;
    bool outside = any(lessThan(aPosition, vec3(-0.0001))) || any(greaterThan(aPosition, vec3(1.0001)));
    vIsOutOfRange = outside ? 1.0 : 0.0;
}
)";

constexpr char kSpriteFragment150[] = R"(#version 150 core
uniform float uHighlightOutOfRange;
in vec3 vColor;
in float vIsOutOfRange;
out vec4 fragColor;
void main() {
    vec2 c = gl_PointCoord - vec2(0.5, 0.5);
    float dist = length(c);
    if (dist > 0.5) {
        discard;
    }
    float alpha = 1.0 - smoothstep(0.4, 0.5, dist);
    vec3 color = vColor;
    if (uHighlightOutOfRange > 0.5 && vIsOutOfRange > 0.5) {
        color = vec3(1.0, 0.0, 0.9);
    }
    fragColor = vec4(color, alpha);
}
)";

constexpr char kSphereVertex150[] = R"(#version 150 core
in vec3 aPosition;
in vec3 aNormal;
in vec3 iPos;
in vec3 iColor;
uniform mat4 uMVP;
uniform float uScale;
out vec3 vColor;
out vec3 vNormal;
out float vIsOutOfRange;
void main() {
    vec3 worldPos = aPosition * uScale + iPos;
    gl_Position = uMVP * vec4(worldPos, 1.0);
    vNormal = normalize(aNormal);
    vColor = iColor;
    bool outside = any(lessThan(iPos, vec3(-0.0001))) || any(greaterThan(iPos, vec3(1.0001)));
    vIsOutOfRange = outside ? 1.0 : 0.0;
}
)";

constexpr char kSphereFragment150[] = R"(#version 150 core
uniform float uLightingEnabled;
uniform float uAmbient;
uniform float uDiffuse;
uniform float uAmbient2;
uniform float uDiffuse2;
uniform vec3 uLightDir2;
uniform float uHighlightOutOfRange;
in vec3 vColor;
in vec3 vNormal;
in float vIsOutOfRange;
out vec4 fragColor;
void main() {
    bool isOut = vIsOutOfRange > 0.5;
    bool highlighted = uHighlightOutOfRange > 0.5 && isOut;
    vec3 base = highlighted ? vec3(1.0, 0.0, 0.9) : vColor;
    if (uLightingEnabled > 0.5) {
        vec3 N = normalize(vNormal);
        vec3 L1 = normalize(vec3(2.0, 2.0, 2.0));
        float lighting = uAmbient + uDiffuse * max(dot(N, L1), 0.0);
        vec3 L2 = normalize(uLightDir2);
        lighting += uAmbient2 + uDiffuse2 * max(dot(N, L2), 0.0);
        if (highlighted) {
            lighting = max(lighting, 0.85);
        }
        fragColor = vec4(clamp(base * lighting, 0.0, 1.0), 1.0);
    } else {
        fragColor = vec4(base, 1.0);
    }
}
)";

}  // namespace

ShaderGeneration shaderGenerationFor(RenderPath path) noexcept {
    switch (path) {
    case RenderPath::Core32: return ShaderGeneration::Glsl150;
    case RenderPath::Compat30: return ShaderGeneration::Glsl130;
    case RenderPath::Legacy:
    case RenderPath::None: break;
    }
    return ShaderGeneration::Glsl120;
}

const char* shaderGenerationLine(ShaderGeneration generation) noexcept {
    switch (generation) {
    case ShaderGeneration::Glsl150: return "Selected GLSL 1.50 shaders (GL 3.2+ core)\n";
    case ShaderGeneration::Glsl130: return "Selected GLSL 1.30 shaders (GL 3.0 compat)\n";
    case ShaderGeneration::Glsl120: break;
    }
    return "Selected GLSL 1.20 shaders (legacy fallback)\n";
}

ShaderSources shaderSources(ShaderGeneration generation) noexcept {
    switch (generation) {
    case ShaderGeneration::Glsl150: return {kSpriteVertex150, kSpriteFragment150, kSphereVertex150, kSphereFragment150};
    case ShaderGeneration::Glsl130: return {kSpriteVertex130, kSpriteFragment130, kSphereVertex130, kSphereFragment130};
    case ShaderGeneration::Glsl120: break;
    }
    return {kSpriteVertex120, kSpriteFragment120, kSphereVertex120, kSphereFragment120};
}

}  // namespace orvalis::viewer
