// Shared by the backends only; not part of the public interface.
#pragma once

#include <string>
#include <string_view>

namespace orvalis::platform::detail {

// The one error path of the backends: "<backend>: <what>", with the system's
// text for errorCode appended when it is not 0, to debug output.
void reportError(std::string_view backend, std::string_view what, int errorCode = 0);

}  // namespace orvalis::platform::detail
