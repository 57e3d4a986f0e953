// <windows.h> as the Windows shell includes it, and the run-time lookup of
// entry points that an older Windows may lack.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace orvalis::viewer::win32 {

// The export `name` of `module` as the function type Fn; null when the
// module is null or does not export it.
template <typename Fn>
Fn lookupExport(HMODULE module, const char* name) noexcept {
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace orvalis::viewer::win32
