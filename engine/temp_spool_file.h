#pragma once
// A scratch file of 16-bit PCM for one channel during a conversion. Its name
// is gone from the disk as soon as it is created, so the data vanishes when
// it is closed, however the run ends.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tembrel {

class TempSpoolFile {
public:
    TempSpoolFile() = default;
    ~TempSpoolFile() { Close(); }
    TempSpoolFile(const TempSpoolFile&) = delete;
    TempSpoolFile& operator=(const TempSpoolFile&) = delete;

    // Closes a file still open, then creates a fresh one (read and write).
    bool Create();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // True only when every byte was written.
    bool Write(const void* data, std::size_t bytes);
    // Bytes read (fewer at the end), -1 on error.
    std::int64_t Read(void* data, std::size_t bytes);
    bool SeekTo(std::uint64_t offset);

    // The name the file had when it was made; empty when closed.
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tembrel
