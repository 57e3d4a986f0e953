// Win32 window lookups of the publisher helper, for the tests that run the
// Windows viewer under Wine: Wine knows where its windows' client areas lie
// and which window is the message box; X does not tell them apart.
#include "gui_publisher_window.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

namespace gui_publisher {

namespace {

std::wstring wide(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
    return w;
}

std::string utf8(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace

std::string viewerClientRect() {
    HWND window = FindWindowW(L"OrvalisViewer", nullptr);
    if (window == nullptr || !IsWindowVisible(window))
        return "none";
    RECT client{};
    POINT origin{0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin))
        return "none";
    return "ok " + std::to_string(origin.x) + " " + std::to_string(origin.y) + " " +
           std::to_string(client.right - client.left) + " " + std::to_string(client.bottom - client.top);
}

std::string dismissWindow(const std::string& title) {
    HWND box = FindWindowW(nullptr, wide(title).c_str());
    if (box == nullptr)
        return "none";
    // A message box keeps its text in the static control 0xFFFF.
    std::vector<wchar_t> text(4096, L'\0');
    GetDlgItemTextW(box, 0xFFFF, text.data(), static_cast<int>(text.size()));
    std::string answer = utf8(text.data());
    for (char& c : answer) {
        if (c == '\n')
            c = '|';
        if (c == '\r')
            c = ' ';
    }
    HWND ok = GetDlgItem(box, IDOK);
    if (ok != nullptr) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    } else {
        PostMessageW(box, WM_CLOSE, 0, 0);
    }
    return "ok " + answer;
}

std::string viewMenuItemRect() {
    HWND window = FindWindowW(L"OrvalisViewer", nullptr);
    if (window == nullptr)
        return "none";
    if (GetMenu(window) == nullptr)
        return "none";
    // Another process's menu cannot be asked where its items lie (Wine keeps
    // menus in their process): "View", the first item, starts at the menu
    // bar's left end, the rows right above the client area.
    POINT origin{0, 0};
    if (!ClientToScreen(window, &origin))
        return "none";
    const int barHeight = GetSystemMetrics(SM_CYMENU);
    const RECT r{origin.x, origin.y - barHeight, origin.x + 24, origin.y};
    return "ok " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
           std::to_string(r.bottom - r.top);
}

std::string viewerTopmost() {
    HWND window = FindWindowW(L"OrvalisViewer", nullptr);
    if (window == nullptr)
        return "none";
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 ? "ok 1" : "ok 0";
}

namespace {
constexpr const char* kSettingsKey = "Software\\Orvalis";
constexpr const char* kSettingNames[] = {"BackgroundColor", "HighlightOutOfRange", "GamutIndicator"};
}  // namespace

std::string readSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "ok none";
    std::string answer = "ok";
    for (const char* name : kSettingNames) {
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

std::string clearSettings() {
    const LSTATUS status = RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? "ok" : "error cannot delete the key";
}

std::string hostPath(const std::string& path) {
    // Wine's own export; a real Windows has none and keeps the path.
    using ToUnix = char*(CDECL*)(const wchar_t*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto toUnix =
        kernel ? reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
               : nullptr;
    if (toUnix == nullptr)
        return path;
    char* unixPath = toUnix(wide(path).c_str());
    if (unixPath == nullptr)
        return path;
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

}  // namespace gui_publisher
