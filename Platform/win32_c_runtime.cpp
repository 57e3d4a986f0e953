#include "orvalis/platform/c_runtime.h"

namespace orvalis::platform {

bool localTime(std::time_t time, std::tm& out) noexcept { return localtime_s(&out, &time) == 0; }

std::string_view executableSuffix() noexcept { return ".exe"; }

}  // namespace orvalis::platform
