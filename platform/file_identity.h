#pragma once
// What lies at a path, asked of the file system itself.
#include <string>

namespace tembrel {

// True when anything has this name, a dangling symbolic link included.
bool AnythingExistsAt(const std::string& path);
// True when path names a folder (links followed).
bool IsFolderAt(const std::string& path);
// True when both paths lead to the same file on disk (same device and
// inode, links followed): catches other spellings, letter case on
// case-folding file systems, symbolic and hard links.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace tembrel
