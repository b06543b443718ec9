#pragma once
// Streams an uncompressed SWF ("FWS") to a file: provisional header first,
// tags as they come, then the real file length and frame count patched in
// at Close.
//
// A stream movie is thousands of small tags (a block of a frame's sound and
// a 2-byte ShowFrame, again and again); they gather in a buffer and go to
// the file in large writes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os_file.h"

namespace tembrel {

// The largest file a SWF header's 32-bit length can state.
inline constexpr std::uint64_t kMaxSwfFileBytes = 0xFFFFFFFFu;

class SwfWriter {
public:
    SwfWriter() = default;
    // As Close: nothing written is lost in the buffer.
    ~SwfWriter() { Close(); }
    SwfWriter(const SwfWriter&) = delete;
    SwfWriter& operator=(const SwfWriter&) = delete;

    // Closes any open file first, then creates (replaces) the file.
    bool Open(const std::string& path);
    // Frame rate must be 1..255; stored as 8.8 fixed point with fraction 0.
    void SetMovie(unsigned version, std::uint32_t widthPixels, std::uint32_t heightPixels, unsigned frameRate);
    // False if the stage RECT cannot be encoded or the write is short.
    // Writes may wait in the buffer: a failure to write shows at a later
    // call, at the latest at WriteEnd.
    bool WriteHeader();
    // Writes a complete, already encoded tag; code 1 (ShowFrame) counts a frame.
    bool WriteTag(unsigned code, const std::uint8_t* bytes, std::size_t count);
    bool WriteBackgroundColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    bool WriteShowFrame();
    // Writes the End tag and everything still buffered: true only when every
    // byte of the movie so far reached the file.
    bool WriteEnd();
    // The open file, for appending raw bytes (counted in the length at Close);
    // what the buffer holds is written out first.
    OsFile& OutputFile();
    // Patches length and frame count, closes; always resets the movie fields.
    // False when the file holds more than the header's 32-bit length can
    // state (the length is then left 0, never wrapped) or the patch failed.
    bool Close();

    bool IsOpen() const { return file_.IsOpen(); }
    std::uint16_t FrameCount() const { return frameCount_; }

private:
    bool Put(const void* bytes, std::size_t count);
    bool Flush();

    OsFile file_;
    std::vector<std::uint8_t> pending_;  // written by the caller, not yet to the file
    bool failed_ = false;                // a buffered write was lost: the movie is broken
    std::uint8_t version_ = 0;
    std::uint32_t frameWidth_ = 0;   // twips
    std::uint32_t frameHeight_ = 0;  // twips
    std::uint16_t frameRate_ = 0;    // 8.8 fixed point
    std::uint16_t frameCount_ = 0;
    std::uint32_t rectSize_ = 0;     // bytes of the stage RECT in the header
};

}  // namespace tembrel
