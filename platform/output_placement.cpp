#include "platform/output_placement.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


namespace tembrel {
namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The permissions a plain create would have given (0666 less the umask):
// mkstemp makes files only their owner can read.
mode_t CreationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Without replacing: renameat2's no-replace flag, or, on file systems that
// lack it, a hard link (which fails on an existing name) and an unlink.
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

std::string ErrorText(int error) { return std::strerror(error); }

std::string CreateTempBeside(const std::string& target, std::string* reason) {
    const std::string folder = FolderOf(target);
    std::string pattern = folder + (folder.back() == '/' ? "" : "/") + "TBRXXXXXX.tmp";
    const int fd = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
    if (fd < 0) {
        if (reason) *reason = "cannot create a file in \"" + folder + "\": " + ErrorText(errno);
        return {};
    }
    ::fchmod(fd, CreationMode());
    ::close(fd);
    return pattern;
}

Placement PlaceFile(const std::string& temp, const std::string& target, bool replace, std::string* reason) {
    const int result = replace ? ::rename(temp.c_str(), target.c_str()) : MoveWithoutReplacing(temp, target);
    if (result == 0) return Placement::Placed;
    const int error = errno;
    if (!replace && error == EEXIST) return Placement::NameTaken;
    if (reason) *reason = "cannot write \"" + target + "\": " + ErrorText(error);
    return Placement::Failed;
}

}  // namespace tembrel
