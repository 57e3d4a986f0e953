// The scene's geometry as plain values: the camera matrix and the sphere
// mesh that every point instance draws.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace orvalis::viewer {

// buildMvp: projection x T(0, 0, -3 zoom) x Rx(pitch) x Ry(yaw) x
// T(-0.5, -0.5, -0.5), angles in degrees; 45 degree vertical field of view,
// aspect width / height (1 when height <= 0), near 0.1, far 100. Sixteen
// floats, column-major.
std::array<float, 16> buildMvp(float yaw, float pitch, float zoom, int width, int height) noexcept;

inline constexpr int kSphereRings = 9;
inline constexpr int kSphereRingVertices = 17;                                 // the last repeats the first
inline constexpr int kSphereVertexCount = kSphereRings * kSphereRingVertices;  // 153
inline constexpr int kSphereIndexCount = 768;                                  // 256 triangles

// The unit sphere: packed xyz positions and normals (the same vectors) and
// the triangle indices.
struct SphereMesh {
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<std::uint16_t> indices;
};

// The mesh, computed: 9 rings from the south to the north pole, 17 vertices
// each, two triangles per ring band and slice.
SphereMesh makeSphereMesh();

}  // namespace orvalis::viewer
