#pragma once
// The readers take a path, as the program hands them the user's file, so a
// fuzz input is put into an in-memory file and passed by its /proc name.
// One memory file per name and process, emptied and refilled for each input:
// no disk traffic and nothing left behind.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace tembrel::fuzz {

class InputFile {
public:
    explicit InputFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~InputFile() { ::close(fd_); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Replaces the file's contents; the path stays the same.
    const std::string& Fill(const std::uint8_t* data, std::size_t size) {
        if (::ftruncate(fd_, 0) != 0) std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        return path_;
    }
    const std::string& Path() const { return path_; }
    int Descriptor() const { return fd_; }

private:
    int fd_;
    std::string path_;
};

}  // namespace tembrel::fuzz
