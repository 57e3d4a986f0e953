// POSIX folders and files. Files we create are private (0600) and opened
// with O_NOFOLLOW, so a planted link in a shared folder cannot redirect them.
#include <orvalis/platform/paths.h>
#include <orvalis/platform/clock.h>
#include <orvalis/platform/dialog.h>
#include <orvalis/platform/process.h>

#include "internal.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace orvalis::platform {
namespace {

constexpr std::string_view kBackend = "POSIX";

std::string envValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool isOwnPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

std::string withTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    return path;
}

// Writes every byte, retrying short writes and interruptions.
bool writeAll(int fd, std::span<const std::span<const std::byte>> chunks) {
    for (const auto& chunk : chunks) {
        const std::byte* p = chunk.data();
        std::size_t left = chunk.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    return true;
}

bool writeAndClose(int fd, std::span<const std::span<const std::byte>> chunks) {
    const bool written = writeAll(fd, chunks);
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

struct PrivateFolder {
    std::string path;
    bool usable = false;
    bool refused = false;  // there, but not ours to use: never looked past
};

// base + "/orvalis-<uid>", made 0700 if missing. A link, a folder of another
// user or one others can enter is refused outright; a base that is missing
// or read-only only makes the folder unusable.
PrivateFolder privateFolderIn(const std::string& base, std::string& reason) {
    PrivateFolder result;
    result.path = (base == "/" ? std::string() : base) + "/orvalis-" + std::to_string(::geteuid());
    const std::string& folder = result.path;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        reason = systemErrorText(error);
        detail::reportError(kBackend, "Failed to create the temporary folder " + folder, error);
        return result;
    }
    // Check the object itself, never what a link points to; a folder made
    // under a strict umask is given its intended mode.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat link {};
        const bool isLink = ::lstat(folder.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
        reason = isLink ? "it is a symbolic link" : systemErrorText(error);
        result.refused = true;
        detail::reportError(kBackend, "Refused the temporary folder " + folder, error);
        return result;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 0777) != 0700 && (st.st_mode & 0077) == 0 && ::fchmod(fd, 0700) == 0)
        ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!ok || !isOwnPrivateFolder(st)) {
        reason = "not a private folder of this user";
        result.refused = true;
        return result;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        reason = systemErrorText(errno);
        return result;
    }
    result.usable = true;
    return result;
}

std::string hexNumber(std::uint64_t value, bool upper) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, upper ? "%llX" : "%llx", static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace

std::string tempFolder() {
    const std::string runtime = envValue("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/') {
        struct stat st {};
        if (::stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
            ::access(runtime.c_str(), W_OK | X_OK) == 0)
            return withTrailingSlash(runtime);
        detail::noticeOnce("Orvalis: $XDG_RUNTIME_DIR (" + runtime +
                           ") is not a writable folder of this user; using the temporary folder instead");
    }

    std::string base = envValue("TMPDIR");
    if (base.empty() || base.front() != '/')
        base = "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string reason;
    const PrivateFolder first = privateFolderIn(base, reason);
    if (first.usable)
        return first.path + "/";
    if (!first.refused && base != "/tmp") {
        // $TMPDIR names a folder that is missing or read-only: every
        // process of ours falls back alike, so the plug-in and the viewer
        // still meet.
        std::string again;
        const PrivateFolder fallback = privateFolderIn("/tmp", again);
        if (fallback.usable) {
            detail::noticeOnce("Orvalis: cannot use the temporary folder " + first.path + " (" + reason + "); using " +
                               fallback.path + " instead");
            return fallback.path + "/";
        }
    }
    detail::noticeOnce("Orvalis: cannot use the temporary folder " + first.path + " (" + reason +
                       "); the points files are not written and the viewer may not find the plug-in");
    return {};
}

std::string appDataFolder() {
    std::string state = envValue("XDG_STATE_HOME");
    if (!state.empty() && state.front() == '/') {
        while (state.size() > 1 && state.back() == '/')
            state.pop_back();
        return state;
    }
    std::string home = envValue("HOME");
    if (home.empty() || home.front() != '/') {
        std::vector<char> buffer(16384);
        struct passwd pw {};
        struct passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr)
            home = found->pw_dir;
    }
    if (home.empty() || home.front() != '/')
        return {};
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return (home == "/" ? std::string() : home) + "/.local/state";
}

std::string modulePath(const void* addressInModule) {
    Dl_info info{};
    if (addressInModule == nullptr || ::dladdr(addressInModule, &info) == 0)
        return {};
    const char* name = info.dli_fname;
    // The main program may be reported by the name it was started under
    // (or none); the kernel knows its real path.
    if (name == nullptr || *name == '\0' || std::string_view(name).find('/') == std::string_view::npos)
        name = "/proc/self/exe";
    char resolved[PATH_MAX];
    if (::realpath(name, resolved) != nullptr)
        return resolved;
    if (name[0] != '/' && ::realpath("/proc/self/exe", resolved) != nullptr)
        return resolved;  // a relative program name after a change of directory
    return name[0] == '/' ? std::string(name) : std::string();
}

char pathSeparator() noexcept { return '/'; }

bool pathExists(std::string_view path) {
    struct stat st {};
    return !path.empty() && ::stat(std::string(path).c_str(), &st) == 0;
}

bool createDirectories(std::string_view path) {
    const std::string full(path);
    if (full.empty())
        return false;
    for (std::size_t pos = full.find('/', 1);; pos = full.find('/', pos + 1)) {
        const std::string part = full.substr(0, pos);
        if (!part.empty() && part.back() != '/')
            ::mkdir(part.c_str(), 0700);  // failures show in the final check
        if (pos == std::string::npos)
            break;
    }
    struct stat st {};
    return ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool replaceFile(std::string_view path, std::span<const std::span<const std::byte>> chunks) {
    if (path.empty() || path.back() == '/')
        return false;
    // Unique per process (pid) and per call, hence per thread too.
    static std::atomic<std::uint64_t> counter{0};
    const std::string target(path);
    const std::string temporary = target + ".~" + hexNumber(static_cast<std::uint64_t>(::getpid()), false) + "." +
                                  hexNumber(counter.fetch_add(1) + 1, false);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (!writeAndClose(fd, chunks) || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        if (error == ENOSPC || error == EDQUOT || error == EFBIG)
            detail::noticeOnce("Orvalis: cannot write files in " + target.substr(0, target.find_last_of('/') + 1) +
                               " (" + systemErrorText(error) + ")");
        return false;
    }
    return true;
}

std::string createUniqueFile(std::string_view folder, std::string_view prefix) {
    if (folder.empty())
        return {};
    std::string base(folder);
    if (base.back() != '/')
        base.push_back('/');
    base.append(prefix);
    // Like the Windows service: a 16-bit hexadecimal number, starting from
    // the clock and counting up until a free name is found.
    const auto start = static_cast<std::uint32_t>(steadyNanoseconds() / 1000) ^ static_cast<std::uint32_t>(::getpid());
    for (std::uint32_t i = 0; i < 0xFFFF; ++i) {
        const std::uint32_t number = ((start + i) % 0xFFFF) + 1;
        const std::string candidate = base + hexNumber(number, true) + ".tmp";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

bool writeFile(std::string_view path, std::span<const std::span<const std::byte>> chunks) {
    if (path.empty())
        return false;
    const int fd = ::open(std::string(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    return writeAndClose(fd, chunks);
}

bool removeFile(std::string_view path) { return !path.empty() && ::unlink(std::string(path).c_str()) == 0; }

bool lastWriteTime(std::string_view path, std::int64_t& time) {
    struct stat st {};
    if (path.empty() || ::stat(std::string(path).c_str(), &st) != 0)
        return false;
    time = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return true;
}

}  // namespace orvalis::platform
