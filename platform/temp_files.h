#pragma once
// Temporary files of a conversion run, all in the system's temporary folder
// ($TMPDIR, else /tmp).
#include <cstdint>
#include <optional>
#include <string>

namespace tembrel {

// The temporary folder, with a trailing "/".
std::string TempFolder();

// Creates a new, empty file named prefix + six random characters + suffix
// in the temporary folder; the name is unique at the moment of creation.
// Returns its path, or "" when no file could be created.
std::string CreateUniqueTempFile(const std::string& prefix = "TBR", const std::string& suffix = ".tmp");

// Creates a new file in the temporary folder and removes its name at once,
// so that it vanishes with the returned descriptor whatever ends the run.
// Returns the descriptor (close-on-exec) or -1. *path receives the name the
// file had.
int CreateVanishingTempFile(std::string* path);

// Bytes an unprivileged user may still write to the file system that
// holds folder; nothing when the system cannot tell.
std::optional<std::uint64_t> FreeBytesAt(const std::string& folder);

}  // namespace tembrel
