// The frame's plain parts: the camera matrix against rotations worked out
// here, the sphere mesh, the draw path, the upload rule, the sphere uniforms.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "Tests/support/camera_rules.h"
#include "render/frame_plan.h"
#include "render/scene_math.h"

namespace {

using namespace orvalis::viewer;

using Vec4 = std::array<double, 4>;

Vec4 apply(const std::array<float, 16>& m, double x, double y, double z) {
    Vec4 out{};
    const double in[4] = {x, y, z, 1.0};
    for (int row = 0; row < 4; ++row) {
        for (int k = 0; k < 4; ++k) {
            out[row] += m[k * 4 + row] * in[k];
        }
    }
    return out;
}

// Clip coordinates of a cube point: the camera rules' eye coordinates,
// projected with a 45 degree field of view, near 0.1, far 100.
Vec4 expectedClip(double yaw, double pitch, double zoom, double aspect, double x, double y, double z) {
    const test_support::Vec3 eye = test_support::toEye({yaw, pitch, zoom}, {x, y, z});
    const double f = 1.0 / std::tan(3.14159265358979 / 8.0);
    const double near = 0.1;
    const double far = 100.0;
    return {f / aspect * eye.x, f * eye.y, (far + near) / (near - far) * eye.z + 2.0 * far * near / (near - far),
            -eye.z};
}

TEST(RenderMatrix, PutsCubePointsWhereTheCameraSeesThem) {
    struct View {
        float yaw, pitch, zoom;
        int width, height;
        double aspect;
    };
    const View views[] = {
        {35.0f, 20.0f, 1.0f, 540, 560, 540.0 / 560.0},  // the start view
        {90.0f, -30.0f, 2.5f, 1280, 720, 1280.0 / 720.0},
        {-400.0f, 89.0f, 0.1f, 800, 0, 1.0},  // height 0: aspect 1
        {10.0f, 0.0f, 1.0f, 300, -5, 1.0},
    };
    const double points[][3] = {{0.5, 0.5, 0.5}, {0, 0, 0}, {1, 0, 0}, {0, 1, 1}, {1, 1, 1}, {0.2, 0.9, 0.4}};
    for (const View& v : views) {
        const auto mvp = buildMvp(v.yaw, v.pitch, v.zoom, v.width, v.height);
        for (const auto& p : points) {
            const Vec4 got = apply(mvp, p[0], p[1], p[2]);
            const Vec4 want = expectedClip(v.yaw, v.pitch, v.zoom, v.aspect, p[0], p[1], p[2]);
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR(got[i], want[i], 1e-4)
                    << "yaw " << v.yaw << " point " << p[0] << p[1] << p[2] << " row " << i;
        }
    }
}

TEST(RenderSphereMesh, ClosedRingsUnitNormalsAndValidIndicesTurningOneWay) {
    using V3 = std::array<double, 3>;
    const SphereMesh mesh = makeSphereMesh();
    ASSERT_EQ(mesh.positions.size(), 153u * 3);
    ASSERT_EQ(mesh.normals.size(), 153u * 3);
    ASSERT_EQ(mesh.indices.size(), 768u);
    auto vertex = [&](const std::vector<float>& v, int i) { return V3{v[i * 3], v[i * 3 + 1], v[i * 3 + 2]}; };
    // Rings of 17 climb from pole to pole and close; normals are the unit positions.
    for (int i = 0; i < 153; ++i) {
        const V3 p = vertex(mesh.positions, i);
        EXPECT_NEAR(p[2], std::sin((i / 17 * 0.125 - 0.5) * 3.14159265358979), 1e-6) << i;
        EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 1.0, 1e-6) << i;
        EXPECT_EQ(vertex(mesh.normals, i), p) << i;
        if (i % 17 == 16) {
            const V3 first = vertex(mesh.positions, i - 16);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(first[k], p[k], 1e-6) << "ring " << i / 17;
        }
    }
    // Every triangle not collapsed to a line (at the poles) turns the same way
    // seen from outside.
    EXPECT_EQ((std::vector<std::uint16_t>(mesh.indices.begin(), mesh.indices.begin() + 6)),
              (std::vector<std::uint16_t>{0, 17, 1, 17, 18, 1}));
    int outward = 0, inward = 0;
    for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
        ASSERT_TRUE(mesh.indices[t] < 153 && mesh.indices[t + 1] < 153 && mesh.indices[t + 2] < 153) << t;
        const V3 a = vertex(mesh.positions, mesh.indices[t]);
        const V3 b = vertex(mesh.positions, mesh.indices[t + 1]);
        const V3 c = vertex(mesh.positions, mesh.indices[t + 2]);
        const V3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const V3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        if (std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) >= 1e-6)
            (n[0] * (a[0] + b[0] + c[0]) + n[1] * (a[1] + b[1] + c[1]) + n[2] * (a[2] + b[2] + c[2]) > 0 ? outward
                                                                                                         : inward)++;
    }
    EXPECT_TRUE(outward == 0 || inward == 0) << outward << " / " << inward;
    EXPECT_EQ(outward + inward, 256 - 32);
}

TEST(RenderDrawPath, BestPathTheRendererCanDraw) {
    // Each case starts from everything there and a cloud of 1,000,000.
    const struct {
        const char* what;
        void (*change)(DrawPathInputs&);
        DrawPath path;
    } cases[] = {
        {"everything", [](DrawPathInputs&) {}, DrawPath::Sphere},
        {"one point too many", [](DrawPathInputs& i) { i.pointCount = 1'000'001; }, DrawPath::Sprite},
        {"no sphere vertex array", [](DrawPathInputs& i) { i.sphereVertexArray = false; }, DrawPath::Sprite},
        {"no instancing", [](DrawPathInputs& i) { i.hasInstancing = false; }, DrawPath::Sprite},
        {"no sphere program", [](DrawPathInputs& i) { i.sphereProgram = false; }, DrawPath::Sprite},
        {"no sprite program", [](DrawPathInputs& i) { i.spriteProgram = false; }, DrawPath::Sphere},
        {"too many and no sprites",
         [](DrawPathInputs& i) {
             i.pointCount = 2'000'000;
             i.spriteProgram = false;
         },
         DrawPath::Immediate},
        {"no spheres, no point buffer", [](DrawPathInputs& i) { i.sphereProgram = i.pointBuffer = false; },
         DrawPath::Immediate},
        {"no buffers", [](DrawPathInputs& i) { i.vboEnabled = false; }, DrawPath::Immediate},
    };
    for (const auto& c : cases) {
        DrawPathInputs inputs{true, true, true, true, true, true, 1'000'000};
        c.change(inputs);
        EXPECT_EQ(chooseDrawPath(inputs), c.path) << c.what;
    }
}

TEST(RenderUpload, OneDataUploadWhenGrowingElseOrphanAndSubData) {
    for (UploadBuffer which : {UploadBuffer::Point, UploadBuffer::Instance}) {
        const bool point = which == UploadBuffer::Point;
        // Smaller clouds: the point buffer keeps its storage, the instance
        // buffer is re-specified; the recorded capacity never shrinks.
        const struct {
            std::uint64_t points;
            bool withData;
            std::uint64_t allocate, subData;
        } frames[] = {
            {10, true, 320, 0},
            {1000, true, 32'000, 0},
            {1000, false, 32'000, 32'000},
            {500, false, point ? 32'000u : 16'000u, 16'000},
            {800, false, point ? 32'000u : 25'600u, 25'600},
        };
        std::uint64_t capacity = 0;
        for (const auto& f : frames) {
            const UploadPlan plan = planUpload(f.points * 32, capacity, which);
            EXPECT_EQ(plan.withData, f.withData) << f.points;
            EXPECT_EQ(plan.allocateBytes, f.allocate) << f.points;
            EXPECT_EQ(plan.subDataBytes, f.subData) << f.points;
            capacity = plan.newCapacity;
        }
        EXPECT_EQ(capacity, 32'000u);
    }
}

TEST(RenderSphereUniforms, ScaleLightingAndTheSecondLightsDirection) {
    auto words = [](std::int32_t enabled, float a, float d, float a2, float d2, float x, float y, float z) {
        std::array<std::uint32_t, 8> out{static_cast<std::uint32_t>(enabled)};
        const float values[7] = {a, d, a2, d2, x, y, z};
        for (int i = 0; i < 7; ++i)
            out[static_cast<std::size_t>(i) + 1] = std::bit_cast<std::uint32_t>(values[i]);
        return out;
    };
    SphereUniforms u = sphereUniforms(4.0f, words(1, 0.3f, 0.4f, 0.1f, 0.2f, 0.0f, 0.0f, 2.0f));
    EXPECT_FLOAT_EQ(u.scale, 0.02f);
    EXPECT_EQ(u.lightingEnabled, 1.0f);
    EXPECT_EQ((std::array{u.ambient, u.diffuse, u.ambient2, u.diffuse2}), (std::array{0.3f, 0.4f, 0.1f, 0.2f}));
    EXPECT_EQ(u.lightDir2, (std::array<float, 3>{0.0f, 0.0f, 1.0f}));

    u = sphereUniforms(1.0f, words(0, 0, 0, 0, 0, 3.0f, -4.0f, 0.0f));
    EXPECT_EQ(u.lightingEnabled, 0.0f);
    EXPECT_FLOAT_EQ(u.lightDir2[0], 0.6f);
    EXPECT_FLOAT_EQ(u.lightDir2[1], -0.8f);

    // Too short, or not finite: the fixed fallback direction.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto& [x, z] : {std::pair{0.0f, 0.0f}, {0.00005f, 0.0f}, {nan, 1.0f}, {inf, 1.0f}})
        EXPECT_EQ(sphereUniforms(1.0f, words(1, 0, 0, 0, 0, x, 0, z)).lightDir2,
                  (std::array<float, 3>{-0.577f, -0.577f, -0.577f}))
            << x;
}

}  // namespace
