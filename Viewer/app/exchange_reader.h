// The viewer's side of the point exchange: one intake step from the shared
// block and the points-file fallback, over plain state that the viewer's
// state object embeds.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "Shared/exchange.h"
#include "orvalis/platform/shared_memory.h"

namespace orvalis::viewer {

using exchange::BlockView;
using exchange::PointRecord;

// The cloud the viewer draws and what came with it. pointsMutex guards
// points, pointSize, lighting and lastSequence; lastSequence is written only
// by the intake thread (under the lock), so that thread may read it without.
// hasOutOfRange is set from a new cloud before the lock is taken and read by
// the overlay without it, so it is atomic; a frame may show the flag of the
// cloud before or after the one it draws.
struct IntakeState {
    std::mutex pointsMutex;
    std::vector<PointRecord> points;
    float pointSize = 1.0f;
    std::atomic<bool> hasOutOfRange{false};
    // lightingEnabled, ambient, diffuse, ambient2, diffuse2, lightDir2 x, y, z
    // as the block holds them (offsets 36 to 67).
    std::array<std::uint32_t, 8> lighting{};
    std::uint64_t lastSequence = 0;
};

// The viewer's hold on the block: while it lives, viewerAttached is 1.
class ViewerBlock {
public:
    // Opens the existing block (one more try after 1 ms) and sets
    // viewerAttached; null when there is no block.
    static std::unique_ptr<ViewerBlock> open(std::string_view name = exchange::kBlockName);
    // Writes 0 into viewerAttached and unmaps.
    ~ViewerBlock();
    ViewerBlock(const ViewerBlock&) = delete;
    ViewerBlock& operator=(const ViewerBlock&) = delete;

    BlockView view() const noexcept { return BlockView(memory_->data()); }

private:
    explicit ViewerBlock(std::unique_ptr<platform::SharedMemory> memory) noexcept;
    std::unique_ptr<platform::SharedMemory> memory_;
};

// The pluginCount watch of one intake pass: true when the viewer should
// close, that is pluginCount is 0 after it was once seen above 0.
// seenPlugins carries that memory from pass to pass.
bool pluginsGone(const BlockView& view, bool& seenPlugins) noexcept;

// True when some record's x, y or z lies below -0.0001 or above 1.0001.
bool hasOutOfRange(std::span<const PointRecord> records) noexcept;

// One intake step from the block: takes the published cloud when its
// sequence is newer than the last one taken and did not change during the
// copy. True when something was taken; false also when no storage could be
// had for the copy. The view must be writable: the
// second look at sequence is an atomic add of 0. duringCopy, when set, runs after the
// copy and before sequence is read again (tests stand in a racing publish).
bool readBlockStep(const BlockView& view, IntakeState& state, const std::function<void()>& duringCopy = {});

// One step of the fallback while the viewer has no block: takes the points
// file at `path` when its last-write time differs from `lastWriteTime`
// (which it then updates) and it holds 0 < n < kMaxFilePoints whole
// records. The point size becomes 1.0; lighting and lastSequence stay.
// True when something was taken; false also when no storage could be had.
bool readFallbackFile(std::string_view path, std::int64_t& lastWriteTime, IntakeState& state);

}  // namespace orvalis::viewer
