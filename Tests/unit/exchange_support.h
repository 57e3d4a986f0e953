// Helpers for the exchange tests: a block in ordinary memory, unique names,
// a private folder, raw file bytes and running a helper program.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Tests/support/run_program.h"
#include "Shared/exchange.h"
#include "orvalis/platform/clock.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

namespace exchange_test {

using orvalis::exchange::BlockView;
using orvalis::exchange::PointRecord;

// A zeroed block of the full size in this process's memory, for protocol
// tests that need no second process.
class HeapBlock {
public:
    HeapBlock() : memory_(std::calloc(orvalis::exchange::kBlockSize, 1)) {}
    ~HeapBlock() { std::free(memory_); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    BlockView view() const { return BlockView(memory_); }
    const std::byte* bytes() const { return static_cast<const std::byte*>(memory_); }

private:
    void* memory_;
};

// A UTF-8 path as the standard library takes it.
inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A name no other test run uses at the same time.
inline std::string uniqueName(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    return prefix + "." + std::to_string(orvalis::platform::currentProcessId()) + "." +
           std::to_string(counter.fetch_add(1)) + "." +
           std::to_string(orvalis::platform::steadyNanoseconds() % 1'000'000'007);
}

// A fresh folder in the user's temporary folder, removed with its files.
class TempDir {
public:
    TempDir() {
        const std::string base = orvalis::platform::tempFolder();
        if (!base.empty()) {
            path_ = base + uniqueName("orvalis-exchange-test") + orvalis::platform::pathSeparator();
            if (!orvalis::platform::createDirectories(path_)) {
                path_.clear();
            }
        }
    }
    ~TempDir() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(fsPath(path_), ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Ends in a separator; empty when no folder could be made.
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

inline std::vector<std::byte> readBytes(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    std::vector<std::byte> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void writeBytes(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The value of type T stored at byte offset `at`.
template <typename T>
T at(const std::byte* base, std::size_t offset) {
    T value;
    std::memcpy(&value, base + offset, sizeof value);
    return value;
}
template <typename T>
T at(const std::vector<std::byte>& bytes, std::size_t offset) {
    return offset + sizeof(T) <= bytes.size() ? at<T>(bytes.data(), offset) : T{};
}

inline PointRecord record(float x, float y, float z, float r, float g, float b) {
    PointRecord p;
    p.x = x;
    p.y = y;
    p.z = z;
    p.r = r;
    p.g = g;
    p.b = b;
    return p;
}

// n records whose fields all differ, so that a shifted or partial copy shows.
inline std::vector<PointRecord> distinctRecords(std::size_t n, float seed = 0.0f) {
    std::vector<PointRecord> records(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float v = seed + static_cast<float>(i % 4096) / 4096.0f;
        records[i] = record(v, v * 0.5f, v * 0.25f, 1.0f - v, 0.5f, static_cast<float>(i % 7) / 7.0f);
        records[i].reserved[0] = static_cast<std::uint32_t>(i);
    }
    return records;
}

// The folder of the running test program; helper programs are built beside it.
inline std::string programFolder() {
    static const int anchor = 0;
    const std::string self = orvalis::platform::modulePath(&anchor);
    const std::size_t cut = self.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
}

// Runs a program beside this one with the arguments, its output going to
// outputPath when that is not empty; returns its exit code.
inline int runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputPath = {}) {
    return test_support::runProgramAt(programFolder() + program, arguments, outputPath);
}

}  // namespace exchange_test
