// Loading a plug-in binary with LoadLibraryW.
#include <windows.h>

#include <string>

#include "host_loader.h"

namespace ofxhost::loader {

namespace {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    for (auto& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

std::string systemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = (n && text) ? std::string(text, n) : "error " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' '))
        result.pop_back();
    return result;
}

}  // namespace

void* openLibrary(const std::string& path, std::string& error) {
    // No "cannot find DLL" dialog boxes from a command-line host.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryExW(widen(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = GetLastError();
    SetErrorMode(previous);
    if (!library)
        error = "Win32: Failed to load " + path + ": " + systemMessage(code);
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    if (!library)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) {
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
}

const char* bundleArchitecture() { return "Win64"; }

}  // namespace ofxhost::loader
