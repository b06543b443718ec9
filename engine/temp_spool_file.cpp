#include "engine/temp_spool_file.h"

#include <cerrno>
#include <unistd.h>

#include "platform/temp_files.h"

namespace tembrel {

bool TempSpoolFile::Create() {
    Close();
    fd_ = CreateVanishingTempFile(&path_);
    if (fd_ < 0) path_.clear();
    return fd_ >= 0;
}

void TempSpoolFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
}

bool TempSpoolFile::Write(const void* data, std::size_t bytes) {
    const auto* in = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(fd_, in, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        in += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t TempSpoolFile::Read(void* data, std::size_t bytes) {
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(fd_, out + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool TempSpoolFile::SeekTo(std::uint64_t offset) {
    return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

}  // namespace tembrel
