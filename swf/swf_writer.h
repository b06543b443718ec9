#pragma once
// Streams an uncompressed SWF ("FWS") to a file: provisional header first,
// tags as they come, then the real file length and frame count patched in
// at Close.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/os_file.h"

namespace tembrel {

// The largest file a SWF header's 32-bit length can state.
inline constexpr std::uint64_t kMaxSwfFileBytes = 0xFFFFFFFFu;

class SwfWriter {
public:
    // Closes any open file first, then creates (replaces) the file.
    bool Open(const std::string& path);
    // Frame rate must be 1..255; stored as 8.8 fixed point with fraction 0.
    void SetMovie(unsigned version, std::uint32_t widthPixels, std::uint32_t heightPixels, unsigned frameRate);
    // False if the stage RECT cannot be encoded or the write is short.
    bool WriteHeader();
    // Writes a complete, already encoded tag; code 1 (ShowFrame) counts a frame.
    bool WriteTag(unsigned code, const std::uint8_t* bytes, std::size_t count);
    bool WriteBackgroundColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    bool WriteShowFrame();
    bool WriteEnd();
    // The open file, for appending raw bytes (counted in the length at Close).
    OsFile& OutputFile() { return file_; }
    // Patches length and frame count, closes; always resets the movie fields.
    // False when the file holds more than the header's 32-bit length can
    // state (the length is then left 0, never wrapped) or the patch failed.
    bool Close();

    bool IsOpen() const { return file_.IsOpen(); }
    std::uint16_t FrameCount() const { return frameCount_; }

private:
    OsFile file_;
    std::uint8_t version_ = 0;
    std::uint32_t frameWidth_ = 0;   // twips
    std::uint32_t frameHeight_ = 0;  // twips
    std::uint16_t frameRate_ = 0;    // 8.8 fixed point
    std::uint16_t frameCount_ = 0;
    std::uint32_t rectSize_ = 0;     // bytes of the stage RECT in the header
};

}  // namespace tembrel
