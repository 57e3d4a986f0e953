// The host program and the plug-in on Windows with a temporary folder that
// is missing or is a plain file. The host runs as a debugged child with an
// environment of its own, so that its debug output, where the plug-in tells
// of trouble, is read here. What must hold: no crash and no hang, the block
// still gets the child's clouds, the points files only where they can be
// written, and the user is told.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Tests/support/beside_program.h"
#include "Tests/support/scratch_folder.h"
#include "block_peek.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* name;
    const char* temp;   // TEMP and TMP, inside the case's folder
    bool pointsInTemp;  // whether the points files can be written there
    const char* why;    // told in the debug output; empty: nothing asked
};

const Case kCases[] = {
    {"SoundTemp", "temp", true, ""},
    {"MissingTemp", "missing\\temp", false, "it does not exist"},
    {"TempIsAFile", "plainfile", false, "it is not a folder"},
};

struct Outcome {
    bool hung = false, crashed = false;
    DWORD exitCode = 1;
    block_peek::BlockPeek block;  // the child's clouds only
    std::string debugText;
};

// Ours, with TEMP and TMP replaced.
std::wstring environmentWithTemp(const std::wstring& temp) {
    std::wstring block;
    const LPWCH strings = ::GetEnvironmentStringsW();
    for (const wchar_t* e = strings; *e != L'\0'; e += wcslen(e) + 1) {
        if (_wcsnicmp(e, L"TEMP=", 5) != 0 && _wcsnicmp(e, L"TMP=", 4) != 0)
            block.append(e).push_back(L'\0');
    }
    ::FreeEnvironmentStringsW(strings);
    block.append(L"TEMP=" + temp).push_back(L'\0');
    block.append(L"TMP=" + temp).push_back(L'\0');
    return block + L'\0';
}

// Renders one frame with the host program beside this test, as its debugger.
Outcome renderAsDebugger(const fs::path& root, const std::wstring& temp) {
    Outcome out;
    const auto beside = [](const char* name) { return fs::u8path(test_support::besideThisProgram(name)).wstring(); };
    std::wstring line = L"\"" + beside("orvalis-host.exe") + L"\" render \"" + beside("../Orvalis.ofx.bundle") +
                        L"\" --sample 640x360 --depth 8 --keep-alive 1000 --output \"" + (root / L"out.ppm").wstring() +
                        L"\"";
    std::wstring environment = environmentWithTemp(temp);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                          DEBUG_ONLY_THIS_PROCESS | CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &si,
                          &pi)) {
        out.debugText = "cannot start the host: error " + std::to_string(::GetLastError());
        return out;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (bool running = true; running;) {
        out.block.look(pi.dwProcessId);
        DEBUG_EVENT event{};
        if (!::WaitForDebugEvent(&event, 2)) {
            if (!out.hung && std::chrono::steady_clock::now() > deadline) {
                out.hung = true;
                ::TerminateProcess(pi.hProcess, 1);
            }
            continue;
        }
        DWORD answer = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const auto& info = event.u.DebugString;
            std::string text(info.fUnicode ? 0 : info.nDebugStringLength, '\0');
            ::ReadProcessMemory(pi.hProcess, info.lpDebugStringData, text.data(), text.size(), nullptr);
            out.debugText.append(text.c_str()).push_back('\n');
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            // Past the loader's breakpoint, each exception goes back to the child's handlers.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                answer = DBG_EXCEPTION_NOT_HANDLED;
            out.crashed = out.crashed || event.u.Exception.dwFirstChance == 0;
            break;
        case CREATE_PROCESS_DEBUG_EVENT: ::CloseHandle(event.u.CreateProcessInfo.hFile); break;
        case LOAD_DLL_DEBUG_EVENT: ::CloseHandle(event.u.LoadDll.hFile); break;
        case EXIT_PROCESS_DEBUG_EVENT:
            out.exitCode = event.u.ExitProcess.dwExitCode;
            running = false;
            break;
        default: break;
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return out;
}

class Environment : public ::testing::TestWithParam<Case> {};

TEST_P(Environment, NoCrashNoHangAndTheUserIsTold) {
    const Case& c = GetParam();
    test_support::ScratchFolder root("orvalis-env");
    fs::create_directory(root.path() / "temp");
    std::ofstream(root.path() / "plainfile") << "in the way";

    const Outcome o = renderAsDebugger(root.path(), (root.path() / c.temp).wstring());
    SCOPED_TRACE(o.debugText);
    ASSERT_FALSE(o.hung) << "did not end within the deadline";
    EXPECT_FALSE(o.crashed) << "an exception no handler took";
    EXPECT_EQ(o.exitCode, 0u);
    EXPECT_GT(o.block.sequence, 0u) << "the block never got the host's cloud";
    EXPECT_GT(o.block.count, 0u);

    std::vector<std::string> points;  // every points file, wherever it went
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
        if (entry.path().filename().string().find("points") != std::string::npos)
            points.push_back(entry.path().lexically_relative(root.path()).string());
    }
    EXPECT_EQ(std::count(points.begin(), points.end(), "temp\\ov_points.bin"), c.pointsInTemp ? 1 : 0);
    for (const auto& p : points)
        EXPECT_TRUE(c.pointsInTemp && p.rfind("temp\\", 0) == 0) << p << " was written";
    const std::string refused = "cannot use the temporary folder ";
    const std::string notice = refused + (root.path() / c.temp).string() + "\\ (" + c.why + ")";
    EXPECT_EQ(o.debugText.find(*c.why == '\0' ? refused : notice) != std::string::npos, *c.why != '\0')
        << (*c.why == '\0' ? "a sound folder refused" : "no \"" + notice + "\" for the user");
}

INSTANTIATE_TEST_SUITE_P(Windows, Environment, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
