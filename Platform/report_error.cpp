// The backends' one error path. No OS headers: it only joins the pieces and
// hands them to the platform's debug output.
#include "internal.h"

#include <orvalis/platform/dialog.h>
#include <orvalis/platform/process.h>

#include <mutex>
#include <set>

namespace orvalis::platform::detail {

void reportError(std::string_view backend, std::string_view what, int errorCode) {
    std::string line;
    line.reserve(backend.size() + what.size() + 64);
    line.append(backend).append(": ").append(what);
    if (errorCode != 0) {
        std::string text = systemErrorText(errorCode);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        line.append(" (error ").append(std::to_string(errorCode));
        if (!text.empty())
            line.append(": ").append(text);
        line.append(")");
    }
    line.push_back('\n');
    debugOutput(line);
}

void noticeOnce(const std::string& text) {
    static std::mutex mutex;
    static std::set<std::string> shown;
    {
        std::lock_guard lock(mutex);
        if (!shown.insert(text).second)
            return;
    }
    noticeOutput(text);
}

}  // namespace orvalis::platform::detail
