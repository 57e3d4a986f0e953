#include "link/exchange_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <thread>
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

namespace {

// One claim or write at a time per process: the block's word holds a
// process id, so threads of one process are told apart here.
std::mutex& processWriterMutex() {
    static std::mutex mutex;
    return mutex;
}

// Polls rather than waits with a deadline: try_lock_until goes through a
// call the thread sanitizer does not see, and the waits here are short.
bool lockUntil(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point deadline) {
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

bool defaultAlive(std::uint32_t processId) { return platform::processAlive(processId); }

}  // namespace

BlockWriterLock::BlockWriterLock(const BlockView& view, std::uint32_t processId, std::chrono::milliseconds patience,
                                 const ProcessProbe& alive)
    : view_(view), processId_(processId), local_(processWriterMutex(), std::defer_lock) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    if (processId == 0 || !lockUntil(local_, deadline)) {
        return;
    }
    auto word = view_.u32(off::writerProcess);
    for (;;) {
        std::uint32_t holder = 0;
        if (word.compare_exchange_strong(holder, processId, std::memory_order_acquire)) {
            held_ = true;
            return;
        }
        // This process holds the mutex, so a word naming it was left by an
        // earlier process that had the same id; a gone holder left it too.
        if ((holder == processId || !alive(holder)) &&
            word.compare_exchange_strong(holder, processId, std::memory_order_acquire)) {
            held_ = true;
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            local_.unlock();
            return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

BlockWriterLock::~BlockWriterLock() {
    if (held_) {
        std::uint32_t expected = processId_;
        view_.u32(off::writerProcess).compare_exchange_strong(expected, 0, std::memory_order_release);
    }
}

bool setOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) {
    return setOwner(view, instanceNumber, processId, platform::machineMonotonicMilliseconds(), defaultAlive);
}

bool setOwner(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId, std::int64_t nowMs,
              const ProcessProbe& alive) {
    if (instanceNumber == 0 || processId == 0) {
        return false;
    }
    auto stamp = view.u64(off::ownerClaimMs);
    const auto claimTime = static_cast<std::uint64_t>(nowMs > 0 ? nowMs : 1);
    // Another live process that claimed recently keeps the block.
    auto heldElsewhere = [&] {
        const std::uint32_t ownerProcess = view.u32(off::ownerProcess).load();
        if (ownerProcess == 0 || ownerProcess == processId || view.u64(off::ownerInstance).load() == 0) {
            return false;
        }
        const auto last = static_cast<std::int64_t>(stamp.load());
        return nowMs - last < kOwnerClaimMs && last - nowMs < kOwnerClaimMs && alive(ownerProcess);
    };
    // The owner refreshing its claim: the render path, on every frame.
    if (isOwner(view, instanceNumber, processId)) {
        stamp.store(claimTime);
        return true;
    }
    if (heldElsewhere()) {
        return false;
    }
    const BlockWriterLock lock(view, processId, kClaimPatience, alive);
    if (!lock.held() || heldElsewhere()) {
        return false;
    }
    stamp.store(claimTime);
    view.u32(off::ownerProcess).store(processId);
    view.u64(off::ownerInstance).store(instanceNumber);
    return true;
}

void clearOwnerIf(const BlockView& view, std::uint64_t instanceNumber, std::uint32_t processId) noexcept {
    if (!isOwner(view, instanceNumber, processId)) {
        return;
    }
    // Compare-and-swap even under the lock: without it (a stuck writer) the
    // words must still never name another owner than the one they held.
    const BlockWriterLock lock(view, processId, kClaimPatience, defaultAlive);
    std::uint64_t expectedInstance = instanceNumber;
    if (view.u32(off::ownerProcess).load() != processId ||
        !view.u64(off::ownerInstance).compare_exchange_strong(expectedInstance, 0)) {
        return;
    }
    // Another process may have taken over between the two words; its id stays.
    std::uint32_t expectedProcess = processId;
    view.u32(off::ownerProcess).compare_exchange_strong(expectedProcess, 0);
    view.u64(off::ownerClaimMs).store(0);
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

std::uint64_t previousBlockSequence(const BlockView& view) noexcept {
    return std::max(view.u64(off::sequence).load(std::memory_order_acquire),
                    view.u64(off::begunSequence).load(std::memory_order_acquire));
}

void publishToBlock(const BlockView& view, std::span<const PointRecord> records, float pointSize,
                    std::uint64_t sequence) noexcept {
    auto sequenceWord = view.u64(off::sequence);
    // A writer killed after the 0 below takes its number with it; the next
    // writer starts above this one instead, so the viewer does not ignore
    // its clouds until its own counter catches up.
    view.u64(off::begunSequence).store(sequence, std::memory_order_release);
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
    std::string path(pointsPath.substr(0, dot != std::string_view::npos && dot >= nameStart ? dot : pointsPath.size()));
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

bool writePointsFile(std::string_view path, std::span<const PointRecord> records, bool replace) {
    const std::size_t n = std::min<std::size_t>(records.size(), std::numeric_limits<std::uint32_t>::max());
    const auto count = static_cast<std::uint32_t>(n);
    const std::array<std::span<const std::byte>, 2> chunks{bytesOf(&count, sizeof count),
                                                           bytesOf(records.data(), n * sizeof(PointRecord))};
    return replace ? platform::replaceFile(path, chunks) : platform::writeFile(path, chunks);
}

FilesWritten writePointsFiles(std::string_view tempFolder, std::span<const PointRecord> records, float pointSize) {
    FilesWritten written;
    if (tempFolder.empty()) {
        return written;
    }
    const std::string pointsPath = joinFolder(tempFolder, exchange::kPointsFileName);
    written.points = writePointsFile(pointsPath, records, true);

    const std::uint32_t zero = 0;
    const std::array<std::span<const std::byte>, 2> config{bytesOf(&pointSize, sizeof pointSize),
                                                           bytesOf(&zero, sizeof zero)};
    written.config = platform::replaceFile(configFilePath(pointsPath), config);

    written.fallback = writePointsFile(joinFolder(tempFolder, exchange::kFallbackFileName), records, true);
    return written;
}

PublishResult publishCloud(const std::optional<BlockView>& view, std::uint64_t instanceNumber, std::uint32_t processId,
                           std::span<const PointRecord> records, float pointSize, std::string_view tempFolder,
                           std::atomic<std::uint64_t>& counter) {
    return publishCloud(view, instanceNumber, processId, records, pointSize, tempFolder, counter, defaultAlive);
}

PublishResult publishCloud(const std::optional<BlockView>& view, std::uint64_t instanceNumber, std::uint32_t processId,
                           std::span<const PointRecord> records, float pointSize, std::string_view tempFolder,
                           std::atomic<std::uint64_t>& counter, const ProcessProbe& alive) {
    PublishResult result;
    if (view) {
        if (!isOwner(*view, instanceNumber, processId)) {
            result.skippedNotOwner = true;
            return result;
        }
        // Owner test, sequence and write as one step: another process that
        // takes the block waits for this write to end, and its own write
        // then follows this one's sequence.
        const BlockWriterLock lock(*view, processId, kPublishPatience, alive);
        if (!lock.held()) {
            result.skippedBusy = true;
            return result;
        }
        if (!isOwner(*view, instanceNumber, processId)) {
            result.skippedNotOwner = true;
            return result;
        }
        result.sequence = nextSequence(counter, previousBlockSequence(*view));
        publishToBlock(*view, records, pointSize, result.sequence);
        result.toBlock = true;
    } else {
        result.sequence = nextSequence(counter, 0);
    }
    result.files = writePointsFiles(tempFolder, records, pointSize);
    return result;
}

}  // namespace orvalis::plugin
