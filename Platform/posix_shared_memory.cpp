// POSIX named shared memory with Windows lifetime: the block lives while any
// process holds it. Each holder keeps a shared flock on "<name>.<uid>.lock"
// in the private temporary folder; the kernel drops it when a holder dies.
// Whoever can take that lock exclusively knows there is no other holder: a
// detaching holder then removes the block, an attaching one treats a block
// it finds as left over by a crash and makes it afresh. Those decisions are
// kept apart by an exclusive flock on "<name>.<uid>.guard", held only for
// the moment of attaching or detaching (flock cannot change a lock's mode
// atomically, so the guard closes that gap).
#include <orvalis/platform/shared_memory.h>
#include <orvalis/platform/paths.h>

#include "internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvalis::platform {

struct SharedMemory::State {
    void* data = nullptr;
    std::size_t size = 0;
    bool created = false;
    int holderFd = -1;   // shared flock for as long as the view lives
    std::string blockName;  // "/<name>.<uid>"
    std::string guardPath;
};

namespace {

constexpr std::string_view kBackend = "POSIX";

int lockFile(int fd, int operation) {
    int r;
    do {
        r = ::flock(fd, operation);
    } while (r != 0 && errno == EINTR);
    return r;
}

// Opens (creating if needed) a lock file of ours; refuses links and files
// of other users.
int openLockFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        detail::reportError(kBackend, "Failed to open the lock file " + path, errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        detail::reportError(kBackend, "Refused the lock file " + path + ": not a file of this user");
        ::close(fd);
        return -1;
    }
    return fd;
}

// The guard: an exclusive flock held while one process attaches or detaches.
class Guard {
public:
    explicit Guard(const std::string& path) : fd_(openLockFile(path)) {
        if (fd_ >= 0 && lockFile(fd_, LOCK_EX) != 0) {
            detail::reportError(kBackend, "Failed to lock " + path, errno);
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~Guard() {
        if (fd_ >= 0)
            ::close(fd_);  // closing drops the lock
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    bool held() const noexcept { return fd_ >= 0; }

private:
    int fd_;
};

enum class Mode { CreateOrOpen, OpenOnly };

// Makes a fresh block: zero-filled, owned by us, its pages reserved so that
// a full /dev/shm refuses it here rather than faulting (SIGBUS) later.
int createBlock(const std::string& blockName, std::size_t size) {
    const int fd = ::shm_open(blockName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        detail::reportError(kBackend, "Failed to create shared memory " + blockName, errno);
        return -1;
    }
    ::fchmod(fd, 0600);
    int error = ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
    if (error == 0) {
        error = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
        if (error == EOPNOTSUPP || error == EINVAL)
            error = 0;  // the file system cannot reserve; ftruncate stands
    }
    if (error != 0) {
        detail::reportError(kBackend, "Failed to size shared memory " + blockName, error);
        ::close(fd);
        ::shm_unlink(blockName.c_str());
        return -1;
    }
    return fd;
}

std::unique_ptr<SharedMemory::State> attach(std::string_view name, std::size_t size, Mode mode) {
    if (name.empty() || name.find('/') != std::string_view::npos || size == 0) {
        detail::reportError(kBackend, "Invalid shared memory name or size");
        return nullptr;
    }
    const std::string folder = tempFolder();
    if (folder.empty()) {
        detail::reportError(kBackend, "No private temporary folder for the shared memory locks");
        return nullptr;
    }
    auto state = std::make_unique<SharedMemory::State>();
    const std::string stem = std::string(name) + "." + std::to_string(::geteuid());
    state->blockName = "/" + stem;
    state->guardPath = folder + stem + ".guard";

    Guard guard(state->guardPath);
    if (!guard.held())
        return nullptr;
    state->holderFd = openLockFile(folder + stem + ".lock");
    if (state->holderFd < 0)
        return nullptr;

    int fd = -1;
    if (lockFile(state->holderFd, LOCK_EX | LOCK_NB) == 0) {
        // No live holder: whatever block is there was left by a crash.
        ::shm_unlink(state->blockName.c_str());
        if (mode == Mode::OpenOnly) {
            ::close(state->holderFd);
            return nullptr;
        }
        fd = createBlock(state->blockName, size);
        state->created = fd >= 0;
    } else {
        fd = ::shm_open(state->blockName.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0 && errno == ENOENT && mode == Mode::CreateOrOpen) {
            // Holders exist but the block was removed behind their backs.
            fd = createBlock(state->blockName, size);
            state->created = fd >= 0;
        } else if (fd < 0 && mode == Mode::CreateOrOpen) {
            detail::reportError(kBackend, "Failed to open shared memory " + state->blockName, errno);
        }
    }
    // Under the guard nobody else holds the lock exclusively, so this turns
    // our lock (exclusive or none) into a shared one without waiting.
    if (fd < 0 || lockFile(state->holderFd, LOCK_SH) != 0) {
        if (fd >= 0)
            ::close(fd);
        ::close(state->holderFd);
        return nullptr;
    }

    struct stat st {};
    bool usable = ::fstat(fd, &st) == 0;
    if (usable && st.st_uid != ::geteuid()) {
        detail::reportError(kBackend, "Refused shared memory " + state->blockName + ": owned by another user");
        usable = false;
    } else if (usable && static_cast<std::size_t>(st.st_size) < size) {
        detail::reportError(kBackend, "Refused shared memory " + state->blockName + ": smaller than asked");
        usable = false;
    }
    void* data = usable ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (usable && data == MAP_FAILED)
        detail::reportError(kBackend, "Failed to map shared memory " + state->blockName, errno);
    ::close(fd);  // the mapping keeps the block
    if (data == MAP_FAILED) {
        // We may have been the only holder: do not leave a block nobody holds.
        if (lockFile(state->holderFd, LOCK_EX | LOCK_NB) == 0 && state->created)
            ::shm_unlink(state->blockName.c_str());
        ::close(state->holderFd);
        return nullptr;
    }
    state->data = data;
    state->size = size;
    return state;
}

}  // namespace

SharedMemory::SharedMemory(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<SharedMemory> SharedMemory::createOrOpen(std::string_view name, std::size_t size) {
    auto state = attach(name, size, Mode::CreateOrOpen);
    return state ? std::unique_ptr<SharedMemory>(new SharedMemory(std::move(state))) : nullptr;
}

std::unique_ptr<SharedMemory> SharedMemory::open(std::string_view name, std::size_t size) {
    auto state = attach(name, size, Mode::OpenOnly);
    return state ? std::unique_ptr<SharedMemory>(new SharedMemory(std::move(state))) : nullptr;
}

SharedMemory::~SharedMemory() {
    ::munmap(state_->data, state_->size);
    Guard guard(state_->guardPath);
    // Without the guard we cannot tell safely; leaving the block is the safe side.
    if (guard.held() && lockFile(state_->holderFd, LOCK_EX | LOCK_NB) == 0)
        ::shm_unlink(state_->blockName.c_str());
    ::close(state_->holderFd);
}

void* SharedMemory::data() const noexcept { return state_->data; }
std::size_t SharedMemory::size() const noexcept { return state_->size; }
bool SharedMemory::created() const noexcept { return state_->created; }

}  // namespace orvalis::platform
