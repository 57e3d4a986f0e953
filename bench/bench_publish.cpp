// The worker's hand-over of one sampled frame: into the result history, the
// newest copied back out, written into a block and the points files, each
// against a memcpy of the cloud's bytes.
#include "bench_memcpy.h"

#include "link/exchange_writer.h"
#include "link/result_history.h"
#include "orvalis/platform/paths.h"

#include <memory>

namespace {

using namespace orvalis::plugin;

PointList cloud(std::size_t n) {
    PointList list(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float v = static_cast<float>(i % 997) / 997.0f;
        list[i] = {v, 1.0f - v, 0.5f, 0.5f, 1.0f - v, v, {0, 0}};
    }
    return list;
}

// A private, heap-backed block: the same layout without the shared mapping.
struct HeapBlock {
    HeapBlock() : memory(new std::uint64_t[orvalis::exchange::kBlockSize / 8]()) {}
    BlockView view() const { return BlockView(memory.get()); }
    std::unique_ptr<std::uint64_t[]> memory;
};

// Arg: points in the cloud (49,766 = an HD frame at "50%", 99,777 at "100%",
// 1,000,000 = the most the block holds).
void BM_HistoryAndBlock(benchmark::State& state) {
    const PointList points = cloud(static_cast<std::size_t>(state.range(0)));
    ResultHistory history(120);
    HeapBlock block;
    const BlockView view = block.view();
    setOwner(view, 1, 1);
    std::atomic<std::uint64_t> counter{1};
    orvalis::bench::runAgainstMemcpy(state, points.size() * sizeof(PointRecord), [&] {
        history.append(PointList(points));  // the worker hands over the cloud it sampled
        const auto newest = history.newest();
        publishCloud(view, 1, 1, *newest, 4.0f, {}, counter);
    });
}
BENCHMARK(BM_HistoryAndBlock)->Arg(49'766)->Arg(99'777)->Arg(1'000'000)->UseManualTime();

// The same with the points files of every publish in the temporary folder.
void BM_PublishWithFiles(benchmark::State& state) {
    const PointList points = cloud(static_cast<std::size_t>(state.range(0)));
    HeapBlock block;
    const BlockView view = block.view();
    setOwner(view, 1, 1);
    std::atomic<std::uint64_t> counter{1};
    const std::string folder = orvalis::platform::tempFolder();
    orvalis::bench::runAgainstMemcpy(state, points.size() * sizeof(PointRecord),
                                     [&] { publishCloud(view, 1, 1, points, 4.0f, folder, counter); });
}
BENCHMARK(BM_PublishWithFiles)->Arg(49'766)->Arg(99'777)->Arg(1'000'000)->UseManualTime();

}  // namespace
