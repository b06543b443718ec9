#include "platform/os_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

namespace tembrel {

OsFile& OsFile::operator=(OsFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool OsFile::CreateForWriting(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

std::string CannotBeOpenedReason(int error) {
    return "cannot be opened: " + std::error_code(error, std::generic_category()).message();
}

int OpenRegularFileDescriptor(const std::string& path, std::string* reason) {
    auto fail = [reason](std::string why) {
        if (reason) *reason = std::move(why);
        return -1;
    };
    if (path.empty()) return fail(CannotBeOpenedReason(ENOENT));
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(CannotBeOpenedReason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(CannotBeOpenedReason(error));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(kNotARegularFile);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(CannotBeOpenedReason(error));
    }
    return fd;
}

bool OsFile::OpenForReading(const std::string& path, std::string* reason) {
    Close();
    fd_ = OpenRegularFileDescriptor(path, reason);
    return fd_ >= 0;
}

bool OsFile::OpenForUpdate(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    fd_ = fd;
    return true;
}

void OsFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);  // also drops the lock
        fd_ = -1;
    }
}

std::int64_t OsFile::Read(void* buffer, std::size_t count) {
    if (fd_ < 0) return -1;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done ? static_cast<std::int64_t>(done) : -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool OsFile::Write(const void* data, std::size_t count) {
    if (fd_ < 0) return false;
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t OsFile::Seek(std::int64_t offset, Origin origin) {
    if (fd_ < 0) return -1;
    int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

std::int64_t OsFile::Size() const {
    if (fd_ < 0) return -1;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool DeleteFileAt(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::int64_t FileSizeAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace tembrel
