#include "link/exchange_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#include "orvalis/platform/paths.h"

namespace orvalis::plugin {

namespace off = exchange::offset;

static_assert(std::endian::native == std::endian::little, "the exchange is little-endian");

BlockAttachment::BlockAttachment(std::unique_ptr<platform::SharedMemory> memory) noexcept
    : memory_(std::move(memory)) {}

BlockAttachment::~BlockAttachment() { detach(); }

BlockAttachment& BlockAttachment::operator=(BlockAttachment&& other) noexcept {
    if (this != &other) {
        detach();
        memory_ = std::move(other.memory_);
    }
    return *this;
}

bool BlockAttachment::created() const noexcept { return memory_ != nullptr && memory_->created(); }

std::optional<BlockView> BlockAttachment::view() const noexcept {
    if (memory_ == nullptr) {
        return std::nullopt;
    }
    return BlockView(memory_->data());
}

void BlockAttachment::detach() noexcept {
    if (memory_ == nullptr) {
        return;
    }
    // Never below zero: a count another holder spoilt must not wrap to a
    // value that keeps a viewer open for ever.
    auto count = BlockView(memory_->data()).u32(off::pluginCount);
    std::uint32_t current = count.load();
    while (current != 0 && !count.compare_exchange_weak(current, current - 1)) {
    }
    memory_.reset();
}

BlockAttachment attachBlock(std::string_view name) {
    auto memory = platform::SharedMemory::createOrOpen(name, exchange::kBlockSize);
    if (memory == nullptr || memory->data() == nullptr || memory->size() < exchange::kBlockSize) {
        return BlockAttachment();
    }
    const BlockView view(memory->data());
    if (memory->created()) {
        initialiseBlockHeader(view);
    }
    view.u32(off::pluginCount).fetch_add(1);
    return BlockAttachment(std::move(memory));
}

namespace {

template <typename T>
void setIfZero(const BlockView& view, std::size_t at, T value) noexcept {
    T expected{};
    view.word<T>(at).compare_exchange_strong(expected, value);
}

}  // namespace

void initialiseBlockHeader(const BlockView& view) noexcept {
    // viewerAttached, pluginCount, ownerInstance, ownerProcess, activeBuffer,
    // sequence, ambient2, diffuse2, both point counts and the three tail
    // words start at zero, which a new block already holds.
    setIfZero(view, off::pointSize, 1.0f);
    setIfZero(view, off::lightingEnabled, std::uint32_t{1});
    setIfZero(view, off::ambient, 0.3f);
    setIfZero(view, off::diffuse, 0.4f);
    for (std::size_t i = 0; i < 3; ++i) {
        setIfZero(view, off::lightDir2 + 4 * i, -2.0f);
    }
}

void setOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) noexcept {
    view.u32(off::ownerProcess).store(processId);
    view.u64(off::ownerInstance).store(instanceNumber);
}

void clearOwnerIf(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) noexcept {
    if (view.u32(off::ownerProcess).load() != processId) {
        return;
    }
    std::uint64_t expectedInstance = instanceNumber;
    if (!view.u64(off::ownerInstance).compare_exchange_strong(expectedInstance, 0)) {
        return;
    }
    // Another process may have taken over between the two words; its id stays.
    std::uint32_t expectedProcess = processId;
    view.u32(off::ownerProcess).compare_exchange_strong(expectedProcess, 0);
}

bool isOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) noexcept {
    return instanceNumber != 0 && view.u64(off::ownerInstance).load() == instanceNumber &&
           view.u32(off::ownerProcess).load() == processId;
}

std::atomic<std::uint64_t>& processPublishCounter() noexcept {
    static std::atomic<std::uint64_t> counter{1};
    return counter;
}

std::uint64_t nextSequence(std::atomic<std::uint64_t>& counter, std::uint64_t previousBlockSequence) noexcept {
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    // A spoilt block value at the top of the range must not wrap to 0 ("nothing").
    const std::uint64_t afterBlock = previousBlockSequence == kMax ? 0 : previousBlockSequence + 1;
    std::uint64_t current = counter.load();
    std::uint64_t next = 0;
    do {
        next = std::max(current + 1, afterBlock);
        if (next == 0) {
            next = 1;
        }
    } while (!counter.compare_exchange_weak(current, next));
    return next;
}

void publishToBlock(const BlockView& view, std::span<const PointRecord> records, float pointSize,
                    std::uint64_t sequence) noexcept {
    auto sequenceWord = view.u64(off::sequence);
    // Acquire keeps the buffer stores below from moving ahead of the 0.
    sequenceWord.exchange(0, std::memory_order_acq_rel);

    const std::uint32_t target = view.u32(off::activeBuffer).load() == 0 ? 1 : 0;
    const std::size_t count = std::min<std::size_t>(records.size(), exchange::kMaxBlockPoints);
    if (count != 0) {
        std::memcpy(view.buffer(target), records.data(), count * sizeof(PointRecord));
    }
    view.f32(off::pointSize).store(pointSize, std::memory_order_relaxed);
    view.u32(off::lightingEnabled).store(1, std::memory_order_relaxed);
    view.u32(target == 0 ? off::pointCount0 : off::pointCount1)
        .store(static_cast<std::uint32_t>(count), std::memory_order_relaxed);
    view.f32(off::ambient).store(0.4f, std::memory_order_relaxed);
    view.f32(off::diffuse).store(0.5f, std::memory_order_relaxed);
    view.f32(off::ambient2).store(0.0f, std::memory_order_relaxed);
    view.f32(off::diffuse2).store(0.13f, std::memory_order_relaxed);
    view.f32(off::lightDir2).store(-0.4f, std::memory_order_relaxed);
    view.f32(off::lightDir2 + 4).store(0.4f, std::memory_order_relaxed);
    view.f32(off::lightDir2 + 8).store(-0.4f, std::memory_order_relaxed);
    view.u32(off::activeBuffer).store(target, std::memory_order_relaxed);
    sequenceWord.store(sequence, std::memory_order_release);
}

std::string configFilePath(std::string_view pointsPath) {
    const std::size_t separator = pointsPath.find_last_of("/\\");
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    const std::size_t dot = pointsPath.rfind('.');
    std::string path(pointsPath.substr(0, dot != std::string_view::npos && dot >= nameStart ? dot
                                                                                             : pointsPath.size()));
    path += "_config.bin";
    return path;
}

namespace {

std::string joinFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.back() != '/' && path.back() != '\\') {
        path += platform::pathSeparator();
    }
    path += name;
    return path;
}

std::span<const std::byte> bytesOf(const void* data, std::size_t size) {
    return {static_cast<const std::byte*>(data), size};
}

}  // namespace

FilesWritten writePointsFiles(std::string_view tempFolder, std::span<const PointRecord> records,
                              float pointSize) {
    FilesWritten written;
    if (tempFolder.empty() || records.size() > std::numeric_limits<std::uint32_t>::max()) {
        return written;
    }
    const auto count = static_cast<std::uint32_t>(records.size());
    const std::array<std::span<const std::byte>, 2> points{bytesOf(&count, sizeof count),
                                                           bytesOf(records.data(), records.size_bytes())};
    const std::string pointsPath = joinFolder(tempFolder, exchange::kPointsFileName);
    written.points = platform::replaceFile(pointsPath, points);

    const std::uint32_t zero = 0;
    const std::array<std::span<const std::byte>, 2> config{bytesOf(&pointSize, sizeof pointSize),
                                                           bytesOf(&zero, sizeof zero)};
    written.config = platform::replaceFile(configFilePath(pointsPath), config);

    written.fallback = platform::replaceFile(joinFolder(tempFolder, exchange::kFallbackFileName), points);
    return written;
}

PublishResult publishCloud(const std::optional<BlockView>& view, std::uint64_t instanceNumber,
                           std::uint32_t processId, std::span<const PointRecord> records, float pointSize,
                           std::string_view tempFolder, std::atomic<std::uint64_t>& counter) {
    PublishResult result;
    if (view && !isOwner(*view, instanceNumber, processId)) {
        result.skippedNotOwner = true;
        return result;
    }
    const std::uint64_t previous = view ? view->u64(off::sequence).load(std::memory_order_acquire) : 0;
    result.sequence = nextSequence(counter, previous);
    if (view) {
        publishToBlock(*view, records, pointSize, result.sequence);
        result.toBlock = true;
    }
    result.files = writePointsFiles(tempFolder, records, pointSize);
    return result;
}

}  // namespace orvalis::plugin
