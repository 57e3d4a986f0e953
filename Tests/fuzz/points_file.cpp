// The viewer's fallback points file, as any program could have written it.
#include <cstdint>
#include <cstring>
#include <string>

#include "Shared/exchange.h"
#include "Tests/fuzz/fuzz_support.h"
#include "app/exchange_reader.h"

using fuzz_support::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = fuzz_support::scratchFolder() + "/" + orvalis::exchange::kFallbackFileName;
    fuzz_support::writeFile(path, data, size);
    orvalis::viewer::IntakeState state;
    std::int64_t lastWriteTime = -1;
    if (orvalis::viewer::readFallbackFile(path, lastWriteTime, state)) {
        std::uint32_t count = 0;
        check(size >= sizeof count);
        std::memcpy(&count, data, sizeof count);
        check(count > 0 && count < orvalis::exchange::kMaxFilePoints);
        check(state.points.size() == count);
        check(size - sizeof count >= std::size_t{count} * sizeof(orvalis::exchange::PointRecord));
        check(std::memcmp(state.points.data(), data + sizeof count,
                          state.points.size() * sizeof(orvalis::exchange::PointRecord)) == 0);
        check(state.pointSize == 1.0f);
    }
    return 0;
}
