// Where the viewer must draw things, worked out from the camera rules alone
// (never from the viewer's code): 45 degree vertical field of view, near
// 0.1, far 100, and what the drawn picture must show there.
#pragma once

#include <algorithm>
#include <utility>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <vector>

#include "Tests/support/camera_rules.h"
#include "x_display.h"

namespace gui_test {

using test_support::Camera;
using test_support::toEye;
using test_support::Vec3;

// A colour with channels from 0 to 1.
struct Colour {
    double r = 0, g = 0, b = 0;
};

// Client pixel of a cube point for a w x h client area (x right, y down).
struct Pixel {
    double x = 0, y = 0;
};

// Where the camera puts a cube point on a width x height client area.
inline Pixel project(const Camera& camera, int width, int height, Vec3 p) {
    const Vec3 eye = toEye(camera, p);
    // Perspective: f = 1 / tan(22.5 degrees), clip w = -z.
    const double f = 1.0 / std::tan(std::numbers::pi / 8.0);
    const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
    const double ndcX = (f / aspect) * eye.x / -eye.z, ndcY = f * eye.y / -eye.z;
    return {(ndcX + 1.0) / 2.0 * width, (1.0 - ndcY) / 2.0 * height};
}

// True when p is `colour` scaled by a factor in [minScale, maxScale], each
// channel within `tolerance` (lighting and anti-aliasing scale a colour but
// keep its hue).
inline bool isShadeOf(Rgb p, Colour colour, double minScale, double maxScale, double tolerance = 24.0) {
    const double c[3] = {colour.r * 255.0, colour.g * 255.0, colour.b * 255.0};
    const double v[3] = {static_cast<double>(p.r), static_cast<double>(p.g), static_cast<double>(p.b)};
    const double norm = c[0] * c[0] + c[1] * c[1] + c[2] * c[2];
    if (norm <= 0.0)
        return false;
    const double k = (v[0] * c[0] + v[1] * c[1] + v[2] * c[2]) / norm;
    if (k < minScale || k > maxScale)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (std::abs(v[i] - k * c[i]) > tolerance)
            return false;
    }
    return true;
}

// How many pixels of the image within r pass `test`.
template <class Test>
int countIn(const Image& image, const Rect& r, Test test) {
    int count = 0;
    for (int y = r.y; y < r.y + r.h; ++y) {
        for (int x = r.x; x < r.x + r.w; ++x)
            count += test(image.at(x, y)) ? 1 : 0;
    }
    return count;
}

// How many pixels within `radius` of `at` pass `test`.
template <class Test>
int countAround(const Image& image, Pixel at, int radius, Test test) {
    const int x = static_cast<int>(std::floor(at.x)), y = static_cast<int>(std::floor(at.y));
    return countIn(image, {x - radius, y - radius, 2 * radius + 1, 2 * radius + 1}, test);
}

inline bool near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// The background colour in the picture's corners and edge middles.
inline bool backgroundIs(const Image& image, Rgb background) {
    const int w = image.width, h = image.height;
    for (const auto& [x, y] : {std::pair{3, 3}, {w - 4, 3}, {3, h - 4}, {w - 4, h - 4}, {w / 2, 3}, {w / 2, h - 4}}) {
        if (!near(image.at(x, y), background, 3))
            return false;
    }
    return true;
}

// A lit sphere of point size 20 near p: its hue, scaled by the lighting (0.4 to 1.03).
inline bool sphereAt(const Image& image, Pixel p, Colour colour, double minScale = 0.3) {
    return countAround(image, p, 2, [&](Rgb c) { return isShadeOf(c, colour, minScale, 1.1); }) >= 13;
}

// Every non-black corner of the cube that lies 6 pixels or more inside the
// picture shows its colour ((x, y, z) as (r, g, b) = (z, y, x)) within 3
// pixels of where the camera puts it (lines are 2 pixels wide and
// anti-aliased, so a shade of it); at least four corners must be inside.
inline bool cornersAt(const Image& image, const Camera& camera) {
    int checked = 0;
    for (int i = 1; i < 8; ++i) {
        const double x = i & 1, y = (i >> 1) & 1, z = (i >> 2) & 1;
        const Pixel p = project(camera, image.width, image.height, {x, y, z});
        if (p.x < 6 || p.y < 6 || p.x >= image.width - 6 || p.y >= image.height - 6)
            continue;
        ++checked;
        if (countAround(image, p, 3, [&](Rgb c) { return isShadeOf(c, {z, y, x}, 0.45, 1.05, 40.0); }) == 0)
            return false;
    }
    return checked >= 4;
}

// A cloud's points as records would carry them.
struct CloudPoint {
    Vec3 position;
    Colour colour;
};

// n points scattered through a small cube around `centre` (side 2 x half),
// ordered from the farthest from the camera to the nearest, so that each
// passes the depth test where it lands and blends over what is there.
inline std::vector<CloudPoint> blobFarToNear(Vec3 centre, double half, std::size_t n, Colour colour) {
    std::vector<CloudPoint> points;
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;
    auto next = [&seed] {  // a fixed sequence, the same in every run
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(seed >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const double x = next(), y = next(), z = next();
        points.push_back({{centre.x + half * x, centre.y + half * y, centre.z + half * z}, colour});
    }
    std::sort(points.begin(), points.end(), [&](const CloudPoint& a, const CloudPoint& b) {
        return toEye({}, a.position).z < toEye({}, b.position).z;
    });
    return points;
}

}  // namespace gui_test
