// Helper program for the window tests on Windows: shows one top-level
// window of class %ORVALIS_HELPER_CLASS% until the file
// %ORVALIS_HELPER_FILE% appears. Exit 5: no window could be made.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
std::wstring wide(const char* text) {
    std::wstring out;
    for (; text != nullptr && *text != '\0'; ++text)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    return out;
}
}  // namespace

int main() {
    const char* className = std::getenv("ORVALIS_HELPER_CLASS");
    const char* stopFile = std::getenv("ORVALIS_HELPER_FILE");
    if (className == nullptr || stopFile == nullptr)
        return 4;
    const std::wstring cls = wide(className), stop = wide(stopFile);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls.c_str();
    if (!RegisterClassW(&wc))
        return 5;
    HWND window = CreateWindowExW(0, cls.c_str(), L"helper", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (window == nullptr)
        return 5;
    ShowWindow(window, SW_SHOWMINIMIZED);
    for (int i = 0; i < 6000 && GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    DestroyWindow(window);
    return 0;
}
