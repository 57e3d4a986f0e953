#include "orvalis/platform/c_runtime.h"

namespace orvalis::platform {

bool localTime(std::time_t time, std::tm& out) noexcept { return localtime_r(&time, &out) != nullptr; }

std::string_view executableSuffix() noexcept { return ""; }

}  // namespace orvalis::platform
