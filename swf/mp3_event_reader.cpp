#include "swf/mp3_event_reader.h"

#include "swf/swf_records.h"
#include "swf/tag_buffer.h"

namespace tembrel {

bool Mp3EventReader::WriteEventHead(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length) {
    ByteBuffer tag;
    PutTagHeader(tag, kTagSoundStreamHead2, 4);
    Put16(tag, 0);  // playback and stream formats
    Put16(tag, 0);  // StreamSoundSampleCount
    return CopyTagOut(tag, buffer, capacity, length);
}

bool Mp3EventReader::WriteDefineSoundHead(std::uint32_t sampleCount, std::uint8_t* buffer, std::size_t& capacity,
                                          std::size_t& length) {
    // SoundId, flags, SoundSampleCount and SeekSamples precede the MP3 data.
    constexpr std::int64_t kFixedFields = 9;
    std::int64_t body = DataSize() + kFixedFields;
    if (!IsOpen() || body > 0xFFFFFFFFLL) {  // a tag length cannot state more
        length = 0;
        return false;
    }
    unsigned rate = SwfSoundRateCode(sampleRate_);
    unsigned stereo = channels_ == 2 ? 1 : 0;
    ByteBuffer tag;
    PutTagHeader(tag, kTagDefineSound, static_cast<std::uint32_t>(body));
    Put16(tag, kSoundId);
    PutByte(tag, static_cast<std::uint8_t>(2u << 4 | rate << 2 | 1u << 1 | stereo));  // MP3, rate, 16-bit, type
    Put32(tag, sampleCount);
    Put16(tag, 0);  // SeekSamples
    return CopyTagOut(tag, buffer, capacity, length);
}

bool Mp3EventReader::WriteStartSound(std::uint16_t loopCount, std::uint8_t* buffer, std::size_t& capacity,
                                     std::size_t& length) {
    constexpr std::uint8_t kHasLoops = 0x04;
    ByteBuffer tag;
    PutTagHeader(tag, kTagStartSound, 5);
    Put16(tag, kSoundId);
    PutByte(tag, kHasLoops);
    Put16(tag, loopCount);
    return CopyTagOut(tag, buffer, capacity, length);
}

}  // namespace tembrel
