// Named shared memory that lives while any process holds it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace orvalis::platform {

// A mapped view of a named block. Windows: a paging-file backed mapping in
// the session namespace. Linux: shm_open("/<name>.<uid>", 0600), with a
// shared flock on a companion lock file per holder, so that the last holder
// to go removes the block, as Windows frees a mapping with its last handle.
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

}  // namespace orvalis::platform
