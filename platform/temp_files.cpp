#include "platform/temp_files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tembrel {

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir && *dir) ? dir : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

namespace {

// mkstemps with close-on-exec; fills *path with the name made.
int MakeTempFile(const std::string& prefix, const std::string& suffix, std::string* path) {
    std::string pattern = TempFolder() + prefix + "XXXXXX" + suffix;
    int fd = ::mkostemps(pattern.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) return -1;
    *path = pattern;
    return fd;
}

}  // namespace

std::string CreateUniqueTempFile(const std::string& prefix, const std::string& suffix) {
    std::string path;
    int fd = MakeTempFile(prefix, suffix, &path);
    if (fd < 0) return {};
    ::close(fd);
    return path;
}

int CreateVanishingTempFile(std::string* path) {
    std::string name;
    int fd = MakeTempFile("TBR", ".tmp", &name);
    if (fd < 0) return -1;
    if (::unlink(name.c_str()) != 0) {
        // A name we cannot remove would outlive the run: give up on it.
        ::close(fd);
        return -1;
    }
    if (path) *path = name;
    return fd;
}

std::optional<std::uint64_t> FreeBytesAt(const std::string& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
}

}  // namespace tembrel
