// The newest cloud the shared block showed while a test watched a program
// from outside: its sequence and point count. The block is looked for again
// on each call until a program has made it.
#pragma once

#include <cstdint>
#include <memory>

#include "Shared/exchange.h"
#include "orvalis/platform/shared_memory.h"

namespace block_peek {

struct BlockPeek {
    std::uint64_t sequence = 0;
    std::uint32_t count = 0;

    // With an owner process, counts only that process's clouds: other test
    // programs may hold the same block.
    void look(std::uint32_t ownerProcess = 0) {
        namespace off = orvalis::exchange::offset;
        if (!memory_)
            memory_ =
                orvalis::platform::SharedMemory::open(orvalis::exchange::kBlockName, orvalis::exchange::kBlockSize);
        if (!memory_)
            return;
        const orvalis::exchange::BlockView view(memory_->data());
        const std::uint64_t s = view.u64(off::sequence).load(std::memory_order_acquire);
        if (s > sequence && (ownerProcess == 0 || view.u32(off::ownerProcess).load() == ownerProcess)) {
            sequence = s;
            count = view.u32(view.u32(off::activeBuffer).load() == 0 ? off::pointCount0 : off::pointCount1).load();
        }
    }

private:
    std::unique_ptr<orvalis::platform::SharedMemory> memory_;
};

}  // namespace block_peek
