#pragma once
// What lies at a path, asked of the file system itself.
#include <cstdint>
#include <optional>
#include <string>

namespace tembrel {

// True when anything has this name, a dangling symbolic link included.
bool AnythingExistsAt(const std::string& path);
// True when path names a folder (links followed).
bool IsFolderAt(const std::string& path);
// True when path names a regular file (links followed).
bool IsRegularFileAt(const std::string& path);
// True when both paths lead to the same file on disk (same device and
// inode, links followed): catches other spellings, letter case on
// case-folding file systems, symbolic and hard links.
bool IsSameFile(const std::string& a, const std::string& b);

// A file on disk: device and inode, as IsSameFile compares them.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};
// The file path leads to (links followed); nothing when there is none.
std::optional<FileId> FileIdAt(const std::string& path);

// Empty when path names a regular file (links followed), else why it cannot
// be read as one ("not a regular file", "cannot be opened: ..."). Only looks
// the name up, never opens it, so a FIFO cannot make it wait.
std::string NotRegularFileReason(const std::string& path);

}  // namespace tembrel
