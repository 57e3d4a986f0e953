// POSIX named shared memory with Windows lifetime: the block lives while any
// process holds it. Each holder keeps a shared flock on the block itself;
// the kernel drops it when a holder dies. Whoever can take that lock
// exclusively knows there is no other holder: a detaching holder then
// removes the block, an attaching one treats a block it finds as left over
// by a crash and makes it afresh. Those decisions are kept apart by an
// exclusive flock on a second shared-memory name, "<name>.<uid>.guard",
// held only for the moment of attaching or detaching (flock cannot change a
// lock's mode atomically, so the guard closes that gap). Both names live in
// the system's one shared-memory namespace, so holders agree whatever
// temporary folder their environments name.
#include <orvalis/platform/shared_memory.h>
#include <orvalis/platform/process.h>

#include "internal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace orvalis::platform {

struct SharedMemory::State {
    void* data = nullptr;
    std::size_t size = 0;
    bool created = false;
    int holderFd = -1;      // the block, with our shared flock, for as long as the view lives
    std::string blockName;  // "/<name>.<uid>"
    std::string guardName;  // "/<name>.<uid>.guard"
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

bool ownedByUs(int fd, struct stat& st) {
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

// True while `name` still names the object open on fd: a name removed and
// made again in between is another object.
bool nameStillNames(const std::string& name, int fd) {
    struct stat mine {
    }, named{};
    const int other = ::shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (other < 0)
        return false;
    const bool same = ::fstat(fd, &mine) == 0 && ::fstat(other, &named) == 0 && mine.st_dev == named.st_dev &&
                      mine.st_ino == named.st_ino;
    ::close(other);
    return same;
}

// The guard: an exclusive flock held while one process attaches or
// detaches. The last holder removes the guard's name with the block, so a
// waiter that wakes on a removed guard tries again on the current one.
class Guard {
public:
    explicit Guard(const std::string& name) : name_(name) {
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            struct stat st {};
            if (fd < 0 || !ownedByUs(fd, st)) {
                detail::reportError(kBackend, "Refused the shared memory guard " + name, fd < 0 ? errno : 0);
                if (fd >= 0)
                    ::close(fd);
                return;
            }
            if (lockFile(fd, LOCK_EX) != 0) {
                detail::reportError(kBackend, "Failed to lock " + name, errno);
                ::close(fd);
                return;
            }
            if (nameStillNames(name, fd))
                fd_ = fd;
            else
                ::close(fd);
        }
    }
    ~Guard() {
        if (fd_ >= 0)
            ::close(fd_);  // closing drops the lock
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    bool held() const noexcept { return fd_ >= 0; }
    // Called by the last holder, with the guard held.
    void removeName() const { ::shm_unlink(name_.c_str()); }

private:
    std::string name_;
    int fd_ = -1;
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
    if (error == ENOSPC || error == ENOMEM || error == EFBIG) {
        // Users see a missing cloud, not the debug output: say where the room ran out.
        detail::noticeOnce("Orvalis: no room in /dev/shm for the shared memory block " + blockName.substr(1) + " (" +
                           std::to_string((size + (1u << 20) - 1) >> 20) + " MiB: " + systemErrorText(error) +
                           "); clouds reach the viewer through files only");
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
    auto state = std::make_unique<SharedMemory::State>();
    const std::string stem = "/" + std::string(name) + "." + std::to_string(::geteuid());
    state->blockName = stem;
    state->guardName = stem + ".guard";

    Guard guard(state->guardName);
    if (!guard.held())
        return nullptr;

    int fd = ::shm_open(state->blockName.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd >= 0 && lockFile(fd, LOCK_EX | LOCK_NB) == 0) {
        // No live holder: the block was left by a crash.
        ::close(fd);
        fd = -1;
        ::shm_unlink(state->blockName.c_str());
    } else if (fd < 0 && errno != ENOENT) {
        detail::reportError(kBackend, "Failed to open shared memory " + state->blockName, errno);
        return nullptr;
    }
    if (fd < 0) {
        if (mode == Mode::OpenOnly) {
            guard.removeName();  // no block, so no holder needs the guard
            return nullptr;
        }
        fd = createBlock(state->blockName, size);
        if (fd < 0)
            return nullptr;
        state->created = true;
    }
    // Under the guard nobody holds the block exclusively, so this never waits.
    if (lockFile(fd, LOCK_SH | LOCK_NB) != 0) {
        detail::reportError(kBackend, "Failed to lock shared memory " + state->blockName, errno);
        ::close(fd);
        return nullptr;
    }

    struct stat st {};
    bool usable = ownedByUs(fd, st);
    if (!usable) {
        detail::reportError(kBackend, "Refused shared memory " + state->blockName + ": not a block of this user");
    } else if (static_cast<std::size_t>(st.st_size) < size) {
        detail::reportError(kBackend, "Refused shared memory " + state->blockName + ": smaller than asked");
        usable = false;
    }
    void* data = usable ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (usable && data == MAP_FAILED)
        detail::reportError(kBackend, "Failed to map shared memory " + state->blockName, errno);
    if (data == MAP_FAILED) {
        // We may have been the only holder: do not leave a block nobody holds.
        if (state->created && lockFile(fd, LOCK_EX | LOCK_NB) == 0)
            ::shm_unlink(state->blockName.c_str());
        ::close(fd);
        return nullptr;
    }
    state->holderFd = fd;
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
    Guard guard(state_->guardName);
    // Without the guard we cannot tell safely; leaving the block is the safe
    // side. A name that was made afresh behind our back is not ours to remove.
    if (guard.held() && lockFile(state_->holderFd, LOCK_EX | LOCK_NB) == 0) {
        if (nameStillNames(state_->blockName, state_->holderFd))
            ::shm_unlink(state_->blockName.c_str());
        guard.removeName();
    }
    ::close(state_->holderFd);
}

void* SharedMemory::data() const noexcept { return state_->data; }
std::size_t SharedMemory::size() const noexcept { return state_->size; }
bool SharedMemory::created() const noexcept { return state_->created; }

std::int64_t machineMonotonicMilliseconds() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

bool processAlive(std::uint32_t processId) noexcept {
    if (processId == 0)
        return false;
    if (::kill(static_cast<pid_t>(processId), 0) != 0)
        return errno == EPERM;
    // A process that has ended but is not yet reaped holds nothing any more.
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const std::size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || (line[close + 2] != 'Z' && line[close + 2] != 'X');
}

}  // namespace orvalis::platform
