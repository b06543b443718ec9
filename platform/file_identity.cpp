#include "platform/file_identity.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/os_file.h"

namespace tembrel {

bool AnythingExistsAt(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool IsFolderAt(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFileAt(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::optional<FileId> FileIdAt(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string NotRegularFileReason(const std::string& path) {
    struct stat st {};
    if (path.empty()) return CannotBeOpenedReason(ENOENT);
    if (::stat(path.c_str(), &st) != 0) return CannotBeOpenedReason(errno);
    return S_ISREG(st.st_mode) ? std::string() : std::string(kNotARegularFile);
}

}  // namespace tembrel
