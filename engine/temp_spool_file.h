#pragma once
// A scratch file of 16-bit PCM for one channel during a conversion. Its name
// is gone from the disk as soon as it is created, so the data vanishes when
// it is closed, however the run ends.
//
// The stage moves sound in blocks of 2304 bytes; a system call for each
// block of each channel, written and then read back, costs more kernel time
// than the encoder's own output. So the file goes through one fixed buffer:
// writes gather in it and reads are served from it, and the memory used
// stays the same whatever the length of the sound.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tembrel {

class TempSpoolFile {
public:
    static constexpr std::size_t kBufferBytes = 64 * 1024;

    TempSpoolFile() = default;
    ~TempSpoolFile() { Close(); }
    TempSpoolFile(const TempSpoolFile&) = delete;
    TempSpoolFile& operator=(const TempSpoolFile&) = delete;

    // Closes a file still open, then creates a fresh one (read and write).
    bool Create();
    // Drops whatever is still buffered: the file is gone with it.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // False when writing to the disk failed (errno says why). Bytes may wait
    // in the buffer until Flush, SeekTo or Read; a failure may show only then.
    bool Write(const void* data, std::size_t bytes);
    // Writes out what the buffer holds; true when every byte reached the file.
    bool Flush();
    // Bytes read (fewer at the end), -1 on error.
    std::int64_t Read(void* data, std::size_t bytes);
    // Flushes first; false when that or the seek fails.
    bool SeekTo(std::uint64_t offset);

    // The name the file had when it was made; empty when closed.
    const std::string& Path() const { return path_; }

private:
    bool WriteOut(const char* data, std::size_t bytes);
    // Puts the descriptor back at the position the caller has reached.
    bool DropReadAhead();

    int fd_ = -1;
    std::string path_;
    std::vector<char> buffer_;
    std::size_t pending_ = 0;    // bytes written into the buffer, not yet to the file
    std::size_t readFrom_ = 0;   // read-ahead: buffer_[readFrom_, readTo_) is still unread
    std::size_t readTo_ = 0;
};

}  // namespace tembrel
