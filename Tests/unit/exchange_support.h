// Helpers for the exchange tests: a block in ordinary memory, raw file bytes,
// records that differ field by field, and running a helper program.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Tests/support/beside_program.h"
#include "Tests/support/file_text.h"
#include "Tests/support/run_program.h"
#include "Tests/support/scratch_folder.h"
#include "Tests/support/unique_name.h"
#include "Shared/exchange.h"

namespace exchange_test {

using orvalis::exchange::BlockView;
using orvalis::exchange::PointRecord;
using test_support::fileText;
using test_support::uniqueName;

// A zeroed block of the full size in this process's memory, for protocol
// tests that need no second process.
struct HeapBlock {
    const std::unique_ptr<std::byte, decltype(&std::free)> memory{
        static_cast<std::byte*>(std::calloc(orvalis::exchange::kBlockSize, 1)), &std::free};
    BlockView view() const { return BlockView(memory.get()); }
    const std::byte* bytes() const { return memory.get(); }
};

// A UTF-8 path as the standard library takes it.
inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline void writeBytes(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(fsPath(path), std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// A points file written here, not by the plug-in's writer, so that a reader
// test does not lean on it: the count, then `records` (which may disagree).
inline void writePointsFileByHand(const std::string& path, std::uint32_t count,
                                  const std::vector<PointRecord>& records) {
    std::string bytes(reinterpret_cast<const char*>(&count), sizeof count);
    bytes.append(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(PointRecord));
    writeBytes(path, bytes.data(), bytes.size());
}

// The value of type T stored at byte offset `at`.
template <typename T>
T at(const std::byte* base, std::size_t offset) {
    T value;
    std::memcpy(&value, base + offset, sizeof value);
    return value;
}
template <typename T>
T at(const std::string& bytes, std::size_t offset) {
    return offset + sizeof(T) <= bytes.size() ? at<T>(reinterpret_cast<const std::byte*>(bytes.data()), offset) : T{};
}

// Checks that `bytes` are a points file of `records`: the count, then the records.
inline void expectPointsFile(const std::string& bytes, const std::vector<PointRecord>& records) {
    ASSERT_EQ(bytes.size(), sizeof(std::uint32_t) + records.size() * sizeof(PointRecord));
    EXPECT_EQ(at<std::uint32_t>(bytes, 0), records.size());
    EXPECT_EQ(records.empty() ? 0 : std::memcmp(bytes.data() + 4, records.data(), bytes.size() - 4), 0);
}

inline PointRecord record(float x, float y, float z, float r, float g, float b) { return {x, y, z, r, g, b, {0, 0}}; }

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

// Runs a program built beside this one; returns its exit code.
inline int runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    return test_support::runProgramAt(test_support::besideThisProgram(program), arguments);
}

}  // namespace exchange_test
