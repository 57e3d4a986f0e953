// The viewer's orbiting camera as its rules state it, worked out here and
// never taken from the viewer's code: the cube's centre at the origin,
// turned about y by yaw, then about x by pitch (both right-handed), seen
// from 3 x zoom units away down -z.
#pragma once

#include <cmath>
#include <numbers>

namespace test_support {

// The camera's angles in degrees and its distance factor; the defaults
// are the start view.
struct Camera {
    double yaw = 35.0, pitch = 20.0, zoom = 1.0;
};

// A point in cube units.
struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Eye coordinates of a cube point.
inline Vec3 toEye(const Camera& camera, Vec3 p) {
    using std::numbers::pi;
    const double x = p.x - 0.5, y = p.y - 0.5, z = p.z - 0.5;
    const double cy = std::cos(camera.yaw * pi / 180.0), sy = std::sin(camera.yaw * pi / 180.0);
    const double x1 = x * cy + z * sy, z1 = -x * sy + z * cy;
    const double cp = std::cos(camera.pitch * pi / 180.0), sp = std::sin(camera.pitch * pi / 180.0);
    return {x1, y * cp - z1 * sp, y * sp + z1 * cp - 3.0 * camera.zoom};
}

}  // namespace test_support
