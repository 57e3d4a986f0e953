// Folders and files: the private temporary folder, atomic replacement,
// unique names, module paths.
#include <orvalis/platform/paths.h>

#include "platform_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <span>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace orvalis::platform;
using namespace orvalis::platform::testing;
namespace fs = std::filesystem;

std::span<const std::byte> bytesOf(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

bool endsWithSeparator(const std::string& path) { return !path.empty() && (path.back() == '/' || path.back() == '\\'); }

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(TempFolder, ExistsAndEndsWithASeparator) {
    const std::string folder = tempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(endsWithSeparator(folder));
    EXPECT_TRUE(pathExists(folder));
}

#if defined(__linux__)
// Points the folder search at a scratch base for the length of a test.
class TempFolderOverride : public ::testing::Test {
protected:
    ScratchFolder base_{"orvalis-base"};
    const ScopedEnv tmp_{"TMPDIR", base_.str().c_str()}, runtime_{"XDG_RUNTIME_DIR", nullptr};
    const std::string own_ = base_.file("orvalis-" + std::to_string(::geteuid()));
};

TEST_F(TempFolderOverride, MakesAPrivateFolderUnderTmpdir) {
    EXPECT_EQ(tempFolder(), own_ + "/");
    struct stat st {};
    ASSERT_EQ(::lstat(own_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST_F(TempFolderOverride, RefusesALink) {
    const fs::path elsewhere = base_.path() / "elsewhere";
    fs::create_directory(elsewhere);
    fs::permissions(elsewhere, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(elsewhere, own_);
    EXPECT_EQ(tempFolder(), "");
}

TEST_F(TempFolderOverride, RefusesAFolderOthersCanEnterOrOfAnotherUser) {
    fs::create_directory(own_);
    fs::permissions(own_, fs::perms(0755), fs::perm_options::replace);
    EXPECT_EQ(tempFolder(), "");
    fs::permissions(own_, fs::perms::owner_all, fs::perm_options::replace);
    if (::chown(own_.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) != 0)
        GTEST_SKIP() << "only a privileged user can give a folder away";
    EXPECT_EQ(tempFolder(), "");
}

TEST_F(TempFolderOverride, RefusesAPlainFile) {
    touch(own_);
    EXPECT_EQ(tempFolder(), "");
}
#endif

TEST(AppDataFolder, IsAFolderPathWithoutTrailingSeparator) {
    const std::string folder = appDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_FALSE(endsWithSeparator(folder));
}

TEST(ModulePath, NamesTheTestExecutableOrNothing) {
    EXPECT_EQ(modulePath(nullptr), "");
    const std::string path = modulePath(reinterpret_cast<const void*>(&lower));
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(pathExists(path));
    EXPECT_EQ(lower(fs::path(path).stem().string()), "platform_paths_test");
}

// Making and replacing a whole file, in chunks, with no temporary left: the
// exchange writer's file tests.
TEST(ReplaceFile, FailureRemovesTheTemporary) {
    ScratchFolder scratch;
    // A folder in the way: the write succeeds, the rename cannot.
    ASSERT_TRUE(createDirectories(scratch.file("taken")));
    ASSERT_TRUE(writeFile(scratch.file("taken") + pathSeparator() + "inside", {}));
    const std::string text = "data";
    const std::vector<std::span<const std::byte>> chunks{bytesOf(text)};
    EXPECT_FALSE(replaceFile(scratch.file("taken"), chunks));
    EXPECT_EQ(scratch.entryCount(), 1u);
    EXPECT_FALSE(replaceFile(scratch.file("missing") + pathSeparator() + "file.bin", chunks));
    EXPECT_EQ(scratch.entryCount(), 1u);
}

TEST(ReplaceFile, ConcurrentWritersLeaveOneWholeVersion) {
    ScratchFolder scratch;
    const std::string path = scratch.file("shared.bin");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const std::string text(20000, static_cast<char>('a' + t));
            const std::vector<std::span<const std::byte>> chunks{bytesOf(text)};
            for (int i = 0; i < 20; ++i)
                replaceFile(path, chunks);  // may lose a race on Windows; the file stays whole
        });
    }
    for (auto& thread : threads)
        thread.join();
    const std::string result = fileText(path);
    ASSERT_EQ(result.size(), 20000u);
    EXPECT_EQ(std::count(result.begin(), result.end(), result.front()), 20000);
    EXPECT_EQ(scratch.entryCount(), 1u);
}

// The prefix, the ".tmp" and the folder are the launch snapshot's test.
TEST(UniqueFile, EachCallMakesAnotherEmptyFileAndAMissingFolderNone) {
    ScratchFolder scratch;
    const std::string a = createUniqueFile(scratch.folder(), "qvt");
    const std::string b = createUniqueFile(scratch.folder(), "qvt");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(fileText(b), "");
    EXPECT_EQ(scratch.entryCount(), 2u);
    EXPECT_EQ(createUniqueFile(scratch.file("nope") + pathSeparator(), "qvt"), "");
}

TEST(Files, WriteTruncatesRemoveRemovesAMissingFolderFails) {
    ScratchFolder scratch;
    const std::string path = scratch.file("f.bin");
    const std::string longText(1000, 'L'), shortText = "s";
    ASSERT_TRUE(writeFile(path, std::vector<std::span<const std::byte>>{bytesOf(longText)}));
    ASSERT_TRUE(writeFile(path, std::vector<std::span<const std::byte>>{bytesOf(shortText)}));
    EXPECT_EQ(fileText(path), "s");
    std::int64_t time = 0;
    EXPECT_TRUE(lastWriteTime(path, time));
    EXPECT_TRUE(removeFile(path));
    EXPECT_FALSE(pathExists(path));
    EXPECT_FALSE(removeFile(path));
    EXPECT_FALSE(lastWriteTime(path, time));
    EXPECT_FALSE(writeFile(scratch.file("none") + pathSeparator() + "f.bin", {}));
}

TEST(Folders, CreateDirectoriesMakesEveryLevel) {
    ScratchFolder scratch;
    const char sep = pathSeparator();
    const std::string deep = scratch.file("a") + sep + "b" + sep + "c";
    EXPECT_TRUE(createDirectories(deep));
    EXPECT_TRUE(pathExists(deep));
    EXPECT_TRUE(createDirectories(deep));  // already there
    ASSERT_TRUE(writeFile(scratch.file("plain"), {}));
    EXPECT_FALSE(createDirectories(scratch.file("plain")));
}

}  // namespace
