// Small helpers shared by the platform tests: the helper program and the
// environment it reads; names, folders and waiting come from Tests/support.
#pragma once

#include <orvalis/platform/c_runtime.h>
#include <orvalis/platform/paths.h>
#include <orvalis/platform/process.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "Tests/support/beside_program.h"
#include "Tests/support/file_text.h"
#include "Tests/support/polling.h"
#include "Tests/support/scoped_env.h"
#include "Tests/support/scratch_folder.h"
#include "Tests/support/unique_name.h"

namespace orvalis::platform::testing {

using test_support::eventually;
using test_support::fileText;
using test_support::ScopedEnv;
using test_support::ScratchFolder;
using test_support::setEnv;
using test_support::uniqueName;

inline std::string helperPath() {
    return test_support::besideThisProgram("platform_helper_child" + std::string(executableSuffix()));
}

// Starts the helper in the given mode; the helper reads its orders from
// the environment, as it takes no arguments.
inline std::unique_ptr<ChildProcess> startHelper(const std::string& mode, const std::string& stopFile = {},
                                                 const std::string& block = {}, std::size_t size = 0) {
    setEnv("ORVALIS_HELPER_MODE", mode);
    setEnv("ORVALIS_HELPER_FILE", stopFile);
    setEnv("ORVALIS_HELPER_BLOCK", block);
    setEnv("ORVALIS_HELPER_SIZE", std::to_string(size));
    int error = 0;
    return ChildProcess::start(helperPath(), error);
}

// The child's exit code once it ends; nothing when it runs past 30 s.
inline std::optional<int> exitCode(ChildProcess& child) {
    int code = -1;
    return child.waitForExit(std::chrono::seconds(30), code) ? std::optional(code) : std::nullopt;
}

inline void touch(const std::string& path) { std::ofstream(path, std::ios::binary) << "x"; }

}  // namespace orvalis::platform::testing
