#include "engine/temp_spool_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/temp_files.h"

namespace tembrel {

bool TempSpoolFile::Create() {
    Close();
    fd_ = CreateVanishingTempFile(&path_);
    if (fd_ < 0) {
        path_.clear();
        return false;
    }
    buffer_.resize(kBufferBytes);
    return true;
}

void TempSpoolFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
    pending_ = readFrom_ = readTo_ = 0;
}

bool TempSpoolFile::WriteOut(const char* in, std::size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = ::write(fd_, in, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        in += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TempSpoolFile::DropReadAhead() {
    const std::size_t unread = readTo_ - readFrom_;
    readFrom_ = readTo_ = 0;
    return unread == 0 || ::lseek(fd_, -static_cast<off_t>(unread), SEEK_CUR) >= 0;
}

bool TempSpoolFile::Write(const void* data, std::size_t bytes) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (!DropReadAhead()) return false;
    const auto* in = static_cast<const char*>(data);
    if (pending_ + bytes > buffer_.size()) {
        if (!Flush()) return false;
        if (bytes >= buffer_.size()) return WriteOut(in, bytes);
    }
    std::memcpy(buffer_.data() + pending_, in, bytes);
    pending_ += bytes;
    return true;
}

bool TempSpoolFile::Flush() {
    if (pending_ == 0) return true;
    const std::size_t bytes = pending_;
    pending_ = 0;
    return WriteOut(buffer_.data(), bytes);
}

std::int64_t TempSpoolFile::Read(void* data, std::size_t bytes) {
    if (fd_ < 0 || !Flush()) return -1;
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        if (readFrom_ == readTo_) {
            const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return -1;
            if (n == 0) break;
            readFrom_ = 0;
            readTo_ = static_cast<std::size_t>(n);
        }
        const std::size_t part = std::min(bytes - done, readTo_ - readFrom_);
        std::memcpy(out + done, buffer_.data() + readFrom_, part);
        readFrom_ += part;
        done += part;
    }
    return static_cast<std::int64_t>(done);
}

bool TempSpoolFile::SeekTo(std::uint64_t offset) {
    if (fd_ < 0 || !Flush()) return false;
    readFrom_ = readTo_ = 0;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

}  // namespace tembrel
