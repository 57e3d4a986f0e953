// The plug-in's side of the point exchange: holding the shared block,
// ownership of the viewer, publishing a cloud into the block and the points
// files. Plain functions over plain values, so that they are tested without
// a host; the effect instance calls them under its own locks.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Shared/exchange.h"
#include "orvalis/platform/shared_memory.h"

namespace orvalis::plugin {

using exchange::BlockView;
using exchange::PointRecord;

// One instance's hold on the shared block. Dropping it detaches (counts the
// instance out and unmaps); detach() does the same at a time of the
// caller's choosing.
class BlockAttachment {
public:
    BlockAttachment() = default;
    // Takes a mapped block that this holder has already counted itself into.
    explicit BlockAttachment(std::unique_ptr<platform::SharedMemory> memory) noexcept;
    ~BlockAttachment();
    BlockAttachment(BlockAttachment&& other) noexcept = default;
    BlockAttachment& operator=(BlockAttachment&& other) noexcept;
    BlockAttachment(const BlockAttachment&) = delete;
    BlockAttachment& operator=(const BlockAttachment&) = delete;

    // True while the block is mapped.
    bool attached() const noexcept { return memory_ != nullptr; }
    // True when this holder made the block.
    bool created() const noexcept;
    // The mapped block; empty when not attached.
    std::optional<BlockView> view() const noexcept;
    // Counts this holder out of pluginCount and unmaps; nothing when not attached.
    void detach() noexcept;

private:
    std::unique_ptr<platform::SharedMemory> memory_;
};

// Creates or opens the named block of the full exchange size. The holder
// that made it writes the first header values; every holder then counts
// itself into pluginCount. Not attached when the system refuses.
BlockAttachment attachBlock(std::string_view name = exchange::kBlockName);

// The header values of a new block. A new block is all zero, so the zero
// values already stand; each other value is set only where its word is still
// zero, so that a viewer or instance that got in between creation and this
// call keeps what it wrote.
void initialiseBlockHeader(const BlockView& view) noexcept;

// Whether a process id names a running process (platform::processAlive;
// tests pass their own).
using ProcessProbe = std::function<bool(std::uint32_t processId)>;

// How long a process that owns the viewer keeps it against another host
// process after its last claim: the same rule as between two instances.
inline constexpr std::int64_t kOwnerClaimMs = 240;
// How long a claim or a publish waits for another process's write to end.
inline constexpr std::chrono::milliseconds kClaimPatience{50};
inline constexpr std::chrono::milliseconds kPublishPatience{250};

// The block's write lock across processes: the writerProcess word, taken by
// compare-and-swap, and within this process a mutex, so that one thread of
// one process at a time claims or writes. A word left by a process that is
// gone (or by an earlier process with this id) is taken over. Not held when
// another live writer kept it for the whole patience.
class BlockWriterLock {
public:
    BlockWriterLock(const BlockView& view, std::uint32_t processId, std::chrono::milliseconds patience,
                    const ProcessProbe& alive);
    ~BlockWriterLock();
    BlockWriterLock(const BlockWriterLock&) = delete;
    BlockWriterLock& operator=(const BlockWriterLock&) = delete;
    bool held() const noexcept { return held_; }

private:
    BlockView view_;
    std::uint32_t processId_;
    std::unique_lock<std::mutex> local_;
    bool held_ = false;
};

// Makes the given instance of the given process the one that feeds the
// viewer, and refreshes the owner's claim time. Within one process the
// caller's registry has decided; from another process the block is taken
// only when it has no owner, the owner's process is gone, or the owner has
// not claimed for kOwnerClaimMs. Changes of owner are made under the write
// lock, so they never interleave with another process's publish. True when
// the block names the caller afterwards.
bool setOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId);
bool setOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId, std::int64_t nowMs,
              const ProcessProbe& alive);
// Gives up ownership, but only if the block still names this instance of this process.
void clearOwnerIf(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) noexcept;
// True when the block names this instance of this process as the owner.
// Instance numbers repeat across processes; the process id keeps one writer.
bool isOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) noexcept;

// The publish counter of this process (initial value 1).
std::atomic<std::uint64_t>& processPublishCounter() noexcept;

// The sequence of the next publish: above both this process's last number
// and the block's previous number (0 when there is no block), so that a
// viewer that took clouds from an earlier host process does not ignore this
// one's. The counter moves to the returned number.
std::uint64_t nextSequence(std::atomic<std::uint64_t>& counter, std::uint64_t previousBlockSequence) noexcept;

// The block's previous number for nextSequence: the newest publish begun,
// which is above the published one when a writer was killed mid-publish
// and left sequence at 0. Read under the BlockWriterLock.
std::uint64_t previousBlockSequence(const BlockView& view) noexcept;

// Writes a cloud into the buffer the block does not name, with the point
// size and the fixed lighting of a publish, flips activeBuffer and sets
// sequence last (release); the number is noted as begun before sequence
// goes to 0. At most kMaxBlockPoints records go in. The caller
// holds the BlockWriterLock.
void publishToBlock(const BlockView& view, std::span<const PointRecord> records, float pointSize,
                    std::uint64_t sequence) noexcept;

// The config file's path for a points file: the name's extension (from its
// last ".") replaced by "_config.bin", or "_config.bin" appended when the
// file name has no ".". A "." in a folder name is never taken.
std::string configFilePath(std::string_view pointsPath);

// Writes the points file layout (u32 n, then the n records) to `path`.
// With `replace` the file is written beside and renamed over, so a reader
// never sees half of it; otherwise it is written in place. n stops at the
// u32 range.
bool writePointsFile(std::string_view path, std::span<const PointRecord> records, bool replace);

// Which of the files of a publish were written.
struct FilesWritten {
    bool points = false;    // ov_points.bin
    bool config = false;    // ov_points_config.bin
    bool fallback = false;  // Orvalis_points.bin, what a viewer without the block reads
};

// Writes the points file (u32 n, then all n records), its config file
// (f32 point size, u32 0) and the viewer's fallback file with the points
// file's content into the folder. Each file is replaced whole, so a reader
// never sees half of one. A file that cannot be written is skipped.
FilesWritten writePointsFiles(std::string_view tempFolder, std::span<const PointRecord> records, float pointSize);

// What publishCloud did.
struct PublishResult {
    bool skippedNotOwner = false;  // a block was there and named another owner: nothing done
    bool skippedBusy = false;      // another process kept the write lock: nothing done
    bool toBlock = false;          // the cloud went into the block
    std::uint64_t sequence = 0;    // the number taken; 0 when skipped
    FilesWritten files;
};

// One whole publish of an instance's newest cloud. The caller holds the
// instance's publish mutex. With a block that names another owner nothing
// happens; otherwise, under the write lock, a sequence is taken and the block
// (if any) is written, then the files are written into tempFolder (none when
// it is empty).
PublishResult publishCloud(const std::optional<BlockView>& view, std::uint64_t instanceNumber, std::uint32_t processId,
                           std::span<const PointRecord> records, float pointSize, std::string_view tempFolder,
                           std::atomic<std::uint64_t>& counter = processPublishCounter());
PublishResult publishCloud(const std::optional<BlockView>& view, std::uint64_t instanceNumber, std::uint32_t processId,
                           std::span<const PointRecord> records, float pointSize, std::string_view tempFolder,
                           std::atomic<std::uint64_t>& counter, const ProcessProbe& alive);

}  // namespace orvalis::plugin
