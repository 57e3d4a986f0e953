// Loading a plug-in binary: one small backend per OS.
#ifndef OFXHOST_HOST_LOADER_H
#define OFXHOST_HOST_LOADER_H

#include <string>

namespace ofxhost::loader {

// Opens the shared library at a UTF-8 path; null with the system's reason in error.
void* openLibrary(const std::string& path, std::string& error);
// Address of an exported symbol, or null.
void* findSymbol(void* library, const char* name);
// Releases a library opened with openLibrary.
void closeLibrary(void* library);
// Folder name of the binaries of this platform inside Contents/ of a bundle.
const char* bundleArchitecture();

}  // namespace ofxhost::loader

#endif
