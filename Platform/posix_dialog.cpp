// POSIX messages: there is no system message box; debug output goes to
// stderr, and only when ORVALIS_DEBUG is set so a host's console stays quiet;
// notices always go there.
#include <orvalis/platform/dialog.h>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace orvalis::platform {

bool showMessageBox(std::string_view, std::string_view, MessageIcon) { return false; }

namespace {

// One write per line, so lines from several threads do not interleave.
void writeLine(std::string_view text) {
    std::string line(text);
    if (line.empty() || line.back() != '\n')
        line.push_back('\n');
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace

void debugOutput(std::string_view text) {
    const char* flag = std::getenv("ORVALIS_DEBUG");
    if (flag == nullptr || *flag == '\0')
        return;
    writeLine(text);
}

void noticeOutput(std::string_view text) { writeLine(text); }

}  // namespace orvalis::platform
