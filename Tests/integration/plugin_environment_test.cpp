// The host program, the plug-in and the viewer in environments that went
// wrong: temporary folders that are missing, read-only, full or a link, a
// /dev/shm too small for the block, no display, a log folder that cannot be
// made. Each case runs in a mount namespace of its own (a user namespace
// too, when not root), with a private /tmp and /dev/shm, so that it can
// mount what it needs and no other process's block gets in its way. What
// must hold everywhere: no crash and no hang, the block still updates where
// it can exist, and the user is told on the console.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "Tests/support/run_program.h"
#include "block_peek.h"
#include "ofxhost/host.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kCase = "/tmp/case";
const std::string kUsable = kCase + "/t";                            // a sound $TMPDIR
const std::string kReadOnly = kCase + "/ro";                         // a read-only mount
const std::string kFull = kCase + "/full";                           // a small tmpfs, filled up
const std::string kOwn = "/orvalis-" + std::to_string(::geteuid());  // our folder inside a base

enum class Block { Updates, Absent, Unchecked };
enum class Run { Render, Viewer, Launcher };

struct Case {
    const char* name;
    Run run;
    int shmMiB;  // size of the private /dev/shm
    // Makes the folders of the case and sets its variables.
    void (*prepare)(std::map<std::string, std::string>& env);
    Block block;
    std::string pointsIn;  // the one folder holding ov_points.bin; empty: none may
    const char* message;   // on the console; empty: nothing asked
};

void mountTmpfs(const std::string& at, const char* options, unsigned long flags = 0) {
    fs::create_directories(at);
    if (::mount("tmpfs", at.c_str(), "tmpfs", flags, options) != 0)
        throw std::runtime_error("mount " + at + ": " + std::strerror(errno));
}

void fill(const std::string& folder) {
    std::ofstream file(folder + "/filler", std::ios::binary);
    const std::vector<char> chunk(4096, 'x');
    while (file.write(chunk.data(), chunk.size()) && file.flush()) {
    }
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"SoundFolders", Run::Render, 256, [](auto&) {}, Block::Updates, kUsable + kOwn, ""},
        {"MissingTmpdir", Run::Render, 256, [](auto& env) { env["TMPDIR"] = kCase + "/missing"; }, Block::Updates,
         "/tmp" + kOwn, "cannot use the temporary folder /tmp/case/missing"},
        {"ReadOnlyTmpdir", Run::Render, 256,
         [](auto& env) {
             mountTmpfs(kReadOnly, "size=64k", MS_RDONLY);
             env["TMPDIR"] = kReadOnly;
         },
         Block::Updates, "/tmp" + kOwn, "cannot use the temporary folder /tmp/case/ro"},
        {"ReadOnlyRuntimeDir", Run::Render, 256,
         [](auto& env) {
             mountTmpfs(kReadOnly, "size=64k,mode=0700", MS_RDONLY);
             env["XDG_RUNTIME_DIR"] = kReadOnly;
         },
         Block::Updates, kUsable + kOwn, "$XDG_RUNTIME_DIR (/tmp/case/ro) is not a writable folder"},
        {"FullTmpdir", Run::Render, 256,
         [](auto& env) {
             mountTmpfs(kFull, "size=256k");
             fs::create_directory(kFull + kOwn);
             fs::permissions(kFull + kOwn, fs::perms::owner_all, fs::perm_options::replace);
             fill(kFull);
             env["TMPDIR"] = kFull;
         },
         Block::Updates, "", "cannot write files in /tmp/case/full"},
        // The link is refused, never followed; the block's lifetime locks
        // live in that folder too, so the block is not asked for here.
        {"TmpdirFolderIsALink", Run::Render, 256,
         [](auto&) {
             fs::create_directories(kCase + "/elsewhere");
             fs::permissions(kCase + "/elsewhere", fs::perms::owner_all, fs::perm_options::replace);
             fs::create_directory_symlink(kCase + "/elsewhere", kUsable + kOwn);
         },
         Block::Unchecked, "", "it is a symbolic link"},
        // No room for the block: the cloud still reaches the points files,
        // which the viewer reads while it has no block.
        {"DevShmTooSmall", Run::Render, 16, [](auto&) {}, Block::Absent, kUsable + kOwn,
         "no room in /dev/shm for the shared memory block"},
        {"LogFolderCannotBeMade", Run::Render, 256,
         [](auto& env) {
             std::ofstream(kCase + "/plainfile") << "in the way";
             env["XDG_STATE_HOME"] = kCase + "/plainfile";
         },
         Block::Updates, kUsable + kOwn, "cannot create the log folder /tmp/case/plainfile/Orvalis"},
        {"NoDisplayViewer", Run::Viewer, 256, [](auto&) {}, Block::Unchecked, "", "cannot open a window (no X display"},
        // Told through the host's message suite, not only on the console.
        {"NoDisplayLauncher", Run::Launcher, 256, [](auto&) {}, Block::Unchecked, "",
         "message [OfxMessageError] Orvalis: The 3D viewer cannot open its window: no display"},
    };
    return all;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// What a case found, written by its process into memory the test shares.
struct Outcome {
    bool unavailable = false;
    bool hung = false;
    int exitCode = -1;  // 128 + the signal for a signal
    std::uint64_t sequence = 0;
    std::uint32_t count = 0;
    char pointsIn[512] = {};  // the folders holding ov_points.bin, one a line
    char why[512] = {};
    char output[16384] = {};  // what the program wrote
};

template <std::size_t N>
void put(char (&to)[N], const std::string& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(to, text.data(), n);
    to[n] = '\0';
}

// ---- inside the case's namespace (a forked child of the test) ------------------------

// Root needs no user namespace to mount.
bool enterNamespace(std::string& why) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(uid == 0 ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        why = std::string("unshare: ") + std::strerror(errno);
        return false;
    }
    if (uid != 0) {
        // The same ids inside, so that the block's name and file owners match.
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << uid << " " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << gid << " " << gid << " 1";
    }
    return true;
}

// Runs argv with this process's environment and output, watching the block
// while it runs; kills it after the deadline.
void runAndWatch(const std::vector<std::string>& argv, Outcome& out) {
    test_support::StartedProgram program(argv[0], {argv.begin() + 1, argv.end()});
    if (!program.started())
        std::cerr << "cannot start " << argv[0] << "\n";
    block_peek::BlockPeek peek;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    std::optional<int> code;
    while (program.started() && !(code = program.wait(1ms)) && std::chrono::steady_clock::now() < deadline)
        peek.look();
    out.hung = program.started() && !code;  // killed as the program goes
    out.exitCode = code.value_or(-1);
    out.sequence = peek.sequence;
    out.count = peek.count;
}

// The launcher's way: an instance in our host library presses the button
// (in CubeMap mode, where it works too). Returns the messages the host was given.
std::string pressOpenViewer(Outcome& out) {
    std::string error, messages;
    auto bundle = ofxhost::Bundle::load(ORVALIS_BUNDLE_PATH, error);
    auto instance = bundle ? bundle->createInstance(0, "OfxImageEffectContextFilter", {{"pluginMode", {1}}}) : nullptr;
    if (!instance)
        return bundle ? bundle->lastError() : error;
    out.exitCode = instance->pressButton("open3DViewer") == kOfxStatOK ? 0 : 1;
    for (const auto& m : instance->messages())
        messages += "message [" + m.type + "] " + m.id + ": " + m.text + "\n";
    return messages;
}

// A private /tmp, with the build folder bound back in when it lives there (a
// checkout under /tmp), so the programs under test stay reachable.
void mountPrivateTmp() {
    const fs::path build = fs::weakly_canonical(ORVALIS_BUILD_ROOT);
    const fs::path tmp = fs::weakly_canonical("/tmp");
    const bool inside = std::mismatch(tmp.begin(), tmp.end(), build.begin(), build.end()).first == tmp.end();
    const int keep = inside ? ::open(build.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
    if (inside && keep < 0)
        throw std::runtime_error("open " + build.string() + ": " + std::strerror(errno));
    mountTmpfs("/tmp", "size=64m,mode=1777");
    if (!inside)
        return;
    fs::create_directories(build);
    const std::string source = "/proc/self/fd/" + std::to_string(keep);
    const int bound = ::mount(source.c_str(), build.c_str(), nullptr, MS_BIND | MS_REC, nullptr);
    const int error = errno;
    ::close(keep);
    if (bound != 0)
        throw std::runtime_error("bind " + build.string() + ": " + std::strerror(error));
}

void runInNamespace(const Case& c, Outcome& out) {
    std::string why;
    if (!enterNamespace(why)) {
        out.unavailable = true;
        put(out.why, why);
        return;
    }
    try {
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            throw std::runtime_error(std::string("private mounts: ") + std::strerror(errno));
        mountTmpfs("/dev/shm", ("size=" + std::to_string(c.shmMiB) + "m,mode=1777").c_str());
        mountPrivateTmp();
        fs::create_directories(kUsable);
        std::map<std::string, std::string> env = {{"PATH", "/usr/bin:/bin"},
                                                  {"HOME", kCase + "/home"},
                                                  {"TMPDIR", kUsable},
                                                  {"XDG_STATE_HOME", kCase + "/state"},
                                                  {"XDG_CONFIG_HOME", kCase + "/config"}};
        c.prepare(env);
        ::clearenv();
        for (const auto& [k, v] : env)
            ::setenv(k.c_str(), v.c_str(), 1);
        // The programs started here and the plug-in loaded here write to the case's log.
        const std::string logPath = kCase + "/run.log";
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (log < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0)
            throw std::runtime_error("log " + logPath + ": " + std::strerror(errno));
        std::string messages;
        switch (c.run) {
        case Run::Render:
            runAndWatch({ORVALIS_HOST_PROGRAM, "render", ORVALIS_BUNDLE_PATH, "--sample", "640x360", "--depth", "8",
                         "--output", kCase + "/out.ppm", "--keep-alive", "1000"},
                        out);
            break;
        case Run::Viewer: runAndWatch({ORVALIS_VIEWER_PROGRAM}, out); break;
        case Run::Launcher: messages = pressOpenViewer(out); break;
        }
        std::ifstream logFile(logPath);
        put(out.output, std::string(std::istreambuf_iterator<char>(logFile), {}) + messages);
        std::string pointsIn;
        for (const std::string& folder :
             {"/tmp" + kOwn, kUsable + kOwn, kReadOnly + kOwn, kFull + kOwn, kCase + "/elsewhere"}) {
            if (fs::exists(folder + "/" + orvalis::exchange::kPointsFileName))
                pointsIn += folder + "\n";
        }
        put(out.pointsIn, pointsIn);
    } catch (const std::exception& e) {
        out.unavailable = true;
        put(out.why, e.what());
    }
}

// ---- in the test process --------------------------------------------------------------

// Forks, runs the case in the child and reads its outcome from the page
// they share; a child that died on the way left what it got to.
Outcome runCase(const Case& c) {
    void* page = ::mmap(nullptr, sizeof(Outcome), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    Outcome o;
    if (page == MAP_FAILED) {
        o.unavailable = true;
        put(o.why, "mmap failed");
        return o;
    }
    Outcome* shared = new (page) Outcome;
    const pid_t pid = ::fork();
    if (pid == 0) {
        runInNamespace(c, *shared);
        ::_exit(0);
    }
    int status = 0;
    const bool ended = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    o = *shared;
    ::munmap(page, sizeof(Outcome));
    if (!ended)
        put(o.output, "the case's process ended without an outcome");
    return o;
}

class Environment : public ::testing::TestWithParam<Case> {};

TEST_P(Environment, NoCrashNoHangAndTheUserIsTold) {
    const Case& c = GetParam();
    const Outcome o = runCase(c);
    if (o.unavailable)
        GTEST_SKIP() << "no private mount namespace here: " << o.why;
    SCOPED_TRACE(o.output);
    ASSERT_FALSE(o.hung) << "did not end within the deadline";
    ASSERT_EQ(o.exitCode, c.run == Run::Viewer ? 2 : 0);

    switch (c.block) {
    case Block::Updates:
        EXPECT_GT(o.sequence, 0u) << "the block never got a cloud";
        EXPECT_GT(o.count, 0u);
        break;
    case Block::Absent: EXPECT_EQ(o.sequence, 0u); break;
    case Block::Unchecked: break;
    }
    if (c.run == Run::Render) {
        EXPECT_EQ(o.pointsIn, c.pointsIn.empty() ? "" : c.pointsIn + "\n") << "the folders holding a points file";
    }
    if (*c.message != '\0') {
        EXPECT_NE(std::string(o.output).find(c.message), std::string::npos)
            << "no \"" << c.message << "\" for the user";
    }
}

INSTANTIATE_TEST_SUITE_P(Linux, Environment, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
