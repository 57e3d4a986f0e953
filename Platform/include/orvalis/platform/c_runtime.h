// Where the C runtimes of the platforms differ in name or spelling.
#pragma once

#include <ctime>
#include <string_view>

namespace orvalis::platform {

// Local calendar time of `time`, through the runtime's thread-safe call.
// False (and `out` unspecified) when the runtime cannot convert it.
bool localTime(std::time_t time, std::tm& out) noexcept;

// What ends an executable file's name: ".exe" on Windows, "" elsewhere.
std::string_view executableSuffix() noexcept;

}  // namespace orvalis::platform
