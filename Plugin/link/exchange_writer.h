// The plug-in's side of the point exchange: holding the shared block,
// ownership of the viewer, publishing a cloud into the block and the points
// files. Plain functions over plain values, so that they are tested without
// a host; the effect instance calls them under its own locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
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

// Counts the holder out of pluginCount and unmaps (BlockAttachment::detach).
inline void detachBlock(BlockAttachment& attachment) noexcept { attachment.detach(); }

// The header values of a new block. A new block is all zero, so the zero
// values already stand; each other value is set only where its word is still
// zero, so that a viewer or instance that got in between creation and this
// call keeps what it wrote.
void initialiseBlockHeader(const BlockView& view) noexcept;

// Makes the given instance of the given process the one that feeds the viewer.
void setOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) noexcept;
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

// Writes a cloud into the buffer the block does not name, with the point
// size and the fixed lighting of a publish, flips activeBuffer and sets
// sequence last (release). At most kMaxBlockPoints records go in. The caller
// must be the block's single writer.
void publishToBlock(const BlockView& view, std::span<const PointRecord> records, float pointSize,
                    std::uint64_t sequence) noexcept;

// The config file's path for a points file: the name's extension (from its
// last ".") replaced by "_config.bin", or "_config.bin" appended when the
// file name has no ".". A "." in a folder name is never taken.
std::string configFilePath(std::string_view pointsPath);

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
FilesWritten writePointsFiles(std::string_view tempFolder, std::span<const PointRecord> records,
                              float pointSize);

// What publishCloud did.
struct PublishResult {
    bool skippedNotOwner = false;  // a block was there and named another owner: nothing done
    bool toBlock = false;          // the cloud went into the block
    std::uint64_t sequence = 0;    // the number taken; 0 when skipped
    FilesWritten files;
};

// One whole publish of an instance's newest cloud. The caller holds the
// instance's publish mutex. With a block that names another owner nothing
// happens; otherwise a sequence is taken, the block (if any) is written and
// the files are written into tempFolder (none when it is empty).
PublishResult publishCloud(const std::optional<BlockView>& view, std::uint64_t instanceNumber,
                           std::uint32_t processId, std::span<const PointRecord> records, float pointSize,
                           std::string_view tempFolder,
                           std::atomic<std::uint64_t>& counter = processPublishCounter());

}  // namespace orvalis::plugin
