// Child processes: exit codes, running state, start failures, reaping.
#include <orvalis/platform/process.h>

#include "platform_test_support.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#if defined(__linux__)
#include <fstream>
#endif

namespace {

using namespace orvalis::platform;
using namespace orvalis::platform::testing;

TEST(ChildProcessExit, RunningUntilToldToStop) {
    ScratchFolder scratch;
    auto child = startHelper("wait", scratch.file("stop"));
    ASSERT_TRUE(child) << helperPath();
    EXPECT_NE(child->id(), 0u);
    EXPECT_NE(child->id(), currentProcessId());
    EXPECT_TRUE(child->isRunning());
    int code = -1;
    EXPECT_FALSE(child->waitForExit(std::chrono::milliseconds(20), code));
    EXPECT_TRUE(child->isRunning());

    touch(scratch.file("stop"));
    ASSERT_TRUE(child->waitForExit(std::chrono::seconds(30), code));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(child->isRunning());
    // Asking again gives the same answer.
    code = -1;
    EXPECT_TRUE(child->waitForExit(std::chrono::milliseconds(0), code));
    EXPECT_EQ(code, 0);
}

// A missing file and a folder fail to start with an error that has text; a
// plain file may start on some systems, but must not look healthy.
TEST(ChildProcessStart, WhatIsNotAProgramFails) {
    ScratchFolder scratch;
    touch(scratch.file("plain.exe"));
    for (const std::string& path : {scratch.file("NoSuchViewer.exe"), scratch.str(), scratch.file("plain.exe")}) {
        int error = 0;
        auto child = ChildProcess::start(path, error);
        if (child) {
            EXPECT_EQ(path, scratch.file("plain.exe"));
            EXPECT_NE(exitCode(*child).value_or(0), 0) << path;
        } else {
            EXPECT_NE(error, 0) << path;
            EXPECT_FALSE(systemErrorText(error).empty()) << path;
        }
    }
}

#if defined(__linux__)
// 'Z' while the process is a zombie; 0 when it is gone.
char processState(std::uint32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() ? text[close + 2] : 0;
}

TEST(ChildProcessReaping, DroppedChildIsReapedByLaterCalls) {
    ScratchFolder scratch;
    auto child = startHelper("wait", scratch.file("stop"));
    ASSERT_TRUE(child);
    const std::uint32_t pid = child->id();
    child.reset();  // still running: it goes on the list
    EXPECT_NE(processState(pid), 0);
    touch(scratch.file("stop"));

    auto other = startHelper("wait", scratch.file("stop"));
    ASSERT_TRUE(other);
    EXPECT_TRUE(eventually([&] {
        other->isRunning();  // every call reaps the list
        return processState(pid) == 0;
    })) << "state "
        << processState(pid);
    EXPECT_TRUE(exitCode(*other));
}
#endif

// The exit code (2) comes back to each thread.
TEST(ChildProcessThreads, SeveralThreadsStartAndWait) {
    setEnv("ORVALIS_HELPER_MODE", "exit2");  // before any thread starts
    std::vector<std::thread> threads;
    std::vector<int> codes(4, -1);
    for (std::size_t t = 0; t < codes.size(); ++t) {
        threads.emplace_back([&codes, t] {
            int error = 0;
            auto child = ChildProcess::start(helperPath(), error);
            if (child)
                child->waitForExit(std::chrono::seconds(30), codes[t]);
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int code : codes)
        EXPECT_EQ(code, 2);
}

}  // namespace
