// Win32 folders and files: UTF-8 paths here, UTF-16 at every call.
#include <orvalis/platform/paths.h>

#include "internal.h"
#include "win32_internal.h"

#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace orvalis::platform {
namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool writeAll(HANDLE file, std::span<const std::span<const std::byte>> chunks) {
    for (const auto& chunk : chunks) {
        const std::byte* p = chunk.data();
        std::size_t left = chunk.size();
        while (left > 0) {
            const DWORD part = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file, p, part, &written, nullptr) || written == 0)
                return false;
            p += written;
            left -= written;
        }
    }
    return true;
}

bool writeAndClose(HANDLE file, std::span<const std::span<const std::byte>> chunks) {
    const bool written = writeAll(file, chunks);
    const bool closed = ::CloseHandle(file) != 0;
    return written && closed;
}

// GetTempPathW names TMP or TEMP without looking at it: a folder that is
// missing or a plain file costs every points file, so the user hears of it.
void checkTempFolder(const std::string& folder) {
    std::wstring path = detail::widen(folder);
    while (path.size() > 3 && isSeparator(path.back()))
        path.pop_back();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return;
    detail::noticeOnce("Orvalis: cannot use the temporary folder " + folder +
                       (attributes == INVALID_FILE_ATTRIBUTES ? " (it does not exist)" : " (it is not a folder)") +
                       "; the points files are not written and the viewer may not find the plug-in");
}

}  // namespace

std::string tempFolder() {
    std::vector<wchar_t> buffer(MAX_PATH + 2);
    for (;;) {
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            std::string folder = detail::narrow(std::wstring_view(buffer.data(), length));
            if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
                folder.push_back('\\');
            checkTempFolder(folder);
            return folder;
        }
        buffer.resize(length + 1);
    }
}

std::string appDataFolder() {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    std::wstring folder(buffer);
    while (folder.size() > 3 && isSeparator(folder.back()))
        folder.pop_back();
    return detail::narrow(folder);
}

std::string modulePath(const void* addressInModule) {
    HMODULE module = nullptr;
    if (addressInModule == nullptr ||
        !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(addressInModule), &module))
        return {};
    std::vector<wchar_t> buffer(MAX_PATH);
    while (buffer.size() <= 32768) {
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return detail::narrow(std::wstring_view(buffer.data(), length));
        buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
    return {};
}

char pathSeparator() noexcept { return '\\'; }

bool pathExists(std::string_view path) {
    return !path.empty() && ::GetFileAttributesW(detail::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool createDirectories(std::string_view path) {
    const std::wstring full = detail::widen(path);
    if (full.empty())
        return false;
    // Skip the root: "C:\", "\\server\share\" or a leading separator.
    std::size_t start = 0;
    if (full.size() >= 2 && full[1] == L':')
        start = 2;
    else if (full.size() >= 2 && isSeparator(full[0]) && isSeparator(full[1])) {
        std::size_t separators = 0;
        for (start = 2; start < full.size() && separators < 2; ++start)
            if (isSeparator(full[start]))
                ++separators;
    }
    for (std::size_t i = start; i <= full.size(); ++i) {
        if (i == full.size() || (isSeparator(full[i]) && i > start && !isSeparator(full[i - 1])))
            ::CreateDirectoryW(full.substr(0, i).c_str(), nullptr);  // failures show below
    }
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool replaceFile(std::string_view path, std::span<const std::span<const std::byte>> chunks) {
    if (path.empty())
        return false;
    // Unique per process and per call, hence per thread too.
    static std::atomic<unsigned long long> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".~%lx.%llx", static_cast<unsigned long>(::GetCurrentProcessId()),
                  counter.fetch_add(1) + 1);
    const std::wstring target = detail::widen(path);
    const std::wstring temporary = detail::widen(std::string(path) + suffix);
    const HANDLE file =
        ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    if (!writeAndClose(file, chunks) || !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::string createUniqueFile(std::string_view folder, std::string_view prefix) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(detail::widen(folder).c_str(), detail::widen(prefix).c_str(), 0, buffer) == 0)
        return {};
    return detail::narrow(buffer);
}

bool writeFile(std::string_view path, std::span<const std::span<const std::byte>> chunks) {
    if (path.empty())
        return false;
    const HANDLE file = ::CreateFileW(detail::widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    return writeAndClose(file, chunks);
}

bool removeFile(std::string_view path) { return !path.empty() && ::DeleteFileW(detail::widen(path).c_str()) != 0; }

bool lastWriteTime(std::string_view path, std::int64_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !::GetFileAttributesExW(detail::widen(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    time = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                     data.ftLastWriteTime.dwLowDateTime);
    return true;
}

}  // namespace orvalis::platform
