#include "render/frame_plan.h"

#include <bit>
#include <cmath>

namespace orvalis::viewer {

DrawPath chooseDrawPath(const DrawPathInputs& in) noexcept {
    if (in.vboEnabled && in.hasInstancing && in.sphereProgram && in.sphereVertexArray &&
        in.pointCount <= kMaxSpherePoints) {
        return DrawPath::Sphere;
    }
    if (in.vboEnabled && in.pointBuffer && in.spriteProgram) {
        return DrawPath::Sprite;
    }
    return DrawPath::Immediate;
}

UploadPlan planUpload(std::uint64_t sizeBytes, std::uint64_t capacityBytes, UploadBuffer which) noexcept {
    UploadPlan plan;
    if (sizeBytes > capacityBytes) {
        plan.withData = true;
        plan.allocateBytes = sizeBytes;
        plan.newCapacity = sizeBytes;
        return plan;
    }
    plan.allocateBytes = which == UploadBuffer::Point ? capacityBytes : sizeBytes;
    plan.subDataBytes = sizeBytes;
    plan.newCapacity = capacityBytes;
    return plan;
}

SphereUniforms sphereUniforms(float pointSize, const std::array<std::uint32_t, 8>& lighting) noexcept {
    auto word = [&](std::size_t i) { return std::bit_cast<float>(lighting[i]); };
    SphereUniforms u;
    u.scale = pointSize * 0.005f;
    u.lightingEnabled = static_cast<float>(static_cast<std::int32_t>(lighting[0]));
    u.ambient = word(1);
    u.diffuse = word(2);
    u.ambient2 = word(3);
    u.diffuse2 = word(4);
    const float x = word(5);
    const float y = word(6);
    const float z = word(7);
    const float length = std::sqrt(x * x + y * y + z * z);
    // A direction read from the block may also be NaN or infinite.
    if (std::isfinite(length) && length > 0.0001f) {
        u.lightDir2 = {x / length, y / length, z / length};
    } else {
        u.lightDir2 = {-0.577f, -0.577f, -0.577f};
    }
    return u;
}

}  // namespace orvalis::viewer
