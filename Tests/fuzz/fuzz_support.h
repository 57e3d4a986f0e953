// What the fuzz targets share: a failed expectation, and a private folder for
// the targets whose reader takes a path.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz_support {

// A broken expectation ends the run as a crash would, so the fuzzer keeps the input.
inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// On tmpfs where there is one, so each input costs no disk work; removed at exit.

inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string name = base + "/orvalis-fuzz-XXXXXX";
        if (::mkdtemp(name.data()) == nullptr) {
            std::abort();
        }
        return name;
    }();
    static const bool removeAtExit = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchFolder(), ec);
        });
        return true;
    }();
    (void)removeAtExit;
    return folder;
}

// The file at path replaced by the bytes.
inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::abort();
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            std::abort();
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace fuzz_support
