// Each host process of the exchange tests renders one uniform colour, so a
// cloud tells which host made it, and a cloud with two colours is a mix of
// two hosts' frames.
#pragma once

#include <cmath>
#include <span>

#include "Shared/exchange.h"

namespace exchange_colours {

inline constexpr int kEmpty = -1;
inline constexpr int kMixed = -2;

struct Rgb {
    float r, g, b;
};

// Colour 0 to 14: red steps of 1/16 (8-bit safe), fixed green and blue.
inline Rgb of(int colour) { return {static_cast<float>(colour + 1) / 16.0f, 0.5f, 0.25f}; }

// The colour of a cloud: kEmpty, kMixed, or the one all its records carry
// (x = blue, y = green, z = red).
inline int colourOf(std::span<const orvalis::exchange::PointRecord> cloud) {
    if (cloud.empty())
        return kEmpty;
    const auto& first = cloud.front();
    for (const auto& p : cloud) {
        if (p.x != first.x || p.y != first.y || p.z != first.z || p.r != first.r || p.g != first.g || p.b != first.b)
            return kMixed;
    }
    return static_cast<int>(std::lround(first.z * 16.0f)) - 1;
}

}  // namespace exchange_colours
