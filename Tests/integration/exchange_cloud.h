// Clouds for the cross-process exchange tests: every value of a cloud, and
// its size and point size, follow from the sequence it is published under,
// so that a reader can tell a whole cloud from a torn one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "Shared/exchange.h"

namespace exchange_cloud {

using orvalis::exchange::PointRecord;

inline std::size_t cloudSize(std::uint64_t sequence) { return 1 + (sequence * 7919) % 150'000; }

inline float cloudPointSize(std::uint64_t sequence) { return static_cast<float>(sequence % 1000); }

inline void fillCloud(std::vector<PointRecord>& cloud, std::uint64_t sequence) {
    cloud.resize(cloudSize(sequence));
    const auto v = static_cast<float>(sequence);
    for (PointRecord& p : cloud) {
        p.x = p.y = p.z = p.r = p.g = p.b = v;
        p.reserved[0] = static_cast<std::uint32_t>(sequence);
        p.reserved[1] = static_cast<std::uint32_t>(sequence >> 32);
    }
}

// True when the cloud is exactly the one published under `sequence`.
inline bool cloudMatches(std::span<const PointRecord> cloud, std::uint64_t sequence) {
    if (cloud.size() != cloudSize(sequence)) {
        return false;
    }
    const auto v = static_cast<float>(sequence);
    for (const PointRecord& p : cloud) {
        if (p.x != v || p.y != v || p.z != v || p.r != v || p.g != v || p.b != v ||
            p.reserved[0] != static_cast<std::uint32_t>(sequence) ||
            p.reserved[1] != static_cast<std::uint32_t>(sequence >> 32)) {
            return false;
        }
    }
    return true;
}

}  // namespace exchange_cloud
