// Diagnostic lines of the OFX layer, through the platform's debug output.
#include "ofxsLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include <orvalis/platform/dialog.h>

namespace OFX::Log {

void print(const char* format, ...) {
    if (format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        va_end(copy);
        orvalis::platform::debugOutput(std::string_view(small, static_cast<size_t>(needed)));
        return;
    }
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    orvalis::platform::debugOutput(std::string_view(big.data(), static_cast<size_t>(needed)));
}

}  // namespace OFX::Log
