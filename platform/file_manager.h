#pragma once
// Showing a file in the desktop's file manager: the freedesktop
// FileManager1 ShowItems call on the session bus, or, where no file manager
// answers it, the folder opened with xdg-open.
#include <string>
#include <vector>

namespace tembrel {

// "file://" URI of an absolute path, with every byte outside the unreserved
// set (and "/") percent-encoded.
std::string FileUri(const std::string& absolutePath);

// The dbus-send command line (program first) that asks the file manager to
// show the file selected.
std::vector<std::string> ShowItemsCommand(const std::string& absolutePath);

// Runs a program (searched in PATH) with these arguments, without a shell,
// its output discarded; true when it ran and exited with status 0.
bool RunQuietly(const std::vector<std::string>& command);

// True when the file manager or the folder opener took the request.
bool ShowInFileManager(const std::string& path);

}  // namespace tembrel
