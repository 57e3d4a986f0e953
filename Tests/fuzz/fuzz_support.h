// What the fuzz targets share: a failed expectation, and a private folder for
// the targets whose reader takes a path.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzz_support {

// A broken expectation ends the run as a crash would, so the fuzzer keeps the input.
inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// On tmpfs where there is one, so each input costs no disk work; removed at
// exit. The name is never destroyed, so the removal can still read it.
inline const std::string& scratchFolder() {
    static const std::string* const folder = [] {
        auto* name = new std::string(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
        *name += "/orvalis-fuzz-XXXXXX";
        check(::mkdtemp(name->data()) != nullptr);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return name;
    }();
    return *folder;
}

// The file at path replaced by the bytes.
inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    check(static_cast<bool>(out.flush()));
}

}  // namespace fuzz_support
