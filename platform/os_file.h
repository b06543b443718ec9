#pragma once
// Thin POSIX file handle with the operations the SWF and audio code need:
// create/replace for exclusive writing, open shared for reading, read, write,
// seek, size, and deleting by path.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tembrel {

class OsFile {
public:
    enum class Origin { Begin, Current, End };

    OsFile() = default;
    ~OsFile() { Close(); }
    OsFile(const OsFile&) = delete;
    OsFile& operator=(const OsFile&) = delete;
    OsFile(OsFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    OsFile& operator=(OsFile&& other) noexcept;

    // Creates the file, replacing one that exists; others may not open it for
    // writing while we hold it (advisory lock, the POSIX stand-in for "no sharing").
    bool CreateForWriting(const std::string& path);
    // Opens an existing regular file for reading; others may read it too.
    // FIFOs, devices and folders are refused without blocking; the reason
    // for a failure goes to *reason when given.
    bool OpenForReading(const std::string& path, std::string* reason = nullptr);
    // Opens an existing file for reading and writing.
    bool OpenForUpdate(const std::string& path);
    // Takes over a descriptor opened elsewhere; it is closed with this file.
    void Adopt(int fd) {
        Close();
        fd_ = fd;
    }
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Bytes read (0 at end of file), or -1 on error.
    std::int64_t Read(void* buffer, std::size_t count);
    // True only if every byte was written.
    bool Write(const void* data, std::size_t count);
    // New position, or -1 on error.
    std::int64_t Seek(std::int64_t offset, Origin origin = Origin::Begin);
    std::int64_t Position() { return Seek(0, Origin::Current); }
    // Size as the OS reports it, or -1.
    std::int64_t Size() const;
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

// Why a source file cannot be read, as the file lists show it.
inline constexpr char kNotARegularFile[] = "not a regular file";
// "cannot be opened: <system message>" for an errno value.
std::string CannotBeOpenedReason(int error);

// Opens path read-only when it is a regular file (links followed). The open
// itself never waits: a FIFO or device is opened non-blocking, seen for what
// it is and closed. The descriptor returned is blocking and close-on-exec;
// -1 on failure, with the reason in *reason when given.
int OpenRegularFileDescriptor(const std::string& path, std::string* reason = nullptr);

bool DeleteFileAt(const std::string& path);
bool FileExists(const std::string& path);
// Size of the file at path, or -1 when there is none.
std::int64_t FileSizeAt(const std::string& path);

}  // namespace tembrel
