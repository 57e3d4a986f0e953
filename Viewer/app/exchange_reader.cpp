#include "app/exchange_reader.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

namespace orvalis::viewer {

namespace off = exchange::offset;

static_assert(std::endian::native == std::endian::little, "the exchange is little-endian");

ViewerBlock::ViewerBlock(std::unique_ptr<platform::SharedMemory> memory) noexcept : memory_(std::move(memory)) {}

std::unique_ptr<ViewerBlock> ViewerBlock::open(std::string_view name) {
    auto memory = platform::SharedMemory::open(name, exchange::kBlockSize);
    if (memory == nullptr) {
        platform::sleepFor(std::chrono::milliseconds(1));
        memory = platform::SharedMemory::open(name, exchange::kBlockSize);
    }
    if (memory == nullptr || memory->data() == nullptr || memory->size() < exchange::kBlockSize) {
        return nullptr;
    }
    std::unique_ptr<ViewerBlock> block(new ViewerBlock(std::move(memory)));
    block->view().u32(off::viewerAttached).store(1);
    return block;
}

ViewerBlock::~ViewerBlock() { view().u32(off::viewerAttached).store(0); }

bool pluginsGone(const BlockView& view, bool& seenPlugins) noexcept {
    if (view.u32(off::pluginCount).load() != 0) {
        seenPlugins = true;
        return false;
    }
    return seenPlugins;
}

bool hasOutOfRange(std::span<const PointRecord> records) noexcept {
    // Compared as f32: a value stored as 1.0001f is in range.
    constexpr float kLow = -0.0001f;
    constexpr float kHigh = 1.0001f;
    for (const PointRecord& r : records) {
        if (r.x < kLow || r.x > kHigh || r.y < kLow || r.y > kHigh || r.z < kLow || r.z > kHigh) {
            return true;
        }
    }
    return false;
}

namespace {

// The second look at sequence. A read-modify-write that changes nothing,
// with release, so that no load of the copy can move after it (a plain
// acquire load would not stop that).
std::uint64_t sequenceAfterCopy(std::atomic_ref<std::uint64_t> sequence) noexcept {
    return sequence.fetch_add(0, std::memory_order_acq_rel);
}

// Storage for a new cloud. Up to 320 MB for a fallback file: a machine
// that cannot give it finds nothing this time instead of ending.
bool allocate(std::vector<PointRecord>& points, std::uint32_t count) noexcept {
    try {
        points.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

}  // namespace

bool readBlockStep(const BlockView& view, IntakeState& state, const std::function<void()>& duringCopy) {
    auto sequence = view.u64(off::sequence);
    const std::uint64_t s1 = sequence.load(std::memory_order_acquire);
    if (s1 == 0 || s1 <= state.lastSequence) {
        return false;
    }
    const std::uint32_t active = view.u32(off::activeBuffer).load(std::memory_order_relaxed);
    if (active > 1) {
        return false;
    }
    const std::uint32_t count =
        view.u32(active == 0 ? off::pointCount0 : off::pointCount1).load(std::memory_order_relaxed);
    const float pointSize = view.f32(off::pointSize).load(std::memory_order_relaxed);

    if (count == 0) {
        const std::uint32_t lightingEnabled = view.u32(off::lightingEnabled).load(std::memory_order_relaxed);
        if (duringCopy) {
            duringCopy();
        }
        if (sequenceAfterCopy(sequence) != s1) {
            return false;
        }
        std::lock_guard lock(state.pointsMutex);
        state.points.clear();
        state.hasOutOfRange.store(false);
        state.lighting[0] = lightingEnabled;
        state.lastSequence = s1;
        return true;
    }
    if (count > exchange::kMaxBlockPoints) {
        return false;
    }

    std::vector<PointRecord> points;
    if (!allocate(points, count)) {
        return false;
    }
    std::memcpy(points.data(), view.buffer(active), count * sizeof(PointRecord));
    std::array<std::uint32_t, 8> lighting{};
    lighting[0] = view.u32(off::lightingEnabled).load(std::memory_order_relaxed);
    for (std::size_t i = 1; i < lighting.size(); ++i) {
        lighting[i] =
            std::bit_cast<std::uint32_t>(view.f32(off::lightingEnabled + 4 * i).load(std::memory_order_relaxed));
    }
    if (duringCopy) {
        duringCopy();
    }
    if (sequenceAfterCopy(sequence) != s1) {
        return false;
    }

    state.hasOutOfRange.store(hasOutOfRange(points));
    {
        std::lock_guard lock(state.pointsMutex);
        state.points.swap(points);
        state.pointSize = pointSize;
        state.lighting = lighting;
        state.lastSequence = s1;
    }
    return true;  // the old cloud is freed here, outside the lock
}

bool readFallbackFile(std::string_view path, std::int64_t& lastWriteTime, IntakeState& state) {
    if (path.empty() || !platform::pathExists(path)) {
        return false;
    }
    std::int64_t time = 0;
    if (!platform::lastWriteTime(path, time) || time == lastWriteTime) {
        return false;
    }
    lastWriteTime = time;

    // UTF-8 at our API; the path type turns it into what the system opens.
    const std::u8string utf8(reinterpret_cast<const char8_t*>(path.data()), path.size());
    std::ifstream file(std::filesystem::path(utf8), std::ios::binary);
    if (!file) {
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    std::uint32_t count = 0;
    if (size < static_cast<std::streamoff>(sizeof count) || !file.read(reinterpret_cast<char*>(&count), sizeof count)) {
        return false;
    }
    if (count == 0 || count >= exchange::kMaxFilePoints) {
        return false;
    }
    // The body must be there before anything is allocated for it.
    const auto bodyBytes = static_cast<std::streamoff>(count) * static_cast<std::streamoff>(sizeof(PointRecord));
    if (size - static_cast<std::streamoff>(sizeof count) < bodyBytes) {
        return false;
    }
    std::vector<PointRecord> points;
    if (!allocate(points, count) || !file.read(reinterpret_cast<char*>(points.data()), bodyBytes)) {
        return false;
    }

    state.hasOutOfRange.store(hasOutOfRange(points));
    {
        std::lock_guard lock(state.pointsMutex);
        state.points.swap(points);
        state.pointSize = 1.0f;
    }
    return true;
}

}  // namespace orvalis::viewer
