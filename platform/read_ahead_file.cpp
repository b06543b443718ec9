#include "platform/read_ahead_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tembrel {

bool ReadAheadFile::OpenForReading(const std::string& path, std::string* reason) {
    Close();
    if (!file_.OpenForReading(path, reason)) return false;
    window_.resize(kWindowBytes);
    return true;
}

void ReadAheadFile::Close() {
    file_.Close();
    position_ = windowStart_ = 0;
    windowLength_ = 0;
}

std::int64_t ReadAheadFile::Read(void* buffer, std::size_t count) {
    if (!IsOpen()) return -1;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const bool inWindow = position_ >= windowStart_ &&
                              position_ < windowStart_ + static_cast<std::int64_t>(windowLength_);
        if (inWindow) {
            const std::size_t from = static_cast<std::size_t>(position_ - windowStart_);
            const std::size_t part = std::min(count - done, windowLength_ - from);
            std::memcpy(out + done, window_.data() + from, part);
            done += part;
            position_ += static_cast<std::int64_t>(part);
            continue;
        }
        // A read as large as the window goes straight to the caller's buffer.
        const bool direct = count - done >= window_.size();
        std::uint8_t* into = direct ? out + done : window_.data();
        const std::size_t size = direct ? count - done : window_.size();
        ssize_t n;
        do {
            n = ::pread(file_.Descriptor(), into, size, static_cast<off_t>(position_));
        } while (n < 0 && errno == EINTR);
        if (n < 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
        if (n == 0) break;
        if (direct) {
            done += static_cast<std::size_t>(n);
            position_ += n;
        } else {
            windowStart_ = position_;
            windowLength_ = static_cast<std::size_t>(n);
        }
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t ReadAheadFile::Seek(std::int64_t offset, OsFile::Origin origin) {
    if (!IsOpen()) return -1;
    std::int64_t base = 0;
    if (origin == OsFile::Origin::Current) base = position_;
    if (origin == OsFile::Origin::End) {
        base = file_.Size();
        if (base < 0) return -1;
    }
    const std::int64_t target = base + offset;
    if (target < 0) {
        errno = EINVAL;
        return -1;
    }
    position_ = target;
    return position_;
}

}  // namespace tembrel
