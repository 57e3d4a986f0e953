// Publishes clouds into a named block as fast as it can for a while, as a
// plug-in process would, each cloud marked with its sequence number.
// Usage: exchange_publisher <block name> <milliseconds>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "exchange_cloud.h"
#include "link/exchange_writer.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/process.h"

int main(int argc, char** argv) {
    using namespace orvalis;
    if (argc < 3) {
        std::fprintf(stderr, "usage: exchange_publisher <block name> <milliseconds>\n");
        return 2;
    }
    plugin::BlockAttachment block = plugin::attachBlock(argv[1]);
    if (!block.attached()) {
        std::fprintf(stderr, "exchange_publisher: cannot attach %s\n", argv[1]);
        return 3;
    }
    const exchange::BlockView view = *block.view();
    const std::uint32_t processId = platform::currentProcessId();
    plugin::setOwner(view, 1, processId);

    std::atomic<std::uint64_t> counter{1};
    std::vector<exchange::PointRecord> cloud;
    std::uint64_t published = 0;
    const std::int64_t end = platform::steadyMilliseconds() + std::atoll(argv[2]);
    while (platform::steadyMilliseconds() < end && plugin::isOwner(view, 1, processId)) {
        const plugin::BlockWriterLock lock(view, processId, plugin::kPublishPatience, platform::processAlive);
        if (!lock.held()) {
            continue;
        }
        const std::uint64_t sequence = plugin::nextSequence(counter, plugin::previousBlockSequence(view));
        exchange_cloud::fillCloud(cloud, sequence);
        plugin::publishToBlock(view, cloud, exchange_cloud::cloudPointSize(sequence), sequence);
        ++published;
    }
    plugin::clearOwnerIf(view, 1, processId);
    std::printf("published %llu clouds\n", static_cast<unsigned long long>(published));
    return published > 0 ? 0 : 4;
}
