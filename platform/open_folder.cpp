#include "platform/open_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/output_placement.h"

namespace tembrel {
namespace {

constexpr int kNameTries = 100;

// "TBR" + six random letters or digits + ".tmp", as mkstemp would name it.
std::string TempName() {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof letters - 2);
    std::string name = "TBR";
    for (int i = 0; i < 6; ++i) name += letters[pick(random)];
    return name + ".tmp";
}

// The permissions a plain create would have given (0666 less the umask).
mode_t CreationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

bool OpenFolder::Open(const std::string& path, bool create, std::string* reason, const OpenFolder* parent) {
    Close();
    const int at = parent ? parent->fd_ : AT_FDCWD;
    const std::string shown = parent ? parent->path_ + "/" + path : path;
    if (create && ::mkdirat(at, path.c_str(), 0777) != 0 && errno != EEXIST) {
        if (reason) *reason = "cannot make the folder \"" + shown + "\": " + ErrorText(errno);
        return false;
    }
    // No link is followed at the last name: a folder of ours or nothing.
    const int fd = ::openat(at, path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (reason) {
            if (::fstatat(at, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                *reason = "\"" + shown + "\" is a link, not a folder of its own: nothing is written through it";
            else if (error == ENOTDIR)
                *reason = "\"" + shown + "\" is not a folder";
            else
                *reason = "cannot open the folder \"" + shown + "\": " + ErrorText(error);
        }
        return false;
    }
    fd_ = fd;
    path_ = shown;
    return true;
}

void OpenFolder::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
}

std::optional<FileId> OpenFolder::IdOf(const std::string& name) const {
    struct stat st {};
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

int OpenFolder::OpenFileForReading(const std::string& name) const {
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int OpenFolder::CreateTemp(std::string* name, std::string* reason) const {
    for (int tries = 0; tries < kNameTries; ++tries) {
        *name = TempName();
        const int fd = ::openat(fd_, name->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, CreationMode());
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    if (reason) *reason = "cannot create a file in \"" + path_ + "\": " + ErrorText(errno);
    return -1;
}

bool OpenFolder::LinkTemp(const OpenFolder& from, const std::string& fromName, std::string* name) const {
    for (int tries = 0; tries < kNameTries; ++tries) {
        *name = TempName();
        if (::linkat(from.fd_, fromName.c_str(), fd_, name->c_str(), 0) == 0) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

bool OpenFolder::Replace(const std::string& temp, const std::string& name, std::string* reason) const {
    if (::renameat(fd_, temp.c_str(), fd_, name.c_str()) == 0) return true;
    if (reason) *reason = "cannot write \"" + path_ + "/" + name + "\": " + ErrorText(errno);
    return false;
}

bool OpenFolder::Remove(const std::string& name) const {
    return ::unlinkat(fd_, name.c_str(), 0) == 0 || errno == ENOENT;
}

}  // namespace tembrel
