// Everything the Orvalis instances of one host process share: made once
// (processContext(), on first use) and handed to each instance. Tests make a
// fresh one instead of resetting process state.
//
// Lock order, outer first; no other nesting is allowed:
//   1. an instance's publish mutex -> blockWriterMutex (then the block's words)
//   2. registry mutex -> owner mirror (the block's owner words; atomics, no lock)
//   3. launch.launchMutex -> the log's mutex
//   4. the log's set-up mutex -> the log's mutex
// launch.snapshotMutex, an instance's records mutex, the job queue's and the
// history's mutexes are leaves: nothing else is taken while one is held.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "Shared/exchange.h"
#include "diagnostics/log.h"
#include "diagnostics/system_text.h"
#include "effect/active_registry.h"
#include "link/launcher.h"

namespace orvalis::plugin {

struct ProcessContext {
    // Which instance feeds the viewer.
    ActiveRegistry registry;
    // The next instance number (1 for the first).
    std::atomic<std::uint64_t> nextInstanceNumber{1};
    // The instance whose 3D-visualization render ran last (0 = none).
    std::atomic<std::uint64_t> lastRenderedInstance{0};
    // Jobs processed by every worker; paces the performance lines.
    std::atomic<std::uint64_t> processedJobs{0};
    // The publish sequence counter (starts at 1).
    std::atomic<std::uint64_t> publishCounter{1};
    // One writer of the block per process. Each instance's publish mutex
    // keeps its own publishes apart, but the owner can change between
    // another instance's ownership test and its write; without this lock the
    // old and the new owner could fill the same inactive buffer at once and
    // a reader would take the mix under one sequence number.
    std::mutex blockWriterMutex;
    // Viewers started and the last launch snapshot.
    LaunchState launch;
    // The diagnostics log and what its status lines measure.
    ProcessLog log;
    CpuLoadMeter cpuMeter;

    std::uint64_t takeInstanceNumber() noexcept { return nextInstanceNumber.fetch_add(1); }
};

// The context of this process.
ProcessContext& processContext();

// Mirrors the registry's owner into the shared block, with this process's
// id; an instance without a block has none.
class BlockOwnerMirror : public OwnerMirror {
public:
    BlockOwnerMirror(std::optional<exchange::BlockView> view, std::uint32_t processId) noexcept
        : view_(view), processId_(processId) {}
    void setOwner(std::uint64_t instance) override;
    void clearOwnerIf(std::uint64_t instance) override;

private:
    std::optional<exchange::BlockView> view_;
    std::uint32_t processId_;
};

}  // namespace orvalis::plugin
