// Loading a plug-in binary with dlopen.
#include <dlfcn.h>

#include "host_loader.h"

namespace ofxhost::loader {

void* openLibrary(const std::string& path, std::string& error) {
    // RTLD_LOCAL: two plug-ins built from the same sources must not share symbols.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = "POSIX: Failed to load " + path + ": " + (reason ? reason : "unknown reason");
    }
    return library;
}

void* findSymbol(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void closeLibrary(void* library) {
    if (library)
        dlclose(library);
}

const char* bundleArchitecture() { return "Linux-x86-64"; }

}  // namespace ofxhost::loader
