// The exchange between the plug-in and the viewer: the named shared block,
// the point record and the points file. Both processes compile this header;
// every offset is fixed here and checked at compile time, because the other
// side may be a different build.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace orvalis::exchange {

// One point of the cloud. x, y, z are the sample's blue, green and red;
// r, g, b its display colour. The trailing 8 bytes are written as zero.
struct PointRecord {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    std::uint32_t reserved[2] = {0, 0};
};
static_assert(sizeof(PointRecord) == 32);
static_assert(offsetof(PointRecord, x) == 0);
static_assert(offsetof(PointRecord, y) == 4);
static_assert(offsetof(PointRecord, z) == 8);
static_assert(offsetof(PointRecord, r) == 12);
static_assert(offsetof(PointRecord, g) == 16);
static_assert(offsetof(PointRecord, b) == 20);
static_assert(offsetof(PointRecord, reserved) == 24);
static_assert(std::is_trivially_copyable_v<PointRecord>);

// Name of the block; the Linux backend makes it per user.
inline constexpr char kBlockName[] = "OrvalisSharedMem";
inline constexpr std::size_t kBlockSize = 0x6000000;  // 100,663,296 bytes
inline constexpr std::uint32_t kMaxBlockPoints = 1'000'000;
// A fallback points file is taken only when 0 < n < this.
inline constexpr std::uint32_t kMaxFilePoints = 10'000'000;

// Files in the user's temporary folder.
inline constexpr char kPointsFileName[] = "ov_points.bin";
inline constexpr char kConfigFileName[] = "ov_points_config.bin";
inline constexpr char kFallbackFileName[] = "Orvalis_points.bin";

// Byte offsets inside the block.
namespace offset {
inline constexpr std::size_t viewerAttached = 0;    // u32, written by the viewer only
inline constexpr std::size_t pluginCount = 4;       // u32, interlocked +1/-1
inline constexpr std::size_t ownerInstance = 8;     // u64, 0 = no owner
inline constexpr std::size_t activeBuffer = 16;     // u32, 0 or 1
inline constexpr std::size_t ownerProcess = 20;     // u32, process id of the owner (0 = none)
inline constexpr std::size_t sequence = 24;         // u64, 0 = nothing / publish in progress
inline constexpr std::size_t pointSize = 32;        // f32
inline constexpr std::size_t lightingEnabled = 36;  // u32
inline constexpr std::size_t ambient = 40;          // f32
inline constexpr std::size_t diffuse = 44;          // f32
inline constexpr std::size_t ambient2 = 48;         // f32
inline constexpr std::size_t diffuse2 = 52;         // f32
inline constexpr std::size_t lightDir2 = 56;        // 3 x f32
inline constexpr std::size_t pointCount0 = 68;      // u32
inline constexpr std::size_t pointCount1 = 72;      // u32
// Words only plug-in processes use, in space the viewer never reads; they
// keep one writer across host processes.
inline constexpr std::size_t writerProcess = 76;  // u32, process id holding the write lock (0 = free)
inline constexpr std::size_t ownerClaimMs = 80;   // u64, machine-wide monotonic ms of the owner's last claim
inline constexpr std::size_t begunSequence = 88;  // u64, number of the newest publish begun (outlives a killed writer)
inline constexpr std::size_t header = 96;
inline constexpr std::size_t buffer0 = 96;
inline constexpr std::size_t buffer1 = buffer0 + kMaxBlockPoints * sizeof(PointRecord);
inline constexpr std::size_t tail = buffer1 + kMaxBlockPoints * sizeof(PointRecord);  // 3 x u32, zeroed by the creator
}  // namespace offset

// The header as a struct, so that code can name the fields; the
// static_asserts pin it to the offsets above.
struct BlockHeader {
    std::uint32_t viewerAttached;
    std::uint32_t pluginCount;
    std::uint64_t ownerInstance;
    std::uint32_t activeBuffer;
    std::uint32_t ownerProcess;
    std::uint64_t sequence;
    float pointSize;
    std::uint32_t lightingEnabled;
    float ambient;
    float diffuse;
    float ambient2;
    float diffuse2;
    float lightDir2[3];
    std::uint32_t pointCount[2];
    std::uint32_t writerProcess;
    std::uint64_t ownerClaimMs;
    std::uint64_t begunSequence;
};
static_assert(sizeof(BlockHeader) == offset::header);
static_assert(offsetof(BlockHeader, viewerAttached) == offset::viewerAttached);
static_assert(offsetof(BlockHeader, pluginCount) == offset::pluginCount);
static_assert(offsetof(BlockHeader, ownerInstance) == offset::ownerInstance);
static_assert(offsetof(BlockHeader, activeBuffer) == offset::activeBuffer);
static_assert(offsetof(BlockHeader, ownerProcess) == offset::ownerProcess);
static_assert(offsetof(BlockHeader, sequence) == offset::sequence);
static_assert(offsetof(BlockHeader, pointSize) == offset::pointSize);
static_assert(offsetof(BlockHeader, lightingEnabled) == offset::lightingEnabled);
static_assert(offsetof(BlockHeader, ambient) == offset::ambient);
static_assert(offsetof(BlockHeader, diffuse) == offset::diffuse);
static_assert(offsetof(BlockHeader, ambient2) == offset::ambient2);
static_assert(offsetof(BlockHeader, diffuse2) == offset::diffuse2);
static_assert(offsetof(BlockHeader, lightDir2) == offset::lightDir2);
static_assert(offsetof(BlockHeader, pointCount) == offset::pointCount0);
static_assert(offsetof(BlockHeader, pointCount) + 4 == offset::pointCount1);
static_assert(offsetof(BlockHeader, writerProcess) == offset::writerProcess);
static_assert(offsetof(BlockHeader, ownerClaimMs) == offset::ownerClaimMs);
static_assert(offsetof(BlockHeader, begunSequence) == offset::begunSequence);
static_assert(offset::buffer1 == 32'000'096);
static_assert(offset::tail == 64'000'096);
static_assert(offset::tail + 12 <= kBlockSize);
static_assert(std::atomic_ref<std::uint64_t>::required_alignment <= 8);

// Typed access to a mapped block. The block is written by another process:
// words both sides touch go through std::atomic_ref, and nothing read from
// it is trusted before it is checked.
class BlockView {
public:
    explicit BlockView(void* base) noexcept : base_(static_cast<std::byte*>(base)) {}

    std::byte* base() const noexcept { return base_; }
    BlockHeader& header() const noexcept { return *reinterpret_cast<BlockHeader*>(base_); }

    // The point buffer i (0 or 1); callers check i first.
    PointRecord* buffer(std::uint32_t i) const noexcept {
        return reinterpret_cast<PointRecord*>(base_ + (i == 0 ? offset::buffer0 : offset::buffer1));
    }

    template <typename T>
    std::atomic_ref<T> word(std::size_t at) const noexcept {
        return std::atomic_ref<T>(*reinterpret_cast<T*>(base_ + at));
    }
    std::atomic_ref<std::uint32_t> u32(std::size_t at) const noexcept { return word<std::uint32_t>(at); }
    std::atomic_ref<std::uint64_t> u64(std::size_t at) const noexcept { return word<std::uint64_t>(at); }
    std::atomic_ref<float> f32(std::size_t at) const noexcept { return word<float>(at); }

private:
    std::byte* base_;
};

}  // namespace orvalis::exchange
