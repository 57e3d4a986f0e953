#include "render/scene_math.h"

#include <cmath>

namespace orvalis::viewer {

namespace {

constexpr float kPi = 3.1415927f;

using Mat4 = std::array<float, 16>;  // column-major: [column * 4 + row]

Mat4 identity() noexcept {
    Mat4 m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

Mat4 multiply(const Mat4& a, const Mat4& b) noexcept {
    Mat4 r{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[column * 4 + k];
            }
            r[column * 4 + row] = sum;
        }
    }
    return r;
}

Mat4 translation(float x, float y, float z) noexcept {
    Mat4 m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

Mat4 rotationX(float degrees) noexcept {
    const float a = degrees * kPi / 180.0f;
    const float c = std::cos(a);
    const float s = std::sin(a);
    Mat4 m = identity();
    m[5] = c;
    m[6] = s;
    m[9] = -s;
    m[10] = c;
    return m;
}

Mat4 rotationY(float degrees) noexcept {
    const float a = degrees * kPi / 180.0f;
    const float c = std::cos(a);
    const float s = std::sin(a);
    Mat4 m = identity();
    m[0] = c;
    m[2] = -s;
    m[8] = s;
    m[10] = c;
    return m;
}

Mat4 perspective(int width, int height) noexcept {
    const float f = 1.0f / std::tan(kPi / 8.0f);
    const float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    Mat4 m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = -1.002002f;
    m[11] = -1.0f;
    m[14] = -0.2002002f;
    return m;
}

}  // namespace

std::array<float, 16> buildMvp(float yaw, float pitch, float zoom, int width, int height) noexcept {
    Mat4 m = perspective(width, height);
    m = multiply(m, translation(0.0f, 0.0f, -3.0f * zoom));
    m = multiply(m, rotationX(pitch));
    m = multiply(m, rotationY(yaw));
    return multiply(m, translation(-0.5f, -0.5f, -0.5f));
}

SphereMesh makeSphereMesh() {
    SphereMesh mesh;
    mesh.positions.reserve(kSphereVertexCount * 3);
    for (int i = 0; i < kSphereRings; ++i) {
        const float phi = (static_cast<float>(i) * 0.125f - 0.5f) * kPi;
        for (int j = 0; j < kSphereRingVertices; ++j) {
            const float theta = static_cast<float>(j) * 2.0f * kPi * 0.0625f;
            mesh.positions.push_back(std::cos(theta) * std::cos(phi));
            mesh.positions.push_back(std::sin(theta) * std::cos(phi));
            mesh.positions.push_back(std::sin(phi));
        }
    }
    mesh.normals = mesh.positions;

    mesh.indices.reserve(kSphereIndexCount);
    for (int band = 0; band < kSphereRings - 1; ++band) {
        for (int slice = 0; slice < kSphereRingVertices - 1; ++slice) {
            const auto v = static_cast<std::uint16_t>(band * kSphereRingVertices + slice);
            const auto w = static_cast<std::uint16_t>(v + kSphereRingVertices);
            mesh.indices.insert(mesh.indices.end(), {v, w, static_cast<std::uint16_t>(v + 1)});
            mesh.indices.insert(mesh.indices.end(),
                                {w, static_cast<std::uint16_t>(w + 1), static_cast<std::uint16_t>(v + 1)});
        }
    }
    return mesh;
}

}  // namespace orvalis::viewer
