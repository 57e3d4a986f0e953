// Folders and files. Paths are UTF-8 at this API; only the Windows backend
// converts them to UTF-16 at the system call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvalis::platform {

// The user's private temporary folder, ending in a separator; empty when
// there is none. Windows: GetTempPathW. Linux: $XDG_RUNTIME_DIR if it is a
// writable folder of the user, else ($TMPDIR or /tmp) + "/orvalis-<uid>",
// created 0700 and refused (empty) unless it is a real folder owned by the
// user with no access for others; a $TMPDIR that is missing or read-only
// gives /tmp's instead. Each problem is told once per process on stderr.
std::string tempFolder();

// Roaming application data (Windows: CSIDL_APPDATA), or on Linux
// $XDG_STATE_HOME (default ~/.local/state); no trailing separator; empty when
// there is none.
std::string appDataFolder();

// Full path of the module (executable or shared library) that contains the
// given address; empty when it cannot be found.
std::string modulePath(const void* addressInModule);

// The separator the system prefers ('\\' on Windows, '/' on Linux).
char pathSeparator() noexcept;

// True when the system reports attributes for the path (file or folder).
bool pathExists(std::string_view path);

// Creates the folder and any missing parents; true when it exists after.
bool createDirectories(std::string_view path);

// Writes the chunks, in order, to a new file beside `path` and renames it
// over `path`, so a reader sees the old file or the new one, never half.
// Linux opens with O_NOFOLLOW. False when nothing was replaced.
bool replaceFile(std::string_view path, std::span<const std::span<const std::byte>> chunks);

// Creates a new empty file with a unique name in `folder` (which ends in a
// separator, as tempFolder() returns it): Windows GetTempFileNameW, so
// prefix + hex number + ".tmp"; Linux the same shape, made with O_EXCL.
// Returns its full path, or empty on failure.
std::string createUniqueFile(std::string_view folder, std::string_view prefix);

// Writes the chunks to an existing or new file, truncating it (O_NOFOLLOW on
// Linux). False on failure.
bool writeFile(std::string_view path, std::span<const std::span<const std::byte>> chunks);

// Removes a file; false when it was not removed.
bool removeFile(std::string_view path);

// Last-write time of a file in the system's own units; false when it cannot
// be read.
bool lastWriteTime(std::string_view path, std::int64_t& time);

}  // namespace orvalis::platform
