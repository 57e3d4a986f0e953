// OFX C++ layer: diagnostic lines to the platform's debug output.
#pragma once

namespace OFX::Log {

// printf-style; one line to the debug output (a line feed is added when missing).
void print(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace OFX::Log
