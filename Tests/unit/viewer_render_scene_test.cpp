// The frame's plain parts: the camera matrix against rotations worked out
// here, the sphere mesh, the draw-path choice, the upload rule and the
// sphere shader's values.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "render/frame_plan.h"
#include "render/scene_math.h"

namespace {

using namespace orvalis::viewer;

// ---- the matrix -------------------------------------------------------------

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

// Where the camera puts a cube point, step by step: centre the cube, turn
// about y by yaw, about x by pitch (both right-handed), step back 3 x zoom,
// project with a 45 degree field of view.
Vec4 expectedClip(double yaw, double pitch, double zoom, double aspect, double x, double y, double z) {
    const double pi = 3.14159265358979;
    x -= 0.5;
    y -= 0.5;
    z -= 0.5;
    const double a = yaw * pi / 180.0;
    const double x1 = std::cos(a) * x + std::sin(a) * z;
    const double z1 = -std::sin(a) * x + std::cos(a) * z;
    const double b = pitch * pi / 180.0;
    const double y2 = std::cos(b) * y - std::sin(b) * z1;
    const double z2 = std::sin(b) * y + std::cos(b) * z1 - 3.0 * zoom;
    const double f = 1.0 / std::tan(pi / 8.0);
    const double near = 0.1;
    const double far = 100.0;
    return {f / aspect * x1, f * y2, (far + near) / (near - far) * z2 + 2.0 * far * near / (near - far), -z2};
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
            for (int i = 0; i < 4; ++i) {
                EXPECT_NEAR(got[i], want[i], 1e-4)
                    << "yaw " << v.yaw << " point " << p[0] << p[1] << p[2] << " row " << i;
            }
        }
    }

    // Worked by hand: the start view keeps the centre on the axis, 3 units
    // away; a quarter turn of yaw sends the blue axis away from the camera.
    const Vec4 centre = apply(buildMvp(35.0f, 20.0f, 1.0f, 540, 560), 0.5, 0.5, 0.5);
    EXPECT_NEAR(centre[0], 0.0, 1e-6);
    EXPECT_NEAR(centre[1], 0.0, 1e-6);
    EXPECT_NEAR(centre[3], 3.0, 1e-5);
    const Vec4 blue = apply(buildMvp(90.0f, 0.0f, 1.0f, 100, 100), 1.0, 0.5, 0.5);
    EXPECT_NEAR(blue[0], 0.0, 1e-5);
    EXPECT_NEAR(blue[3], 3.5, 1e-5);
}

// ---- the sphere mesh ----------------------------------------------------------

TEST(RenderSphereMesh, ClosedRingsUnitNormalsAndValidIndices) {
    const SphereMesh mesh = makeSphereMesh();
    ASSERT_EQ(mesh.positions.size(), 153u * 3);
    ASSERT_EQ(mesh.normals.size(), 153u * 3);
    ASSERT_EQ(mesh.indices.size(), 768u);

    auto vertex = [&](const std::vector<float>& v, int i) {
        return std::array<double, 3>{v[i * 3], v[i * 3 + 1], v[i * 3 + 2]};
    };
    for (int ring = 0; ring < 9; ++ring) {
        const auto first = vertex(mesh.positions, ring * 17);
        const auto last = vertex(mesh.positions, ring * 17 + 16);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(first[k], last[k], 1e-6) << "ring " << ring;
        }
        // Rings climb from the south pole to the north pole.
        EXPECT_NEAR(first[2], std::sin((ring * 0.125 - 0.5) * 3.14159265358979), 1e-6);
    }
    for (int j = 0; j < 17; ++j) {
        EXPECT_NEAR(vertex(mesh.positions, j)[2], -1.0, 1e-6);
        EXPECT_NEAR(vertex(mesh.positions, 136 + j)[2], 1.0, 1e-6);
    }
    for (int i = 0; i < 153; ++i) {
        const auto n = vertex(mesh.normals, i);
        EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-6) << i;
        EXPECT_EQ(n, vertex(mesh.positions, i));
    }

    // Every index names a vertex; the first band starts (0, 17, 1),
    // (17, 18, 1); every triangle that is not degenerate turns the same way
    // seen from outside.
    for (std::uint16_t index : mesh.indices) {
        EXPECT_LT(index, 153);
    }
    EXPECT_EQ((std::vector<std::uint16_t>(mesh.indices.begin(), mesh.indices.begin() + 6)),
              (std::vector<std::uint16_t>{0, 17, 1, 17, 18, 1}));
    int outward = 0;
    int inward = 0;
    for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
        const auto a = vertex(mesh.positions, mesh.indices[t]);
        const auto b = vertex(mesh.positions, mesh.indices[t + 1]);
        const auto c = vertex(mesh.positions, mesh.indices[t + 2]);
        const std::array<double, 3> u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const std::array<double, 3> v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const std::array<double, 3> n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const double facing = n[0] * (a[0] + b[0] + c[0]) + n[1] * (a[1] + b[1] + c[1]) + n[2] * (a[2] + b[2] + c[2]);
        if (std::abs(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2])) < 1e-6) {
            continue;  // the pole triangles collapse to lines
        }
        (facing > 0 ? outward : inward) += 1;
    }
    EXPECT_TRUE(outward == 0 || inward == 0) << outward << " / " << inward;
    EXPECT_EQ(outward + inward, 256 - 32);
}

// ---- the draw path --------------------------------------------------------

TEST(RenderDrawPath, BestPathTheRendererCanDraw) {
    DrawPathInputs all;
    all.vboEnabled = true;
    all.hasInstancing = true;
    all.sphereProgram = true;
    all.sphereVertexArray = true;
    all.pointBuffer = true;
    all.spriteProgram = true;
    all.pointCount = 1'000'000;
    EXPECT_EQ(chooseDrawPath(all), DrawPath::Sphere);

    auto with = [&](auto change) {
        DrawPathInputs inputs = all;
        change(inputs);
        return chooseDrawPath(inputs);
    };
    EXPECT_EQ(with([](DrawPathInputs& i) { i.pointCount = 1'000'001; }), DrawPath::Sprite);
    EXPECT_EQ(with([](DrawPathInputs& i) { i.sphereVertexArray = false; }), DrawPath::Sprite);
    EXPECT_EQ(with([](DrawPathInputs& i) { i.hasInstancing = false; }), DrawPath::Sprite);
    EXPECT_EQ(with([](DrawPathInputs& i) { i.sphereProgram = false; }), DrawPath::Sprite);
    EXPECT_EQ(with([](DrawPathInputs& i) { i.spriteProgram = false; }), DrawPath::Sphere);
    EXPECT_EQ(with([](DrawPathInputs& i) {
                  i.pointCount = 2'000'000;
                  i.spriteProgram = false;
              }),
              DrawPath::Immediate);
    EXPECT_EQ(with([](DrawPathInputs& i) {
                  i.sphereProgram = false;
                  i.pointBuffer = false;
              }),
              DrawPath::Immediate);
    EXPECT_EQ(with([](DrawPathInputs& i) { i.vboEnabled = false; }), DrawPath::Immediate);
}

// ---- the upload -------------------------------------------------------------

TEST(RenderUpload, OneDataUploadWhenGrowingElseOrphanAndSubData) {
    for (UploadBuffer which : {UploadBuffer::Point, UploadBuffer::Instance}) {
        const bool point = which == UploadBuffer::Point;
        std::uint64_t capacity = 0;
        auto frame = [&](std::uint64_t points) {
            const UploadPlan plan = planUpload(points * 32, capacity, which);
            capacity = plan.newCapacity;
            return plan;
        };

        UploadPlan plan = frame(10);
        EXPECT_TRUE(plan.withData);
        EXPECT_EQ(plan.allocateBytes, 320u);

        plan = frame(1000);
        EXPECT_TRUE(plan.withData);
        EXPECT_EQ(plan.allocateBytes, 32'000u);
        EXPECT_EQ(capacity, 32'000u);

        plan = frame(1000);
        EXPECT_FALSE(plan.withData);
        EXPECT_EQ(plan.allocateBytes, 32'000u);
        EXPECT_EQ(plan.subDataBytes, 32'000u);

        // Smaller clouds: the point buffer keeps its storage size, the
        // instance buffer is re-specified at the cloud's size; the recorded
        // capacity never shrinks.
        plan = frame(500);
        EXPECT_FALSE(plan.withData);
        EXPECT_EQ(plan.allocateBytes, point ? 32'000u : 16'000u);
        EXPECT_EQ(plan.subDataBytes, 16'000u);
        plan = frame(800);
        EXPECT_FALSE(plan.withData);
        EXPECT_EQ(plan.allocateBytes, point ? 32'000u : 25'600u);
        EXPECT_EQ(capacity, 32'000u);
    }
}

// ---- the sphere shader's values -------------------------------------------------

TEST(RenderSphereUniforms, ScaleLightingAndTheSecondLightsDirection) {
    auto words = [](std::int32_t enabled, float a, float d, float a2, float d2, float x, float y, float z) {
        return std::array<std::uint32_t, 8>{static_cast<std::uint32_t>(enabled), std::bit_cast<std::uint32_t>(a),
                                            std::bit_cast<std::uint32_t>(d),     std::bit_cast<std::uint32_t>(a2),
                                            std::bit_cast<std::uint32_t>(d2),    std::bit_cast<std::uint32_t>(x),
                                            std::bit_cast<std::uint32_t>(y),     std::bit_cast<std::uint32_t>(z)};
    };

    SphereUniforms u = sphereUniforms(4.0f, words(1, 0.3f, 0.4f, 0.1f, 0.2f, 0.0f, 0.0f, 2.0f));
    EXPECT_FLOAT_EQ(u.scale, 0.02f);
    EXPECT_EQ(u.lightingEnabled, 1.0f);
    EXPECT_EQ(u.ambient, 0.3f);
    EXPECT_EQ(u.diffuse, 0.4f);
    EXPECT_EQ(u.ambient2, 0.1f);
    EXPECT_EQ(u.diffuse2, 0.2f);
    EXPECT_EQ(u.lightDir2, (std::array<float, 3>{0.0f, 0.0f, 1.0f}));

    u = sphereUniforms(1.0f, words(0, 0, 0, 0, 0, 3.0f, -4.0f, 0.0f));
    EXPECT_EQ(u.lightingEnabled, 0.0f);
    EXPECT_FLOAT_EQ(u.lightDir2[0], 0.6f);
    EXPECT_FLOAT_EQ(u.lightDir2[1], -0.8f);

    const std::array<float, 3> fallback{-0.577f, -0.577f, -0.577f};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(sphereUniforms(1.0f, words(1, 0, 0, 0, 0, 0, 0, 0)).lightDir2, fallback);
    EXPECT_EQ(sphereUniforms(1.0f, words(1, 0, 0, 0, 0, 0.00005f, 0, 0)).lightDir2, fallback);
    EXPECT_EQ(sphereUniforms(1.0f, words(1, 0, 0, 0, 0, nan, 0, 1)).lightDir2, fallback);
    EXPECT_EQ(sphereUniforms(1.0f, words(1, 0, 0, 0, 0, inf, 0, 1)).lightDir2, fallback);
}

}  // namespace
