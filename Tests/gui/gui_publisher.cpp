// Stands in for a plug-in process in the GUI tests: holds the real shared
// block through the plug-in's own writer, counted in pluginCount as an
// instance is, and publishes what it is told. One command per line on
// stdin, one answer line on stdout ("ok ..." or "error ..."):
//   attach                          create or open the block, count in, own the viewer
//   publish <size> [x y z r g b]... a cloud through the writer (no points: an empty cloud)
//   release                         count out and unmap (pluginCount back down)
//   files <x y z half n r g b>      n points around (x, y, z) written as the plug-in
//                                   writes its files (removed at the end)
//   quit                            (also the end of the input)
// and under Wine, where only Win32 knows the viewer's window and store:
//   clientrect                      the client area and menu bar height in screen pixels
//   dismiss <title>                 close the window with this title, answer its text
//   topmost                         1 when the viewer window is topmost, else 0
//   settings                        the stored settings: Name=value ..., or none
//   clear-settings                  remove every stored setting
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/exchange_writer.h"
#include "scene_geometry.h"
#include "orvalis/platform/paths.h"
#include "orvalis/platform/process.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace {

using namespace orvalis;

constexpr std::uint64_t kInstance = 1;

#ifdef _WIN32
constexpr const char* kSettingsKey = "Software\\Orvalis";

HWND viewerWindow() { return FindWindowW(L"OrvalisViewer", nullptr); }

std::string clientRect() {
    HWND window = viewerWindow();
    RECT client{};
    POINT origin{0, 0};
    if (window == nullptr || !IsWindowVisible(window) || !GetClientRect(window, &client) ||
        !ClientToScreen(window, &origin))
        return "none";
    // Another process's menu cannot be asked where its items lie: the bar
    // takes the rows right above the client area.
    const int bar = GetMenu(window) != nullptr ? GetSystemMetrics(SM_CYMENU) : 0;
    return "ok " + std::to_string(origin.x) + " " + std::to_string(origin.y) + " " + std::to_string(client.right) +
           " " + std::to_string(client.bottom) + " " + std::to_string(bar);
}

// Closes a message box through its default button and answers its text
// (kept in the static control 0xFFFF) with line breaks as "|".
std::string dismiss(const std::string& title) {
    HWND box = FindWindowA(nullptr, title.c_str());
    if (box == nullptr)
        return "none";
    char text[4096] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    std::string answer = text;
    for (char& c : answer)
        c = c == '\n' ? '|' : c == '\r' ? ' ' : c;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return "ok " + answer;
}

// "Name=value" for each REG_DWORD of the viewer's key, "Name=?" for a value
// of another type or size.
std::string readSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "ok none";
    std::string answer = "ok";
    for (const char* name : {"BackgroundColor", "HighlightOutOfRange", "GamutIndicator"}) {
        DWORD type = 0, value = 0, size = sizeof value;
        const LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        if (status == ERROR_FILE_NOT_FOUND)
            continue;
        answer += std::string(" ") + name + "=";
        answer += status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? std::to_string(value) : "?";
    }
    RegCloseKey(key);
    return answer;
}

std::optional<std::string> windowCommand(const std::string& command, std::istringstream& in) {
    if (command == "clientrect")
        return clientRect();
    if (command == "topmost") {
        HWND window = viewerWindow();
        return window == nullptr ? "none" : (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) ? "ok 1" : "ok 0";
    }
    if (command == "settings")
        return readSettings();
    if (command == "clear-settings") {
        const LSTATUS status = RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? "ok" : "error cannot delete the key";
    }
    if (command == "dismiss") {
        std::string title;
        std::getline(in >> std::ws, title);
        return dismiss(title);
    }
    return std::nullopt;
}
#else
std::optional<std::string> windowCommand(const std::string&, std::istringstream&) { return std::nullopt; }
#endif

struct Publisher {
    plugin::BlockAttachment block;
    std::atomic<std::uint64_t> counter{1};
    std::uint32_t processId = platform::currentProcessId();
    bool wroteFiles = false;
};

std::string handle(Publisher& pub, const std::string& line, bool& quit) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    quit = command == "quit";
    if (quit)
        return "ok";
    if (command == "files") {
        gui_test::Vec3 centre;
        gui_test::Colour colour;
        double half = 0;
        std::size_t n = 0;
        if (!(in >> centre.x >> centre.y >> centre.z >> half >> n >> colour.r >> colour.g >> colour.b))
            return "error bad blob";
        std::vector<exchange::PointRecord> records;
        for (const gui_test::CloudPoint& p : gui_test::blobFarToNear(centre, half, n, colour)) {
            records.push_back({float(p.position.x), float(p.position.y), float(p.position.z), float(p.colour.r),
                               float(p.colour.g), float(p.colour.b)});
        }
        pub.wroteFiles = plugin::writePointsFiles(platform::tempFolder(), records, 1.0f).fallback;
        return pub.wroteFiles ? "ok" : "error cannot write the files";
    }
    if (auto answer = windowCommand(command, in))
        return *answer;
    if (command == "attach" && !pub.block.attached())
        pub.block = plugin::attachBlock();
    const auto v = pub.block.view();
    if (!v)
        return "error not attached";
    if (command == "attach") {
        plugin::setOwner(*v, kInstance, pub.processId);
        return pub.block.created() ? "ok created" : "ok opened";
    }
    if (command == "release") {
        plugin::clearOwnerIf(*v, kInstance, pub.processId);
        pub.block.detach();
        return "ok";
    }
    if (command == "publish") {
        float size = 0.0f;
        std::vector<exchange::PointRecord> points;
        exchange::PointRecord p;
        if (!(in >> size))
            return "error bad points";
        while (in >> p.x >> p.y >> p.z >> p.r >> p.g >> p.b)
            points.push_back(p);
        if (!in.eof())
            return "error bad points";
        const std::uint64_t sequence = plugin::nextSequence(pub.counter, plugin::previousBlockSequence(*v));
        plugin::publishToBlock(*v, points, size, sequence);
        return "ok " + std::to_string(sequence);
    }
    return "error unknown command " + command;
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Publisher pub;
    bool quit = false;
    for (std::string line; !quit && std::getline(std::cin, line);) {
        if (!line.empty())
            std::printf("%s\n", handle(pub, line, quit).c_str());
    }
    if (const auto v = pub.block.view())
        plugin::clearOwnerIf(*v, kInstance, pub.processId);
    pub.block.detach();
    if (pub.wroteFiles) {
        const std::filesystem::path folder = platform::tempFolder();
        const std::string points = (folder / exchange::kPointsFileName).string();
        for (const std::string& path :
             {points, plugin::configFilePath(points), (folder / exchange::kFallbackFileName).string()})
            std::filesystem::remove(path);
    }
    return 0;
}
