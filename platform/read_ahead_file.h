#pragma once
// A file opened for reading whose reads are served from a window of the
// file read ahead in one go. For readers that walk a file in many small
// steps (a 4-byte frame header, a seek past the frame, ...): they move
// within the window without a system call each.
//
// The file must not change while it is open: what the window holds is not
// read again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os_file.h"

namespace tembrel {

class ReadAheadFile {
public:
    static constexpr std::size_t kWindowBytes = 64 * 1024;

    ReadAheadFile() = default;
    ReadAheadFile(const ReadAheadFile&) = delete;
    ReadAheadFile& operator=(const ReadAheadFile&) = delete;

    // As OsFile::OpenForReading; the position starts at 0.
    bool OpenForReading(const std::string& path, std::string* reason = nullptr);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }

    // Bytes read (0 at the end of the file), or -1 on error.
    std::int64_t Read(void* buffer, std::size_t count);
    // New position, or -1 on error (closed, or a position before the start).
    // Moving needs no system call; a position past the end reads nothing.
    std::int64_t Seek(std::int64_t offset, OsFile::Origin origin = OsFile::Origin::Begin);
    std::int64_t Position() const { return IsOpen() ? position_ : -1; }
    // Size as the OS reports it, or -1.
    std::int64_t Size() const { return file_.Size(); }

private:
    OsFile file_;
    std::int64_t position_ = 0;
    std::vector<std::uint8_t> window_;
    std::int64_t windowStart_ = 0;  // file offset of window_[0]
    std::size_t windowLength_ = 0;  // bytes of window_ that hold the file
};

}  // namespace tembrel
