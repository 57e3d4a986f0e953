// The decisions of one frame as plain values: which way the points are
// drawn, how their bytes reach the buffer, and what the sphere shader gets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvalis::viewer {

// Clouds above this many points are drawn as sprites, never as spheres.
inline constexpr std::size_t kMaxSpherePoints = 1'000'000;

enum class DrawPath { Sphere, Sprite, Immediate };

// What the renderer has made and found, as the path choice needs it.
struct DrawPathInputs {
    bool vboEnabled = false;
    bool hasInstancing = false;
    bool sphereProgram = false;      // sphereProgram is non-zero
    bool sphereVertexArray = false;  // sphereVertexArray is non-zero
    bool pointBuffer = false;        // pointBuffer is non-zero
    bool spriteProgram = false;      // spriteProgram is non-zero
    std::size_t pointCount = 0;
};

// Spheres when buffers, instancing, the sphere program and its vertex array
// are there and the cloud has at most 1,000,000 points; else sprites when
// the point buffer and sprite program are there; else immediate points.
// Without its vertex array the sphere path could draw nothing, so it gives
// way to sprites.
DrawPath chooseDrawPath(const DrawPathInputs& inputs) noexcept;

enum class UploadBuffer { Point, Instance };

// The GL calls of one upload: one glBufferData with the points when the
// cloud outgrew the buffer, else glBufferData of allocateBytes without data
// (orphaning the old storage) and glBufferSubData of subDataBytes.
struct UploadPlan {
    bool withData = false;
    std::uint64_t allocateBytes = 0;
    std::uint64_t subDataBytes = 0;  // 0 when withData
    std::uint64_t newCapacity = 0;
};

// The point buffer is re-specified at its recorded capacity, the instance
// buffer at the current size; capacities only grow.
UploadPlan planUpload(std::uint64_t sizeBytes, std::uint64_t capacityBytes, UploadBuffer which) noexcept;

// The sphere shader's per-frame values that come from the cloud's settings.
struct SphereUniforms {
    float scale = 0.0f;
    float lightingEnabled = 0.0f;
    float ambient = 0.0f;
    float diffuse = 0.0f;
    float ambient2 = 0.0f;
    float diffuse2 = 0.0f;
    std::array<float, 3> lightDir2{};
};

// From the point size and the eight lighting words as the block holds them
// (enable flag as int32, then float bits). The second light direction is
// made unit length; one of length 0.0001 or less (or not finite) becomes
// (-0.577, -0.577, -0.577).
SphereUniforms sphereUniforms(float pointSize, const std::array<std::uint32_t, 8>& lighting) noexcept;

}  // namespace orvalis::viewer
