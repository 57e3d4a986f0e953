// Win32 named shared memory: a mapping backed by the paging file, freed by
// the system when its last handle closes. New mappings are zero-filled.
#include <orvalis/platform/shared_memory.h>

#include "internal.h"
#include "win32_internal.h"

#include <cstdint>

namespace orvalis::platform {

struct SharedMemory::State {
    HANDLE mapping = nullptr;
    void* data = nullptr;
    std::size_t size = 0;
    bool created = false;
};

namespace {

constexpr std::string_view kBackend = "Win32";

// Maps the whole size; closes the mapping and gives null when it cannot.
std::unique_ptr<SharedMemory::State> mapView(HANDLE mapping, std::size_t size, bool created) {
    void* data = ::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (data == nullptr) {
        detail::reportError(kBackend, "Failed to map shared memory", static_cast<int>(::GetLastError()));
        ::CloseHandle(mapping);
        return nullptr;
    }
    auto state = std::make_unique<SharedMemory::State>();
    state->mapping = mapping;
    state->data = data;
    state->size = size;
    state->created = created;
    return state;
}

}  // namespace

SharedMemory::SharedMemory(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<SharedMemory> SharedMemory::createOrOpen(std::string_view name, std::size_t size) {
    if (name.empty() || size == 0)
        return nullptr;
    const std::uint64_t size64 = size;
    const HANDLE mapping =
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size64 >> 32),
                             static_cast<DWORD>(size64), detail::widen(name).c_str());
    const DWORD error = ::GetLastError();  // read before any other call
    if (mapping == nullptr) {
        detail::reportError(kBackend, "Failed to create shared memory " + std::string(name), static_cast<int>(error));
        return nullptr;
    }
    auto state = mapView(mapping, size, error != ERROR_ALREADY_EXISTS);
    return state ? std::unique_ptr<SharedMemory>(new SharedMemory(std::move(state))) : nullptr;
}

std::unique_ptr<SharedMemory> SharedMemory::open(std::string_view name, std::size_t size) {
    if (name.empty() || size == 0)
        return nullptr;
    // The same UTF-16 name as the create call, so that a name outside ASCII
    // finds the block it made.
    const HANDLE mapping = ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, detail::widen(name).c_str());
    if (mapping == nullptr)
        return nullptr;  // no such block: an expected answer, not an error
    auto state = mapView(mapping, size, false);
    return state ? std::unique_ptr<SharedMemory>(new SharedMemory(std::move(state))) : nullptr;
}

SharedMemory::~SharedMemory() {
    ::UnmapViewOfFile(state_->data);
    ::CloseHandle(state_->mapping);
}

void* SharedMemory::data() const noexcept { return state_->data; }
std::size_t SharedMemory::size() const noexcept { return state_->size; }
bool SharedMemory::created() const noexcept { return state_->created; }

std::int64_t machineMonotonicMilliseconds() noexcept { return static_cast<std::int64_t>(::GetTickCount64()); }

bool processAlive(std::uint32_t processId) noexcept {
    if (processId == 0)
        return false;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
    if (process == nullptr)
        return ::GetLastError() != ERROR_INVALID_PARAMETER;  // no such process; otherwise it exists
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

}  // namespace orvalis::platform
