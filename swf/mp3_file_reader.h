#pragma once
// Reads an MP3 file frame by frame: checks that it starts with a frame SWF
// can carry (11025, 22050 or 44100 Hz) and walks frame headers to find frame
// boundaries. The stream and event readers build SWF sound tags on top.
#include <cstdint>
#include <string>

#include "platform/os_file.h"
#include "platform/read_ahead_file.h"

namespace tembrel {

class Mp3FileReader {
public:
    Mp3FileReader() = default;
    virtual ~Mp3FileReader() { Close(); }
    Mp3FileReader(const Mp3FileReader&) = delete;
    Mp3FileReader& operator=(const Mp3FileReader&) = delete;

    // Opens the file and checks its first frame header. The file must begin
    // with a frame (no ID3 tag is skipped). The position is left after the
    // first 4 bytes: rewind before walking frames.
    bool Open(const std::string& path);
    // Length of the frame at the current position, after moving past it;
    // 0 at end of file, on a read error or for a frame cut short by the end
    // of the file; -1 for a bad header.
    int NextFrame();
    void Close();
    // Copies the file from the first frame on into output, in chunks, until
    // the end or an error; returns the bytes copied.
    std::int64_t CopyData(OsFile& output);

    bool IsOpen() const { return file_.IsOpen(); }
    int Channels() const { return channels_; }
    int SampleRate() const { return sampleRate_; }
    int BitRate() const { return bitRate_; }  // kbit/s of the first frame
    int SamplesPerMp3Frame() const { return samplesPerMp3Frame_; }
    // Bytes from the first frame to the end of the file; 0 when closed.
    std::int64_t DataSize() const;

protected:
    int channels_ = 0;
    int sampleRate_ = 0;
    int bitRate_ = 0;
    int samplesPerMp3Frame_ = 0;
    // Walking frames reads 4 bytes and skips a few hundred, over and over:
    // a window read ahead saves a system call for each step.
    ReadAheadFile file_;
    std::int64_t dataOffset_ = -1;  // -1: absent
    std::int64_t fileSize_ = 0;
};

}  // namespace tembrel
