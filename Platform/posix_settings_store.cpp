// POSIX settings: one "Name=value" line per value in a small text file,
// replaced whole on every write so a reader never sees half of one.
#include <orvalis/platform/settings_store.h>
#include <orvalis/platform/paths.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

namespace orvalis::platform {
namespace {

// Our own file holds three short lines; anything beyond this is not ours.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    std::string folder = home != nullptr ? home : "";
    if (folder.empty() || folder.front() != '/') {
        std::vector<char> buffer(16384);
        struct passwd pw {};
        struct passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr)
            folder = found->pw_dir;
    }
    if (folder.empty() || folder.front() != '/')
        return {};
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder == "/" ? std::string() : folder;
}

// At most kMaxSettingsBytes of a regular file; empty when it cannot be read.
// Non-blocking, so a pipe planted at the path cannot hang the start.
std::string readHead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        text.resize(kMaxSettingsBytes);
        std::size_t used = 0;
        while (used < text.size()) {
            const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n < 0)
                    used = 0;  // a read error leaves nothing trustworthy
                break;
            }
            used += static_cast<std::size_t>(n);
        }
        text.resize(used);
    }
    ::close(fd);
    return text;
}

std::optional<std::uint32_t> parseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace

std::string userSettingsLocation(std::string_view product) {
    if (product.empty())
        return {};
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        base = config;
        while (base.size() > 1 && base.back() == '/')
            base.pop_back();
        if (base == "/")
            base.clear();
    } else {
        const std::string home = homeFolder();
        if (home.empty())
            return {};
        base = home + "/.config";
    }
    return base + "/" + std::string(product) + "/settings.ini";
}

std::optional<std::uint32_t> readSettingValue(std::string_view location, std::string_view name) {
    if (location.empty() || name.empty())
        return std::nullopt;
    const std::string text = readHead(std::string(location));
    // A file that filled the limit may go on: its last line may be cut, and
    // a cut line could read as another number.
    const bool cut = text.size() >= kMaxSettingsBytes;
    std::optional<std::uint32_t> found;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            if (cut)
                break;
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != '=')
            continue;
        if (const auto value = parseDecimal(line.substr(name.size() + 1)))
            found = value;
    }
    return found;
}

bool writeSettingValues(std::string_view location, std::span<const SettingValue> values) {
    const std::size_t slash = location.rfind('/');
    if (location.empty() || slash == std::string_view::npos || slash + 1 == location.size())
        return false;
    if (slash > 0 && !createDirectories(location.substr(0, slash)))
        return false;
    std::string text;
    for (const SettingValue& entry : values)
        text += std::string(entry.name) + "=" + std::to_string(entry.value) + "\n";
    const std::span<const std::byte> chunk(reinterpret_cast<const std::byte*>(text.data()), text.size());
    return replaceFile(location, std::span<const std::span<const std::byte>>(&chunk, 1));
}

}  // namespace orvalis::platform
