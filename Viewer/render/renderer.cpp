#include "render/renderer.h"

#include <climits>
#include <cstddef>
#include <mutex>
#include <utility>

#include "orvalis/platform/dialog.h"
#include "render/frame_plan.h"
#include "render/gl_headers.h"
#include "render/overlay.h"
#include "render/renderer_state.h"
#include "render/scene_math.h"
#include "render/shader_sources.h"

namespace orvalis::viewer {

namespace {

constexpr GLsizei kPointStride = static_cast<GLsizei>(sizeof(PointRecord));
constexpr std::size_t kColorOffset = offsetof(PointRecord, r);
constexpr GLsizei kInfoLogSize = 512;

const void* bufferOffset(std::size_t bytes) noexcept { return reinterpret_cast<const void*>(bytes); }

GlQueries currentContextQueries() {
    GlQueries queries;
    queries.getString = [](std::uint32_t name) {
        return reinterpret_cast<const char*>(glGetString(static_cast<GLenum>(name)));
    };
    queries.getInteger = [](std::uint32_t name) {
        GLint value = 0;
        glGetIntegerv(static_cast<GLenum>(name), &value);
        return static_cast<std::int32_t>(value);
    };
    return queries;
}

// Every call that building a program makes, beyond the four that hasShaders
// names; a driver missing one gets no programs rather than a null call.
bool canBuildPrograms(const GlCapabilities& caps, const GlApi& gl) noexcept {
    return caps.hasShaders && gl.ShaderSource && gl.CompileShader && gl.GetShaderiv && gl.GetShaderInfoLog &&
           gl.AttachShader && gl.GetProgramiv && gl.GetProgramInfoLog && gl.DeleteShader && gl.DeleteProgram &&
           gl.BindAttribLocation && gl.GetUniformLocation && gl.UniformMatrix4fv && gl.Uniform1f && gl.Uniform3f;
}

GLuint compileShader(const GlApi& gl, GLenum type, const char* source) {
    GLuint shader = gl.CreateShader(type);
    if (shader == 0) {
        return 0;
    }
    gl.ShaderSource(shader, 1, &source, nullptr);
    gl.CompileShader(shader);
    GLint compiled = GL_FALSE;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_FALSE) {
        return shader;
    }
    char log[kInfoLogSize] = {};
    gl.GetShaderInfoLog(shader, kInfoLogSize, nullptr, log);
    log[kInfoLogSize - 1] = '\0';
    platform::debugOutput("Shader compilation failed: ");
    platform::debugOutput(log);
    gl.DeleteShader(shader);
    return 0;
}

// Compiles both stages, binds the attribute names to locations 0, 1, ...
// and links. 0 on any failure, reported with `linkFailure` before the log.
template <std::size_t N>
GLuint buildProgram(const GlApi& gl, const char* vertexSource, const char* fragmentSource,
                    const char* const (&attributes)[N], const char* linkFailure) {
    const GLuint vertex = compileShader(gl, GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compileShader(gl, GL_FRAGMENT_SHADER, fragmentSource);
    if (vertex == 0 || fragment == 0) {
        if (vertex != 0) {
            gl.DeleteShader(vertex);
        }
        if (fragment != 0) {
            gl.DeleteShader(fragment);
        }
        return 0;
    }
    GLuint program = gl.CreateProgram();
    if (program != 0) {
        gl.AttachShader(program, vertex);
        gl.AttachShader(program, fragment);
        for (std::size_t i = 0; i < N; ++i) {
            gl.BindAttribLocation(program, static_cast<GLuint>(i), attributes[i]);
        }
        gl.LinkProgram(program);
        GLint linked = GL_FALSE;
        gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked == GL_FALSE) {
            char log[kInfoLogSize] = {};
            gl.GetProgramInfoLog(program, kInfoLogSize, nullptr, log);
            log[kInfoLogSize - 1] = '\0';
            platform::debugOutput(linkFailure);
            platform::debugOutput(log);
            gl.DeleteProgram(program);
            program = 0;
        }
    }
    gl.DeleteShader(vertex);
    gl.DeleteShader(fragment);
    return program;
}

void buildSphereProgram(RendererState& r) {
    const GlApi& gl = r.gl;
    const ShaderSources sources = shaderSources(r.generation);
    static constexpr const char* kAttributes[] = {"aPosition", "aNormal", "iPos", "iColor"};
    SphereProgram& p = r.sphere;
    p.program = buildProgram(gl, sources.sphereVertex, sources.sphereFragment, kAttributes,
                             "Instanced Shader linking failed: ");
    if (p.program != 0) {
        p.uMVP = gl.GetUniformLocation(p.program, "uMVP");
        p.uScale = gl.GetUniformLocation(p.program, "uScale");
        p.uLightingEnabled = gl.GetUniformLocation(p.program, "uLightingEnabled");
        p.uAmbient = gl.GetUniformLocation(p.program, "uAmbient");
        p.uDiffuse = gl.GetUniformLocation(p.program, "uDiffuse");
        p.uAmbient2 = gl.GetUniformLocation(p.program, "uAmbient2");
        p.uDiffuse2 = gl.GetUniformLocation(p.program, "uDiffuse2");
        p.uLightDir2 = gl.GetUniformLocation(p.program, "uLightDir2");
        p.uHighlightOutOfRange = gl.GetUniformLocation(p.program, "uHighlightOutOfRange");
    }
    gl.GenBuffers(1, &r.instanceBuffer);
}

void buildSpriteProgram(RendererState& r) {
    const GlApi& gl = r.gl;
    const ShaderSources sources = shaderSources(r.generation);
    static constexpr const char* kAttributes[] = {"aPosition", "aColor"};
    SpriteProgram& p = r.sprite;
    p.program =
        buildProgram(gl, sources.spriteVertex, sources.spriteFragment, kAttributes, "Shader program linking failed: ");
    if (p.program != 0) {
        p.uMVP = gl.GetUniformLocation(p.program, "uMVP");
        p.uPointSize = gl.GetUniformLocation(p.program, "uPointSize");
        p.uHighlightOutOfRange = gl.GetUniformLocation(p.program, "uHighlightOutOfRange");
        platform::debugOutput("Point-sprite shader program initialized\n");
    } else {
        platform::debugOutput("Failed to create point-sprite shader program\n");
    }
}

void deleteBuffer(const GlApi& gl, GLuint& name) {
    if (name != 0 && gl.DeleteBuffers != nullptr) {
        gl.DeleteBuffers(1, &name);
    }
    name = 0;
}

void buildSphereMesh(RendererState& r) {
    const GlApi& gl = r.gl;
    const SphereMesh mesh = makeSphereMesh();
    deleteBuffer(gl, r.sphereVertexBuffer);
    deleteBuffer(gl, r.sphereNormalBuffer);
    deleteBuffer(gl, r.sphereIndexBuffer);

    gl.GenBuffers(1, &r.sphereVertexBuffer);
    gl.GenBuffers(1, &r.sphereNormalBuffer);
    gl.GenBuffers(1, &r.sphereIndexBuffer);
    auto upload = [&](GLenum target, GLuint buffer, const auto& data) {
        if (buffer == 0) {
            return;
        }
        gl.BindBuffer(target, buffer);
        gl.BufferData(target, static_cast<GLsizeiptr>(data.size() * sizeof(data[0])), data.data(), GL_STATIC_DRAW);
    };
    upload(GL_ARRAY_BUFFER, r.sphereVertexBuffer, mesh.positions);
    upload(GL_ARRAY_BUFFER, r.sphereNormalBuffer, mesh.normals);
    upload(GL_ELEMENT_ARRAY_BUFFER, r.sphereIndexBuffer, mesh.indices);
    r.sphereIndexCount = static_cast<std::int32_t>(mesh.indices.size());
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

// One enabled attribute of three floats from `buffer`.
void vec3Attribute(const GlApi& gl, GLuint location, GLuint buffer, GLsizei stride, std::size_t offset) {
    gl.BindBuffer(GL_ARRAY_BUFFER, buffer);
    gl.EnableVertexAttribArray(location);
    gl.VertexAttribPointer(location, 3, GL_FLOAT, GL_FALSE, stride, bufferOffset(offset));
}

void buildVertexArrays(RendererState& r) {
    const GlApi& gl = r.gl;
    if (!gl.GenVertexArrays || !gl.BindVertexArray || !gl.EnableVertexAttribArray || !gl.VertexAttribPointer) {
        return;
    }
    if (r.sphereVertexBuffer != 0 && r.sphereNormalBuffer != 0 && r.instanceBuffer != 0 &&
        gl.VertexAttribDivisor != nullptr) {
        gl.GenVertexArrays(1, &r.sphereVertexArray);
        if (r.sphereVertexArray != 0) {
            gl.BindVertexArray(r.sphereVertexArray);
            vec3Attribute(gl, 0, r.sphereVertexBuffer, 0, 0);
            vec3Attribute(gl, 1, r.sphereNormalBuffer, 0, 0);
            vec3Attribute(gl, 2, r.instanceBuffer, kPointStride, 0);
            gl.VertexAttribDivisor(2, 1);
            vec3Attribute(gl, 3, r.instanceBuffer, kPointStride, kColorOffset);
            gl.VertexAttribDivisor(3, 1);
            gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.sphereIndexBuffer);
            gl.BindVertexArray(0);
            gl.BindBuffer(GL_ARRAY_BUFFER, 0);
            gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
            platform::debugOutput("Instanced sphere VAO initialized\n");
        }
    }
    if (r.pointBuffer != 0) {
        gl.GenVertexArrays(1, &r.spriteVertexArray);
        if (r.spriteVertexArray != 0) {
            gl.BindVertexArray(r.spriteVertexArray);
            vec3Attribute(gl, 0, r.pointBuffer, kPointStride, 0);
            vec3Attribute(gl, 1, r.pointBuffer, kPointStride, kColorOffset);
            gl.BindVertexArray(0);
            gl.BindBuffer(GL_ARRAY_BUFFER, 0);
            platform::debugOutput("Point sprite VAO initialized\n");
        }
    }
}

void setDefaultState() {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_MULTISAMPLE);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_POINT_SMOOTH);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_POLYGON_SMOOTH);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    // Without these most drivers ignore the sprite shader's gl_PointSize and
    // leave gl_PointCoord undefined: one-pixel squares instead of discs.
    glEnable(GL_PROGRAM_POINT_SIZE);
    glEnable(GL_POINT_SPRITE);
}

void drawCubeFrame() {
    // Each corner is coloured (z, y, x) of its position: x is blue, z red.
    static constexpr float kEdges[12][2][3] = {
        {{0, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {0, 1, 1}}, {{0, 1, 1}, {0, 1, 0}}, {{0, 1, 0}, {0, 0, 0}},
        {{1, 0, 0}, {1, 0, 1}}, {{1, 0, 1}, {1, 1, 1}}, {{1, 1, 1}, {1, 1, 0}}, {{1, 1, 0}, {1, 0, 0}},
        {{0, 0, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 1}}, {{0, 1, 1}, {1, 1, 1}}, {{0, 1, 0}, {1, 1, 0}},
    };
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (const auto& edge : kEdges) {
        for (const float* v : {edge[0], edge[1]}) {
            glColor3f(v[2], v[1], v[0]);
            glVertex3f(v[0], v[1], v[2]);
        }
    }
    glEnd();
    glLineWidth(1.0f);
}

// The buffer bound to GL_ARRAY_BUFFER receives the whole cloud.
void uploadPoints(const GlApi& gl, const std::vector<PointRecord>& points, std::uint64_t& capacity,
                  UploadBuffer which) {
    const std::uint64_t size = static_cast<std::uint64_t>(points.size()) * sizeof(PointRecord);
    const UploadPlan plan = planUpload(size, capacity, which);
    if (plan.withData) {
        gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(plan.allocateBytes), points.data(), GL_DYNAMIC_DRAW);
    } else {
        gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(plan.allocateBytes), nullptr, GL_DYNAMIC_DRAW);
        gl.BufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(plan.subDataBytes), points.data());
    }
    capacity = plan.newCapacity;
}

GLsizei drawCount(std::size_t n) noexcept { return n > INT_MAX ? INT_MAX : static_cast<GLsizei>(n); }

void drawSpheres(RendererState& r, const ViewerState& viewer, const std::array<float, 16>& mvp) {
    const GlApi& gl = r.gl;
    const IntakeState& intake = viewer.intake;
    const SphereProgram& p = r.sphere;
    const SphereUniforms u = sphereUniforms(intake.pointSize, intake.lighting);

    gl.UseProgram(p.program);
    gl.UniformMatrix4fv(p.uMVP, 1, GL_FALSE, mvp.data());
    gl.Uniform1f(p.uScale, u.scale);
    gl.Uniform1f(p.uLightingEnabled, u.lightingEnabled);
    gl.Uniform1f(p.uAmbient, u.ambient);
    gl.Uniform1f(p.uDiffuse, u.diffuse);
    gl.Uniform1f(p.uAmbient2, u.ambient2);
    gl.Uniform1f(p.uDiffuse2, u.diffuse2);
    gl.Uniform3f(p.uLightDir2, u.lightDir2[0], u.lightDir2[1], u.lightDir2[2]);
    gl.Uniform1f(p.uHighlightOutOfRange, viewer.highlightOutOfRange.load() ? 1.0f : 0.0f);

    gl.BindBuffer(GL_ARRAY_BUFFER, r.instanceBuffer);
    uploadPoints(gl, intake.points, r.instanceBufferCapacity, UploadBuffer::Instance);

    gl.BindVertexArray(r.sphereVertexArray);
    gl.DrawElementsInstanced(GL_TRIANGLES, r.sphereIndexCount, GL_UNSIGNED_SHORT, nullptr,
                             drawCount(intake.points.size()));
    gl.BindVertexArray(0);
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    gl.UseProgram(0);
}

void drawSprites(RendererState& r, const ViewerState& viewer, const std::array<float, 16>& mvp) {
    const GlApi& gl = r.gl;
    const IntakeState& intake = viewer.intake;
    const SpriteProgram& p = r.sprite;
    const GLsizei n = drawCount(intake.points.size());

    gl.BindBuffer(GL_ARRAY_BUFFER, r.pointBuffer);
    uploadPoints(gl, intake.points, r.pointBufferCapacity, UploadBuffer::Point);

    gl.UseProgram(p.program);
    gl.UniformMatrix4fv(p.uMVP, 1, GL_FALSE, mvp.data());
    gl.Uniform1f(p.uPointSize, intake.pointSize);
    gl.Uniform1f(p.uHighlightOutOfRange, viewer.highlightOutOfRange.load() ? 1.0f : 0.0f);

    if (r.spriteVertexArray != 0) {
        gl.BindVertexArray(r.spriteVertexArray);
        glDrawArrays(GL_POINTS, 0, n);
        gl.BindVertexArray(0);
    } else if (gl.EnableVertexAttribArray && gl.VertexAttribPointer && gl.DisableVertexAttribArray) {
        // The program reads generic attributes 0 and 1; the fixed-function
        // vertex and colour arrays would not reach aColor on most drivers.
        vec3Attribute(gl, 0, r.pointBuffer, kPointStride, 0);
        vec3Attribute(gl, 1, r.pointBuffer, kPointStride, kColorOffset);
        glPointSize(intake.pointSize);
        glDrawArrays(GL_POINTS, 0, n);
        gl.DisableVertexAttribArray(0);
        gl.DisableVertexAttribArray(1);
    }
    gl.UseProgram(0);
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
}

void drawImmediate(const ViewerState& viewer) {
    constexpr float kLow = -0.0001f;
    constexpr float kHigh = 1.0001f;
    const bool highlight = viewer.highlightOutOfRange.load();
    // Sprite rasterisation would square off the smoothed fixed-function points.
    glDisable(GL_POINT_SPRITE);
    glPointSize(viewer.intake.pointSize);
    glBegin(GL_POINTS);
    for (const PointRecord& p : viewer.intake.points) {
        const bool outside = p.x < kLow || p.x > kHigh || p.y < kLow || p.y > kHigh || p.z < kLow || p.z > kHigh;
        if (highlight && outside) {
            glColor3f(1.0f, 0.0f, 0.9f);
        } else {
            glColor3f(p.r, p.g, p.b);
        }
        glVertex3f(p.x, p.y, p.z);
    }
    glEnd();
    glEnable(GL_POINT_SPRITE);
}

}  // namespace

Renderer::Renderer() : state_(std::make_unique<RendererState>()) {}

Renderer::~Renderer() = default;

const GlCapabilities& Renderer::detect() {
    detectCapabilities(state_->caps, currentContextQueries());
    return state_->caps;
}

const GlCapabilities& Renderer::capabilities() const noexcept { return state_->caps; }

void Renderer::init(const GlLookup& lookup) {
    RendererState& r = *state_;
    r.gl = GlApi::from(loadGlFunctions(lookup, r.caps));
    if (lookup) {
        // Only the sprite fallback without a vertex array needs it.
        for (const char* name : {"glDisableVertexAttribArray", "glDisableVertexAttribArrayARB"}) {
            if (GlProc proc = lookup(name); proc != nullptr) {
                r.gl.DisableVertexAttribArray = reinterpret_cast<PFNGLDISABLEVERTEXATTRIBARRAYPROC>(proc);
                break;
            }
        }
    }
    detect();

    r.generation = shaderGenerationFor(r.caps.renderPath);
    platform::debugOutput(shaderGenerationLine(r.generation));

    setDefaultState();

    // Every upload re-specifies the buffer and then writes into it, so the
    // sub-data call is as necessary as the three hasVbo names.
    if (!r.caps.hasVbo || r.gl.BufferSubData == nullptr) {
        platform::debugOutput("VBO not available - rendering may be limited\n");
        return;
    }

    r.gl.GenBuffers(1, &r.pointBuffer);
    if (r.pointBuffer != 0) {
        r.vboEnabled = true;
        platform::debugOutput("Modern OpenGL VBO rendering enabled\n");
    } else {
        platform::debugOutput("Failed to create VBO\n");
    }

    buildSphereMesh(r);

    if (canBuildPrograms(r.caps, r.gl)) {
        buildSphereProgram(r);
        buildSpriteProgram(r);
    }

    buildVertexArrays(r);
}

void Renderer::drawFrame(ViewerState& viewer, int width, int height, const std::function<void()>& swapBuffers) {
    RendererState& r = *state_;
    auto swap = [&] {
        if (swapBuffers) {
            swapBuffers();
        }
    };

    if (viewer.greyBackground) {
        glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    } else {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    }
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glEnable(GL_MULTISAMPLE);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const Camera& camera = viewer.camera;
    const std::array<float, 16> mvp = buildMvp(camera.yaw, camera.pitch, camera.zoom, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(mvp.data());

    drawCubeFrame();

    {
        std::unique_lock lock(viewer.intake.pointsMutex);
        if (viewer.intake.points.empty()) {
            swap();
            return;
        }

        DrawPathInputs inputs;
        inputs.vboEnabled = r.vboEnabled;
        inputs.hasInstancing = r.caps.hasInstancing;
        inputs.sphereProgram = r.sphere.program != 0;
        inputs.sphereVertexArray = r.sphereVertexArray != 0;
        inputs.pointBuffer = r.pointBuffer != 0;
        inputs.spriteProgram = r.sprite.program != 0;
        inputs.pointCount = viewer.intake.points.size();
        switch (chooseDrawPath(inputs)) {
        case DrawPath::Sphere: drawSpheres(r, viewer, mvp); break;
        case DrawPath::Sprite: drawSprites(r, viewer, mvp); break;
        case DrawPath::Immediate: drawImmediate(viewer); break;
        }
    }

    drawOverlay(r, viewer, width, height);
    swap();
}

void Renderer::release() {
    RendererState& r = *state_;
    const GlApi& gl = r.gl;

    deleteLabelTextures(r.overlay);
    for (GLuint* buffer :
         {&r.pointBuffer, &r.sphereVertexBuffer, &r.sphereNormalBuffer, &r.sphereIndexBuffer, &r.instanceBuffer}) {
        deleteBuffer(gl, *buffer);
    }
    for (GLuint* program : {&r.sprite.program, &r.sphere.program}) {
        if (*program != 0 && gl.DeleteProgram != nullptr) {
            gl.DeleteProgram(*program);
        }
        *program = 0;
    }
    for (GLuint* array : {&r.sphereVertexArray, &r.spriteVertexArray}) {
        if (*array != 0 && gl.DeleteVertexArrays != nullptr) {
            gl.DeleteVertexArrays(1, array);
        }
        *array = 0;
    }

    // What remains describes objects of the context that is going away.
    r.sprite = {};
    r.sphere = {};
    r.overlay = {};
    r.vboEnabled = false;
    r.pointBufferCapacity = 0;
    r.instanceBufferCapacity = 0;
    r.sphereIndexCount = 0;
}

void Renderer::setLabelRasterizer(std::unique_ptr<LabelRasterizer> rasterizer) {
    state_->labelRasterizer = std::move(rasterizer);
}

LabelRasterizer* Renderer::labelRasterizer() const noexcept { return state_->labelRasterizer.get(); }

}  // namespace orvalis::viewer
