#pragma once
// Writes PCM into a RIFF WAVE file whose size fields are filled in when the
// file is closed, so that a recording can be appended in pieces of any size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/os_file.h"

namespace tembrel {

class WavFileWriter {
public:
    // The format block as it is written to the file (extraSize never is).
    struct Format {
        std::uint16_t formatTag = 0;
        std::uint16_t channels = 0;
        std::uint32_t samplesPerSec = 0;
        std::uint32_t avgBytesPerSec = 0;
        std::uint16_t blockAlign = 0;
        std::uint16_t bitsPerSample = 0;
        std::uint16_t extraSize = 0;
    };

    static constexpr std::size_t kHeaderBytes = 44;

    WavFileWriter() = default;
    virtual ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // Creates (or replaces) the file and writes the header with placeholder
    // sizes. 1 on success, 0 when the file cannot be created.
    int Open(const std::string& path, bool stereo, int bitsPerSample, int samplesPerSec);
    // Appends the bytes; always 1 (write errors show up in the final sizes).
    int Write(const void* data, std::size_t length);
    // Fills in the two sizes and closes; nothing when no file is open.
    void Close();

    bool IsOpen() const { return file_.IsOpen(); }
    const Format& GetFormat() const { return format_; }

private:
    OsFile file_;
    Format format_;
};

}  // namespace tembrel
