// The viewer's read step over a block another process wrote. The input is
// the 96-byte header (zero-padded) followed by records that fill the start
// of both point buffers; the block itself has its real size, so a count or
// buffer index trusted too far reads outside an allocation ASan watches.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Shared/exchange.h"
#include "Tests/fuzz/fuzz_support.h"
#include "app/exchange_reader.h"

namespace {

using fuzz_support::check;

namespace ex = orvalis::exchange;
namespace off = orvalis::exchange::offset;
using orvalis::viewer::IntakeState;

std::byte* block() {
    static std::byte* const base = static_cast<std::byte*>(std::calloc(1, ex::kBlockSize));
    return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::byte* base = block();
    // What the previous input left in the buffers goes, so each run sees only its own bytes.
    static std::size_t lastRecordBytes = 0;
    std::memset(base, 0, off::header);
    std::memset(base + off::buffer0, 0, lastRecordBytes);
    std::memset(base + off::buffer1, 0, lastRecordBytes);
    const std::size_t recordBytes = size > off::header ? size - off::header : 0;
    if (size > 0) {
        std::memcpy(base, data, std::min(size, off::header));
    }
    if (recordBytes > 0) {
        std::memcpy(base + off::buffer0, data + off::header, recordBytes);
        std::memcpy(base + off::buffer1, data + off::header, recordBytes);
    }
    lastRecordBytes = recordBytes;

    const ex::BlockView view(base);
    const ex::BlockHeader header = view.header();

    bool seenPlugins = (size > 0 && (data[0] & 0x80) != 0);
    const bool wasSeen = seenPlugins;
    const bool gone = orvalis::viewer::pluginsGone(view, seenPlugins);
    check(gone == (header.pluginCount == 0 && wasSeen));

    // The two top bits of begunSequence, which the viewer never reads, are
    // the input's choices. A publish that lands during the copy: nothing may be taken.
    if ((header.begunSequence >> 63) != 0) {
        IntakeState raced;
        const bool taken = orvalis::viewer::readBlockStep(view, raced, [&] { view.u64(off::sequence).fetch_add(1); });
        check(!taken && raced.lastSequence == 0 && raced.points.empty());
        return 0;
    }

    IntakeState state;
    state.lastSequence = header.sequence > 1 && ((header.begunSequence >> 62) & 1) != 0 ? header.sequence - 1 : 0;
    const std::uint64_t before = state.lastSequence;
    const bool taken = orvalis::viewer::readBlockStep(view, state);
    if (taken) {
        check(header.sequence > before && state.lastSequence == header.sequence);
        check(header.activeBuffer <= 1);
        check(state.points.size() == header.pointCount[header.activeBuffer]);
        check(state.points.size() <= ex::kMaxBlockPoints);
        // The same cloud is never taken twice.
        check(!orvalis::viewer::readBlockStep(view, state));
    } else {
        check(state.lastSequence == before && state.points.empty());
    }
    return 0;
}
