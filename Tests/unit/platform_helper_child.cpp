// Helper program for the platform tests. It takes no arguments (the viewer
// is started the same way), so it reads what to do from the environment:
//   ORVALIS_HELPER_MODE  exit2 | wait | shm | shm-abandon
//   ORVALIS_HELPER_FILE  the file whose appearance tells it to end
//   ORVALIS_HELPER_BLOCK, ORVALIS_HELPER_SIZE  the shared block to attach
#include <orvalis/platform/paths.h>
#include <orvalis/platform/process.h>
#include <orvalis/platform/shared_memory.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace orvalis::platform;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void waitForStopFile(const std::string& path) {
    for (int i = 0; i < 6000 && !path.empty() && !pathExists(path); ++i)
        sleepFor(std::chrono::milliseconds(10));
}

// Layout the shared memory test reads: word 0 a marker set last, word 1
// whether this process created the block (1) or found it (2), word 2 the
// value this process found at word 3 (written by the test beforehand).
constexpr std::uint32_t kMarker = 0x4F52564Cu;

int attachAndMark(bool abandon) {
    const std::size_t size = std::strtoull(env("ORVALIS_HELPER_SIZE").c_str(), nullptr, 10);
    auto block = SharedMemory::createOrOpen(env("ORVALIS_HELPER_BLOCK"), size);
    if (!block || size < 16)
        return 3;
    auto* words = static_cast<std::uint32_t*>(block->data());
    std::atomic_ref<std::uint32_t>(words[1]).store(block->created() ? 1u : 2u, std::memory_order_relaxed);
    std::atomic_ref<std::uint32_t>(words[2]).store(std::atomic_ref<std::uint32_t>(words[3]).load(),
                                                   std::memory_order_relaxed);
    std::atomic_ref<std::uint32_t>(words[0]).store(kMarker, std::memory_order_release);
    if (abandon)
        std::_Exit(0);  // like a crash: no destructor lets go of the block
    waitForStopFile(env("ORVALIS_HELPER_FILE"));
    return 0;
}

}  // namespace

int main() {
    const std::string mode = env("ORVALIS_HELPER_MODE");
    if (mode == "exit2")
        return 2;
    if (mode == "wait") {
        waitForStopFile(env("ORVALIS_HELPER_FILE"));
        return 0;
    }
    if (mode == "shm" || mode == "shm-abandon")
        return attachAndMark(mode == "shm-abandon");
    return 4;
}
