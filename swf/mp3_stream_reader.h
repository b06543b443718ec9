#pragma once
// MP3 file as SWF streaming sound: one SoundStreamHead, then one
// SoundStreamBlock of whole MP3 frames per SWF frame.
//
// Encoders take a caller buffer and its capacity (in/out) and report the
// tag's full length. A head that does not fit reports the capacity it needs
// and returns false; a block that does not fit reports it and returns true
// with length 0, leaving the file position and SampleDebt as they were.
#include <cstddef>
#include <cstdint>

#include "swf/mp3_file_reader.h"

namespace tembrel {

class Mp3StreamReader : public Mp3FileReader {
public:
    // SWF frames per second; set before WriteStreamHead.
    void SetFrameRate(int framesPerSecond);
    int FrameRate() const { return frameRate_; }
    // Samples of the movie's timeline not yet covered by the blocks written.
    int SampleDebt() const { return sampleDebt_; }
    // sample rate / frame rate, truncated; computed by WriteStreamHead.
    int SamplesPerSwfFrame() const { return samplesPerSwfFrame_; }

    // SoundStreamHead (tag 18, 8 bytes).
    bool WriteStreamHead(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);
    // Back to the first frame with no debt; false when nothing is open.
    bool Rewind();
    // The SoundStreamBlock (tag 19) of the next SWF frame; false at the end
    // of the sound (or on a read error).
    bool NextBlock(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);

private:
    int frameRate_ = 0;
    int sampleDebt_ = 0;
    int samplesPerSwfFrame_ = 0;
};

}  // namespace tembrel
