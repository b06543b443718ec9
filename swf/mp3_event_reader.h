#pragma once
// MP3 file as one SWF event sound: SoundStreamHead2, DefineSound (its fixed
// fields here, the MP3 data through CopyData) and StartSound.
// Encoders follow the buffer protocol: when the tag does not fit they write
// nothing, set capacity to the size needed and return false.
#include <cstddef>
#include <cstdint>

#include "swf/mp3_file_reader.h"

namespace tembrel {

class Mp3EventReader : public Mp3FileReader {
public:
    // The sound's id in DefineSound and StartSound.
    static constexpr std::uint16_t kSoundId = 1;

    // SoundStreamHead2 with every field 0 (tag 45, 6 bytes).
    bool WriteEventHead(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);
    // DefineSound tag header and fixed fields (tag 14, 15 bytes); the tag
    // length counts the whole MP3 file, which the caller appends with CopyData.
    // sampleCount: samples per channel at the MP3 sample rate.
    bool WriteDefineSoundHead(std::uint32_t sampleCount, std::uint8_t* buffer, std::size_t& capacity,
                              std::size_t& length);
    // StartSound of the sound with HasLoops only (tag 15, 7 bytes).
    bool WriteStartSound(std::uint16_t loopCount, std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);
};

}  // namespace tembrel
