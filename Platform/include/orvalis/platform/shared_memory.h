// Named shared memory that lives while any process holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orvalis::platform {

// A mapped view of a named block. Windows: a paging-file backed mapping in
// the session namespace. Linux: shm_open("/<name>.<uid>", 0600); every
// holder keeps a shared flock on the block itself, so that the last holder
// to go removes it, as Windows frees a mapping with its last handle, and
// that rule holds whatever temporary folder each holder's environment names.
class SharedMemory {
public:
    // Creates the block, or opens it if it exists; every byte of a new block
    // is zero. created() tells which. Null when the system refuses.
    static std::unique_ptr<SharedMemory> createOrOpen(std::string_view name, std::size_t size);
    // Opens an existing block; null when there is none (or it is smaller
    // than size). One retry after 1 ms is the caller's matter.
    static std::unique_ptr<SharedMemory> open(std::string_view name, std::size_t size);

    ~SharedMemory();  // unmaps and lets go of the block
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    void* data() const noexcept;
    std::size_t size() const noexcept;
    // True when this holder's call made the block (no other holder had it).
    bool created() const noexcept;

    struct State;  // per-backend

private:
    explicit SharedMemory(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Milliseconds of a monotonic clock that every process of this machine reads
// alike (Linux CLOCK_MONOTONIC, Windows GetTickCount64), for times kept in
// shared memory.
std::int64_t machineMonotonicMilliseconds() noexcept;

// False when no process with this id exists (or it has ended); true while
// one runs, and when the system will not tell.
bool processAlive(std::uint32_t processId) noexcept;

}  // namespace orvalis::platform
