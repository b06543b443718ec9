#include "swf/tag_buffer.h"

#include <cstring>

namespace tembrel {

bool CopyTagOut(const ByteBuffer& tag, std::uint8_t* buffer, std::size_t& capacity, std::size_t& length) {
    if (buffer == nullptr || capacity < tag.size()) {
        capacity = tag.size();
        length = 0;
        return false;
    }
    std::memcpy(buffer, tag.data(), tag.size());
    length = tag.size();
    return true;
}

unsigned SwfSoundRateCode(int sampleRate) {
    switch (sampleRate) {
        case 11025: return 1;
        case 22050: return 2;
        case 44100: return 3;
        default: return 0;
    }
}

}  // namespace tembrel
